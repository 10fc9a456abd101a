// The exact order of the host's calls on a control, from creation to
// teardown, and the way keys typed into it travel, read from an in-process
// control that records them.
#include <windows.h>
#include <exdispid.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/app.h"
#include "framework/occ_site.h"
#include "support/win_test.h"
#include "tests/res/test_resource.h"
#include "tests/unit/browser/browser_dialog.h"
#include "tests/unit/browser/recording_control.h"

namespace {

using Journal = std::vector<std::string>;

class ControlLifecycle : public testing::Test {
protected:
    static void SetUpTestSuite() { EnableBrowserContainment(); }
    void SetUp() override {
        ASSERT_TRUE(controls_.Registered());
        RecordingControls::Journal().clear();
    }

    std::unique_ptr<BrowserDialog> Open(UINT templateId) {
        auto dialog = std::make_unique<BrowserDialog>(templateId, EventTable::All);
        EXPECT_TRUE(dialog->Create(templateId));
        return dialog;
    }
    // The journal since the last call.
    static Journal Take() {
        Journal taken;
        taken.swap(RecordingControls::Journal());
        return taken;
    }
    // What SetExtent is told for a size in pixels, in HIMETRIC.
    static std::string Extent(int width, int height) {
        HDC screen = ::GetDC(nullptr);
        const int x = ::MulDiv(width, 2540, ::GetDeviceCaps(screen, LOGPIXELSX));
        const int y = ::MulDiv(height, 2540, ::GetDeviceCaps(screen, LOGPIXELSY));
        ::ReleaseDC(nullptr, screen);
        return "SetExtent " + std::to_string(x) + "x" + std::to_string(y);
    }
    static std::string TemplateExtent(HWND dialog, RECT units) {
        ::MapDialogRect(dialog, &units);
        return Extent(units.right - units.left, units.bottom - units.top);
    }

