// Dialogs hosting the browser control, against the stand-in control registered
// in the test prefix: creation from the product's templates, calls through
// the wrapper, events through the window's table, the host customisation,
// and teardown. Everything is read back from the stand-in's log, the windows
// and the stand-in's own count of live objects.
#include <windows.h>
#include <exdispid.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/login_app.h"
#include "browser/external_dispatch.h"
#include "browser/variant_string.h"
#include "browser/web_browser.h"
#include "framework/app.h"
#include "framework/dialog.h"
#include "framework/occ_dlginit.h"
#include "framework/occ_site.h"
#include "res/resource.h"
#include "support/win_test.h"
#include "tests/res/test_resource.h"
#include "tests/unit/browser/browser_dialog.h"
#include "tests/unit/browser/standin_log.h"

namespace {

std::wstring PlatformUrl(const wchar_t* path) {
    wchar_t port[16] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"DUSKMERE_PLATFORM_PORT", port, 16);
    return std::wstring(L"http://127.0.0.1:") + (n > 0 && n < 16 ? port : L"8350") + path;
}

void Navigate(CWebBrowser2& browser, const std::wstring& url) {
    VARIANT empty;
    ::VariantInit(&empty);
    browser.Navigate(url.c_str(), &empty, &empty, &empty, &empty);
}

// The stand-in's DllCanUnloadNow: S_OK once none of its objects is alive.
bool StandinHasNoLiveObjects() {
    HMODULE module = ::GetModuleHandleW(L"standin-browser.dll");
    if (!module) return true;
    using CanUnload = HRESULT(WINAPI*)();
    const auto canUnload = reinterpret_cast<CanUnload>(
        reinterpret_cast<void (*)()>(::GetProcAddress(module, "DllCanUnloadNow")));
    return canUnload && canUnload() == S_OK;
}

std::string Hex(const std::vector<BYTE>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (BYTE b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::vector<BYTE> DlgInitBytes(UINT id) {
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(fw::RT_DLGINIT_TYPE));
    const auto* data = static_cast<const BYTE*>(::LockResource(::LoadResource(module, found)));
    return std::vector<BYTE>(data, data + ::SizeofResource(module, found));
}

std::vector<int> ChildIds(HWND dialog) {
    std::vector<int> ids;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        ids.push_back(::GetDlgCtrlID(child));
    return ids;
}

RECT DialogUnits(HWND dialog, RECT rect) {
    ::MapDialogRect(dialog, &rect);
    return rect;
}

class BrowserHosting : public testing::Test {
protected:
    static void SetUpTestSuite() { EnableBrowserContainment(); }
    void SetUp() override {
        previousExternal_ = theApp.m_pExternalDispatch;
        theApp.m_pExternalDispatch = &external_;
    }
    void TearDown() override { theApp.m_pExternalDispatch = previousExternal_; }

    std::unique_ptr<BrowserDialog> Open(UINT templateId, EventTable table = EventTable::All) {
        auto dialog = std::make_unique<BrowserDialog>(templateId, table);
        EXPECT_TRUE(dialog->Create(templateId));
        return dialog;
    }
    // The instance number of the control made last.
    int LastCreated() const {
        const auto created = log_.Events("created");
        return created.empty() ? 0 : created.back().instance;
    }
    std::vector<LogEntry> EventsOf(int instance, const std::string& event) const {
        std::vector<LogEntry> out;
        for (const LogEntry& entry : log_.Events(event)) {
            if (entry.instance == instance) out.push_back(entry);
        }
        return out;
    }

    StandinLog log_;
    CImpIDispatch external_;
    CImpIDispatch* previousExternal_ = nullptr;
};

TEST_F(BrowserHosting, TemplateStateReachesTheControlByteForByte) {
    for (const UINT id : {IDD_GAME, IDD_LOGIN_PANEL}) {
        SCOPED_TRACE(testing::Message() << "dialog " << id);
        const auto dialog = Open(id);
        const int instance = LastCreated();
        ASSERT_NE(0, instance) << "no stand-in browser was created";
        const auto loads = EventsOf(instance, "load");
        ASSERT_EQ(1u, loads.size());
        const std::vector<BYTE> resource = DlgInitBytes(id);
        EXPECT_EQ(Hex(std::vector<BYTE>(resource.begin() + 8, resource.begin() + 168)), loads[0]["bytes"]);

        // The control asks for its site before it loads; it got it first.
        const auto lines = log_.Read();
        std::size_t hostInfoAt = lines.size(), loadAt = lines.size();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].instance != instance) continue;
            if (lines[i].event == "host_info" && hostInfoAt == lines.size()) hostInfoAt = i;
            if (lines[i].event == "load") loadAt = i;
        }
        EXPECT_LT(hostInfoAt, loadAt);
    }
}

TEST_F(BrowserHosting, TheControlTakesItsTemplatePlaceHiddenAndBound) {
    const struct {
        UINT id;
        RECT units;
        std::vector<int> order;
    } cases[] = {
        {IDD_GAME, RECT{7, 71, 448, 263},
         {IDC_BROWSER, IDC_LOGO, IDC_CLOSE, IDC_MAXIMIZE, IDC_MINIMIZE, IDC_FULLSCREEN, IDC_BOSS, IDC_REFRESH,
          IDC_SERVER, IDC_CLEAN, IDC_RESTORE}},
        {IDD_LOGIN_PANEL, RECT{0, 17, 372, 282}, {IDC_PANEL_CLOSE, IDC_PANEL_MINIMIZE, IDC_BROWSER}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "dialog " << c.id);
        const auto dialog = Open(c.id);
        const HWND control = dialog->m_browser.m_hWnd;
        ASSERT_TRUE(::IsWindow(control));
        EXPECT_EQ(dialog->m_hWnd, ::GetParent(control));
        EXPECT_EQ(control, ::GetDlgItem(dialog->m_hWnd, IDC_BROWSER));
        EXPECT_EQ(&dialog->m_browser, CWnd::FromHandle(control));
        EXPECT_EQ(c.order, ChildIds(dialog->m_hWnd));
        EXPECT_EQ(DialogUnits(dialog->m_hWnd, c.units), test::RectInParent(control));
        EXPECT_EQ(0, ::GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE);
        EXPECT_FALSE(dialog->m_browser.IsWindowVisible());
    }
}

TEST_F(BrowserHosting, OldStyleTemplatesWorkTheSame) {
    const auto dialog = Open(IDD_TEST_OLD_STYLE);
    const int instance = LastCreated();
    ASSERT_NE(0, instance);
    const auto loads = EventsOf(instance, "load");
    ASSERT_EQ(1u, loads.size());
    EXPECT_EQ("0102030405060708", loads[0]["bytes"]);
    EXPECT_EQ((std::vector<int>{IDC_TEST_FIRST, IDC_BROWSER, IDC_TEST_LAST}), ChildIds(dialog->m_hWnd));
    EXPECT_EQ(DialogUnits(dialog->m_hWnd, RECT{10, 20, 160, 110}), test::RectInParent(dialog->m_browser.m_hWnd));
    EXPECT_NE(0, ::GetWindowLongPtrW(dialog->m_browser.m_hWnd, GWL_STYLE) & WS_VISIBLE);
}

TEST_F(BrowserHosting, BrokenInitialStateGivesAControlWithoutIt) {
    for (const UINT id : {IDD_TEST_CUT_STATE, IDD_TEST_OVERLONG_STATE}) {
        SCOPED_TRACE(testing::Message() << "dialog " << id);
        const auto dialog = Open(id);
        const int instance = LastCreated();
        ASSERT_NE(0, instance);
        EXPECT_TRUE(EventsOf(instance, "load").empty());
        ASSERT_TRUE(::IsWindow(dialog->m_browser.m_hWnd));
        const std::wstring url = PlatformUrl(L"/vornak/news");
        Navigate(dialog->m_browser, url);
        const auto navigations = EventsOf(instance, "navigate");
        ASSERT_EQ(1u, navigations.size());
        EXPECT_EQ(Utf8(url), navigations[0]["url"]);
    }
}

TEST_F(BrowserHosting, AnUnregisteredControlLeavesTheDialogAndAHarmlessWrapper) {
    const auto dialog = Open(IDD_TEST_UNKNOWN_CLASS);
    ASSERT_TRUE(::IsWindow(dialog->m_hWnd));
    EXPECT_TRUE(::GetDlgItem(dialog->m_hWnd, IDC_TEST_FIRST));
    EXPECT_FALSE(::GetDlgItem(dialog->m_hWnd, IDC_BROWSER));
    EXPECT_EQ(std::vector<int>{IDC_TEST_FIRST}, ChildIds(dialog->m_hWnd));

    CWebBrowser2& browser = dialog->m_browser;
    EXPECT_EQ(nullptr, browser.m_hWnd);
    Navigate(browser, PlatformUrl(L"/vornak"));
    browser.Refresh();
    browser.MoveWindow(0, 0, 100, 100, TRUE);
    EXPECT_FALSE(browser.ShowWindow(SW_SHOW));
    EXPECT_FALSE(browser.IsWindowVisible());
    test::PumpMessages(100);
    EXPECT_TRUE(log_.Read().empty());
    EXPECT_TRUE(dialog->DestroyWindow());
}