    RecordingControls controls_;
};

const Journal kTeardown = {"InPlaceDeactivate", "Unadvise", "SetClientSite(null)", "Close", "Released"};

TEST_F(ControlLifecycle, AControlAskingForItsSiteFirstGetsItBeforeItsState) {
    const auto dialog = Open(IDD_TEST_SITE_FIRST);
    EXPECT_EQ((Journal{"SetClientSite", "Load 0a0b0c0d", TemplateExtent(dialog->m_hWnd, RECT{0, 20, 200, 120}), "DoVerb",
                       "FindConnectionPoint described events", "Advise"}),
              Take());
    ASSERT_TRUE(::IsWindow(dialog->m_browser.m_hWnd));
    dialog->DestroyWindow();
    EXPECT_EQ(kTeardown, Take());
}

TEST_F(ControlLifecycle, APlainControlIsInitialisedNewAndListenedToAsTheBrowser) {
    const auto dialog = Open(IDD_TEST_PLAIN_CONTROL);
    EXPECT_EQ((Journal{"InitNew", "SetClientSite", TemplateExtent(dialog->m_hWnd, RECT{0, 20, 200, 120}), "DoVerb",
                       "FindConnectionPoint browser events", "Advise"}),
              Take());
    dialog->DestroyWindow();
    EXPECT_EQ(kTeardown, Take());
}

TEST_F(ControlLifecycle, DeletingTheDialogObjectTearsDownBeforeTheWindowsGo) {
    auto dialog = Open(IDD_TEST_SITE_FIRST);
    const HWND window = dialog->m_hWnd;
    Take();
    dialog.reset();
    EXPECT_EQ(kTeardown, Take());
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(0, RecordingControls::Alive());
}

TEST_F(ControlLifecycle, MovingTheWrapperGoesThroughTheExtentAndTheObjectRectangles) {
    const auto dialog = Open(IDD_TEST_SITE_FIRST);
    Take();
    dialog->m_browser.MoveWindow(12, 34, 200, 100, TRUE);
    EXPECT_EQ((Journal{Extent(200, 100), "SetObjectRects 12,34 200x100"}), Take());
    EXPECT_EQ((RECT{12, 34, 212, 134}), test::RectInParent(dialog->m_browser.m_hWnd));
}

TEST_F(ControlLifecycle, EventsFiredIntoTheAdvisedSinkReachTheTable) {
    const auto dialog = Open(IDD_TEST_SITE_FIRST);
    BSTR address = ::SysAllocString(L"http://127.0.0.1/vornak/news");
    VARIANT url;
    url.vt = VT_BSTR;
    url.bstrVal = address;
    VARIANT args[2];
    args[1].vt = VT_DISPATCH;
    args[1].pdispVal = nullptr;
    args[0].vt = VT_BYREF | VT_VARIANT;
    args[0].pvarVal = &url;
    DISPPARAMS params{args, nullptr, 2, 0};
    EXPECT_EQ(S_OK, RecordingControls::Fire(DISPID_NAVIGATECOMPLETE2, &params));
    // Not in the table: nobody hears it.
    EXPECT_EQ(S_OK, RecordingControls::Fire(DISPID_TITLECHANGE, &params));
    ::SysFreeString(address);
    ASSERT_EQ(1u, dialog->m_calls.size());
    EXPECT_EQ(DISPID_NAVIGATECOMPLETE2, dialog->m_calls[0].event);
    EXPECT_EQ(L"http://127.0.0.1/vornak/news", dialog->m_calls[0].url);
    EXPECT_FALSE(dialog->m_calls[0].hasDispatch);
}

// In the modal loop as in every other, a key typed into the page goes to the
// control's active object before the dialog's own keys; the control has one
// once a click brought its user interface up.
TEST_F(ControlLifecycle, KeysTypedIntoThePageReachTheControlBeforeTheDialog) {
    BrowserDialog dialog(3004, EventTable::All);
    test::RunLater([&] {
        Take();
        const HWND field = ::GetWindow(dialog.m_browser.m_hWnd, GW_CHILD);
        const HWND button = ::GetDlgItem(dialog.m_hWnd, IDC_TEST_FIRST);
        const auto key = [](HWND to, WPARAM vk) { ::PostMessageW(to, WM_KEYDOWN, vk, 0); };
        key(field, VK_RETURN);  // no active object yet: the dialog's
        ::PostMessageW(field, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        ::PostMessageW(field, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        key(field, VK_RETURN);   // taken by the page
        key(field, VK_ESCAPE);   // declined by the page: the dialog's
        key(button, VK_RETURN);  // outside the page: the dialog's alone
        test::RunLater([&] { dialog.EndDialog(IDOK); }, 100);
    });
    dialog.DoModal();
    EXPECT_EQ((std::vector<std::string>{"ok", "cancel", "ok"}), dialog.m_commands);
    // The frame let go of the active object the control never took back.
    Journal expected = {"DoVerb UIActivate", "TranslateAccelerator Return", "TranslateAccelerator Escape"};
    expected.insert(expected.end(), kTeardown.begin(), kTeardown.end());
    EXPECT_EQ(expected, Take());
    EXPECT_EQ(0, RecordingControls::Alive());
}

// The control's window gets the focus, the page comes up with it, and a Tab
// the page hands back moves along the dialog's tab order, Shift+Tab backwards.
TEST_F(ControlLifecycle, ATabThePageHandsBackMovesAlongTheDialogsTabOrder) {
    const auto dialog = Open(IDD_TEST_SITE_FIRST);
    dialog->ShowWindow(SW_SHOW);
    const HWND field = ::GetWindow(dialog->m_browser.m_hWnd, GW_CHILD);
    Take();
    dialog->m_browser.m_pCtrlSite->OnFocus(TRUE);
    EXPECT_EQ(field, ::GetFocus());

    MSG tab{field, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_TRUE(AfxPreTranslateControlMessage(&tab));
    EXPECT_EQ(::GetDlgItem(dialog->m_hWnd, IDC_TEST_LAST), ::GetFocus());

    ::SetFocus(field);
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    ::SetKeyboardState(keys);
    EXPECT_TRUE(AfxPreTranslateControlMessage(&tab));
    keys[VK_SHIFT] = 0;
    ::SetKeyboardState(keys);
    EXPECT_EQ(::GetDlgItem(dialog->m_hWnd, IDC_TEST_FIRST), ::GetFocus());
    EXPECT_EQ((Journal{"DoVerb UIActivate", "TranslateAccelerator Tab", "TranslateAccelerator Tab"}), Take());
}

}  // namespace