TEST_F(BrowserHosting, NavigateFiresTheTableHandlersInOrder) {
    const auto dialog = Open(IDD_LOGIN_PANEL);
    const int instance = LastCreated();
    const std::wstring url = PlatformUrl(L"/vornak/news");
    Navigate(dialog->m_browser, url);
    const auto navigations = EventsOf(instance, "navigate");
    ASSERT_EQ(1u, navigations.size());
    EXPECT_EQ(Utf8(url), navigations[0]["url"]);
    ASSERT_TRUE(log_.WaitFor("document_complete"));

    const auto& calls = dialog->m_calls;
    ASSERT_EQ(3u, calls.size());
    const DISPID order[] = {DISPID_BEFORENAVIGATE2, DISPID_NAVIGATECOMPLETE2, DISPID_DOCUMENTCOMPLETE};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(testing::Message() << "call " << i);
        EXPECT_EQ(order[i], calls[i].event);
        EXPECT_EQ(url, calls[i].url);
        EXPECT_EQ(VT_BSTR, calls[i].urlType);
        EXPECT_TRUE(calls[i].hasDispatch);
    }
    EXPECT_TRUE(calls[0].hasCancel);
}

TEST_F(BrowserHosting, EventsTheTableDoesNotListReachNoHandler) {
    const auto dialog = Open(IDD_GAME, EventTable::NavigateCompleteOnly);
    Navigate(dialog->m_browser, PlatformUrl(L"/vornak/news"));
    ASSERT_TRUE(log_.WaitFor("document_complete"));
    EXPECT_EQ(1u, log_.Events("before_navigate").size());
    ASSERT_EQ(1u, dialog->m_calls.size());
    EXPECT_EQ(DISPID_NAVIGATECOMPLETE2, dialog->m_calls[0].event);
}

TEST_F(BrowserHosting, CancelInBeforeNavigateStopsTheNavigation) {
    const auto dialog = Open(IDD_LOGIN_PANEL);
    dialog->m_cancelContaining = L"/vornak/servers";
    const std::wstring cancelled = PlatformUrl(L"/vornak/servers");
    Navigate(dialog->m_browser, cancelled);
    const auto before = log_.Events("before_navigate");
    ASSERT_EQ(1u, before.size());
    EXPECT_EQ(Utf8(cancelled), before[0]["url"]);
    EXPECT_EQ("true", before[0]["cancelled"]);

    // A later navigation completes; the cancelled one never did.
    const std::wstring allowed = PlatformUrl(L"/vornak/news");
    Navigate(dialog->m_browser, allowed);
    ASSERT_TRUE(log_.WaitFor("document_complete", "url", Utf8(allowed)));
    const auto completed = log_.Events("navigate_complete");
    ASSERT_EQ(1u, completed.size());
    EXPECT_EQ(Utf8(allowed), completed[0]["url"]);
    EXPECT_EQ("false", log_.Events("before_navigate").back()["cancelled"]);
}

TEST_F(BrowserHosting, MistypedEventArgumentsReachTheHandlerAsNull) {
    const auto dialog = Open(IDD_GAME);
    COleControlSite* site = dialog->m_browser.m_pCtrlSite;
    ASSERT_TRUE(site);

    // NavigateComplete2 with numbers where the page and its address belong.
    VARIANT args[2];
    args[1].vt = VT_I4;
    args[1].lVal = 1;
    args[0].vt = VT_I4;
    args[0].lVal = 0x00410041;
    DISPPARAMS params{args, nullptr, 2, 0};
    site->FireEvent(DISPID_NAVIGATECOMPLETE2, &params);

    // BeforeNavigate2 with its address by reference to a number and Cancel not a BOOL.
    VARIANT number;
    number.vt = VT_I4;
    number.lVal = 7;
    VARIANT before[7];
    for (VARIANT& v : before) ::VariantInit(&v);
    before[5].vt = VT_BYREF | VT_VARIANT;
    before[5].pvarVal = &number;
    before[0].vt = VT_I4;
    DISPPARAMS beforeParams{before, nullptr, 7, 0};
    site->FireEvent(DISPID_BEFORENAVIGATE2, &beforeParams);

    ASSERT_EQ(2u, dialog->m_calls.size());
    const EventCall& complete = dialog->m_calls[0];
    EXPECT_FALSE(complete.hasDispatch);
    EXPECT_EQ(VT_I4, complete.urlType);
    EXPECT_EQ(L"", complete.url);
    const EventCall& beforeCall = dialog->m_calls[1];
    EXPECT_EQ(VT_I4, beforeCall.urlType);
    EXPECT_EQ(L"", beforeCall.url);
    EXPECT_FALSE(beforeCall.hasCancel);
    EXPECT_FALSE(beforeCall.hasDispatch);
}

TEST_F(BrowserHosting, WindowOperationsActOnTheControlThroughItsSite) {
    const auto dialog = Open(IDD_LOGIN_PANEL);
    dialog->ShowWindow(SW_SHOW);  // the panel comes up hidden, for its owner to show
    const int instance = LastCreated();
    CWebBrowser2& browser = dialog->m_browser;
    browser.MoveWindow(270, 141, 631, 444, TRUE);
    EXPECT_EQ((RECT{270, 141, 901, 585}), test::RectInParent(browser.m_hWnd));
    EXPECT_TRUE(log_.WaitFor("window", "w", "631"));

    browser.ShowWindow(SW_SHOW);
    EXPECT_TRUE(browser.IsWindowVisible());
    EXPECT_TRUE(log_.WaitFor("window", "visible", "true"));
    const auto windows = EventsOf(instance, "window");
    ASSERT_FALSE(windows.empty());
    const LogEntry& last = windows.back();
    EXPECT_EQ("270", last["x"]);
    EXPECT_EQ("141", last["y"]);
    EXPECT_EQ("631", last["w"]);
    EXPECT_EQ("444", last["h"]);

    browser.ShowWindow(SW_HIDE);
    EXPECT_FALSE(browser.IsWindowVisible());
}

TEST_F(BrowserHosting, PagesGetTheHostCustomisation) {
    const auto dialog = Open(IDD_LOGIN_PANEL);
    const int instance = LastCreated();
    const auto hostInfo = EventsOf(instance, "host_info");
    ASSERT_FALSE(hostInfo.empty());
    EXPECT_EQ("12", hostInfo.back()["flags"]);

    Navigate(dialog->m_browser, PlatformUrl(L"/vornak/external"));
    ASSERT_TRUE(log_.WaitFor("document_complete"));
    const auto externals = EventsOf(instance, "external");
    ASSERT_EQ(2u, externals.size());
    EXPECT_EQ("xxyyzz", externals[0]["name"]);
    EXPECT_EQ("Wibble", externals[0]["value"]);
    EXPECT_EQ("nosuch", externals[1]["name"]);
    EXPECT_EQ("null", externals[1]["value"]);
    // Each reference the page took was given back.
    EXPECT_EQ(0, external_.m_cRef);

    // A page longer than the control still gets neither border nor scroll bar.
    Navigate(dialog->m_browser, PlatformUrl(L"/vornak/long"));
    ASSERT_TRUE(log_.WaitFor("document_complete", "url", Utf8(PlatformUrl(L"/vornak/long"))));
    EXPECT_EQ(0, ::GetWindowLongPtrW(dialog->m_browser.m_hWnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(0, ::GetWindowLongPtrW(dialog->m_browser.m_hWnd, GWL_STYLE) & WS_VSCROLL);

    dialog->m_browser.ShowWindow(SW_SHOW);
    POINT screen{20, 20};
    ::ClientToScreen(dialog->m_browser.m_hWnd, &screen);
    dialog->m_browser.SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(dialog->m_browser.m_hWnd),
                                  MAKELPARAM(screen.x, screen.y));
    const auto menus = EventsOf(instance, "context_menu");
    ASSERT_EQ(1u, menus.size());
    EXPECT_EQ("0", menus[0]["hr"]);
}

TEST_F(BrowserHosting, RefreshReachesTheControl) {
    const auto dialog = Open(IDD_GAME);
    Navigate(dialog->m_browser, PlatformUrl(L"/vornak/news"));
    ASSERT_TRUE(log_.WaitFor("document_complete"));
    dialog->m_browser.Refresh();
    EXPECT_EQ(1u, log_.Events("refresh").size());
}

TEST_F(BrowserHosting, CreateControlMakesABrowserWithoutATemplate) {
    const auto dialog = Open(IDD_TEST);
    CWebBrowser2 browser;
    const RECT rect{10, 30, 250, 190};
    ASSERT_TRUE(browser.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, rect, dialog.get(), 1234));
    const int instance = LastCreated();
    ASSERT_NE(0, instance);
    EXPECT_TRUE(EventsOf(instance, "load").empty());
    EXPECT_EQ(rect, test::RectInParent(browser.m_hWnd));
    EXPECT_EQ(browser.m_hWnd, ::GetDlgItem(dialog->m_hWnd, 1234));
    EXPECT_EQ(browser.m_hWnd, ::GetWindow(::GetWindow(dialog->m_hWnd, GW_CHILD), GW_HWNDLAST));

    const std::wstring url = PlatformUrl(L"/vornak");
    Navigate(browser, url);
    EXPECT_EQ(1u, EventsOf(instance, "navigate").size());
    // The dialog goes first: the wrapper is left without a window or a site.
    dialog->DestroyWindow();
    EXPECT_EQ(nullptr, browser.m_hWnd);
    EXPECT_EQ(nullptr, browser.m_pCtrlSite);
}

TEST_F(BrowserHosting, DestroyingDialogsLeavesNoLiveControl) {
    for (int i = 0; i < 20; ++i) {
        auto dialog = Open(i % 2 ? IDD_GAME : IDD_LOGIN_PANEL);
        Navigate(dialog->m_browser, PlatformUrl(L"/vornak/news"));
        const HWND control = dialog->m_browser.m_hWnd;
        ASSERT_TRUE(::IsWindow(control));
        ASSERT_TRUE(::GetModuleHandleW(L"standin-browser.dll"));
        ASSERT_TRUE(dialog->DestroyWindow());
        EXPECT_FALSE(::IsWindow(control));
        EXPECT_EQ(nullptr, dialog->m_browser.m_hWnd);
    }
    EXPECT_EQ(20u, log_.Events("created").size());
    EXPECT_TRUE(test::PumpUntil(StandinHasNoLiveObjects));
}

TEST_F(BrowserHosting, DeletingDialogObjectsFirstLeavesNoLiveControl) {
    for (int i = 0; i < 20; ++i) {
        auto dialog = Open(i % 2 ? IDD_GAME : IDD_LOGIN_PANEL);
        Navigate(dialog->m_browser, PlatformUrl(L"/vornak/news"));
        const HWND window = dialog->m_hWnd;
        const HWND control = dialog->m_browser.m_hWnd;
        ASSERT_TRUE(::IsWindow(control));
        dialog.reset();
        EXPECT_FALSE(::IsWindow(window));
        EXPECT_FALSE(::IsWindow(control));
    }
    EXPECT_TRUE(test::PumpUntil(StandinHasNoLiveObjects));
}

TEST_F(BrowserHosting, AWrapperThatGoesFirstLeavesTheControlToItsSite) {
    auto dialog = std::make_unique<BrowserDialog>(IDD_LOGIN_PANEL, EventTable::All, false);
    ASSERT_TRUE(dialog->Create(IDD_LOGIN_PANEL));
    const int instance = LastCreated();
    HWND control = nullptr;
    {
        CWebBrowser2 wrapper;
        CDataExchange dx(dialog.get());
        DDX_Control(&dx, IDC_BROWSER, wrapper);
        control = wrapper.m_hWnd;
        ASSERT_TRUE(::IsWindow(control));
    }
    EXPECT_TRUE(::IsWindow(control));
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(control));

    // The site still drives the control: a new wrapper binds and navigates it,
    // and a later binding takes the control over from it.
    CWebBrowser2 again;
    CDataExchange dx(dialog.get());
    DDX_Control(&dx, IDC_BROWSER, again);
    EXPECT_EQ(control, again.m_hWnd);
    {
        CWebBrowser2 later;
        DDX_Control(&dx, IDC_BROWSER, later);
        EXPECT_EQ(control, later.m_hWnd);
        EXPECT_EQ(nullptr, again.m_hWnd);
        EXPECT_EQ(nullptr, again.m_pCtrlSite);
        EXPECT_EQ(&later, CWnd::FromHandlePermanent(control));
    }
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(control));
    DDX_Control(&dx, IDC_BROWSER, again);
    Navigate(again, PlatformUrl(L"/vornak/news"));
    EXPECT_EQ(1u, EventsOf(instance, "navigate").size());

    dialog.reset();
    EXPECT_FALSE(::IsWindow(control));
    EXPECT_EQ(nullptr, again.m_hWnd);
    EXPECT_TRUE(test::PumpUntil(StandinHasNoLiveObjects));
}

}  // namespace
