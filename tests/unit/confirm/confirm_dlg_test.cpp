// The confirmation dialog run modally for real over a visible owner window; each
// case looks at it from inside its own modal loop and then ends it the way a
// player would.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "app/login_app.h"
#include "framework/handles.h"
#include "game/confirm_dlg.h"
#include "res/resource.h"
#include "support/win_test.h"

namespace {

constexpr RECT kOwnerRect{300, 200, 900, 600};
constexpr POINT kFarAway{1900, 1060};
constexpr INT_PTR kTimedOut = -99;
constexpr UINT_PTR kWatchdogTimer = 0x7E57;

std::wstring ItemText(HWND dlg, int id) {
    wchar_t text[128] = {};
    ::GetDlgItemTextW(dlg, id, text, 128);
    return text;
}

void CALLBACK EndStuckDialog(HWND hwnd, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(hwnd, timer);
    if (auto* dlg = static_cast<CDialog*>(CWnd::FromHandlePermanent(hwnd))) dlg->EndDialog(kTimedOut);
}

// The dialog's picture, to compare the screen with.
class Background {
public:
    Background() : memory_(nullptr) {
        bitmap_.LoadBitmap(AfxGetResourceHandle(), IDB_CONFIRM);
        memory_.SelectBitmap(bitmap_);
    }
    COLORREF Pixel(int x, int y) const { return ::GetPixel(memory_.get(), x, y); }

private:
    CBitmap bitmap_;
    fw::MemoryDC memory_;
};

bool IsWhite(COLORREF c) { return GetRValue(c) >= 200 && GetGValue(c) >= 200 && GetBValue(c) >= 200; }

// Pixels of a rectangle of the dialog that are (near) white: drawn text.
int WhitePixels(HWND dlg, const RECT& rect) {
    HDC dc = ::GetDC(dlg);
    int white = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            if (IsWhite(::GetPixel(dc, x, y))) ++white;
    ::ReleaseDC(dlg, dc);
    return white;
}

class ConfirmDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        HWND hwnd = ::CreateWindowExW(0, L"Static", L"confirm owner", WS_POPUP | WS_VISIBLE, kOwnerRect.left,
                                      kOwnerRect.top, kOwnerRect.right - kOwnerRect.left,
                                      kOwnerRect.bottom - kOwnerRect.top, nullptr, nullptr,
                                      ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(owner_.SubclassWindow(hwnd));
        theApp.m_pMainWnd = &owner_;
        ::SetCursorPos(kFarAway.x, kFarAway.y);
        test::PumpMessages(30);
    }
    void TearDown() override { theApp.m_pMainWnd = nullptr; }

    // DoModal's result; `inside` runs from the dialog's own loop once it is up
    // and painted, and is expected to end it.
    INT_PTR RunModal(CConfirmDlg& dlg, const std::function<void(CConfirmDlg&)>& inside) {
        auto running = std::make_shared<CConfirmDlg*>(&dlg);
        test::RunLater(
            [running, inside] {
                CConfirmDlg* up = *running;
                if (!up || !up->m_hWnd) return;
                ::SetTimer(up->m_hWnd, kWatchdogTimer, 5000, &EndStuckDialog);
                inside(*up);
            },
            400);
        const INT_PTR result = dlg.DoModal();
        *running = nullptr;
        return result;
    }

    // A real left click at a point of the dialog.
    static void ClickAt(HWND dlg, POINT point) {
        ::ClientToScreen(dlg, &point);
        ::SetCursorPos(point.x, point.y);
        test::PumpMessages(50);
        INPUT clicks[2]{};
        clicks[0].type = clicks[1].type = INPUT_MOUSE;
        clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        ::SendInput(2, clicks, sizeof(INPUT));
    }

    static void PostToFocus(HWND dlg, UINT message, WPARAM key, LPARAM flags) {
        HWND focus = ::GetFocus();
        ::PostMessageW(focus ? focus : dlg, message, key, flags);
    }

    CWnd owner_;
};

TEST_F(ConfirmDlgTest, CloseGameModeAsksWhetherToQuit) {
    CConfirmDlg dlg;
    EXPECT_EQ(dlg.m_nMode, CONFIRM_CLOSE_GAME);
    const INT_PTR result = RunModal(dlg, [](CConfirmDlg& up) {
        EXPECT_EQ(ItemText(up.m_hWnd, IDC_CONFIRM_TITLE), L"关闭游戏");
        EXPECT_EQ(ItemText(up.m_hWnd, IDC_CONFIRM_TEXT), L"确定要退出游戏吗?");
        up.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(ConfirmDlgTest, ChangeServerModeAsksWhetherToLeaveTheGame) {
    CConfirmDlg dlg;
    dlg.m_nMode = CONFIRM_CHANGE_SERVER;
    const INT_PTR result = RunModal(dlg, [](CConfirmDlg& up) {
        EXPECT_EQ(ItemText(up.m_hWnd, IDC_CONFIRM_TITLE), L"选服");
        EXPECT_EQ(ItemText(up.m_hWnd, IDC_CONFIRM_TEXT), L"是否退出当前游戏，重新选择新服务器?");
        up.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(ConfirmDlgTest, EnterConfirmsEscapeAndCloseDecline) {
    struct Case {
        const char* name;
        int focus;  // the button given the focus first, or 0 to leave it where the dialog put it
        std::function<void(HWND)> act;
        INT_PTR expected;
    };
    const auto key = [](UINT message, WPARAM vk, LPARAM flags) {
        return [=](HWND dlg) { PostToFocus(dlg, message, vk, flags); };
    };
    const Case cases[] = {
        {"Enter", 0, key(WM_KEYDOWN, VK_RETURN, 1), IDOK},
        // The buttons are not push buttons to the dialog manager: Enter is IDOK on either.
        {"Enter on OK", IDC_CONFIRM_OK, key(WM_KEYDOWN, VK_RETURN, 1), IDOK},
        {"Enter on Cancel", IDC_CONFIRM_CANCEL, key(WM_KEYDOWN, VK_RETURN, 1), IDOK},
        {"Esc", 0, key(WM_KEYDOWN, VK_ESCAPE, 1), IDCANCEL},
        {"Alt+F4", 0, key(WM_SYSKEYDOWN, VK_F4, 1 | (KF_ALTDOWN << 16)), IDCANCEL},
        {"SC_CLOSE", 0, [](HWND dlg) { ::PostMessageW(dlg, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL},
        {"WM_CLOSE", 0, [](HWND dlg) { ::PostMessageW(dlg, WM_CLOSE, 0, 0); }, IDCANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CConfirmDlg dlg;
        const INT_PTR result = RunModal(dlg, [&](CConfirmDlg& up) {
            if (c.focus) ::SetFocus(::GetDlgItem(up.m_hWnd, c.focus));
            // Keys go where a player's would: to the control with the focus.
            EXPECT_TRUE(::IsChild(up.m_hWnd, ::GetFocus()));
            c.act(up.m_hWnd);
        });
        EXPECT_EQ(result, c.expected);
    }
}

TEST_F(ConfirmDlgTest, ClicksRightOfEachPictureStillHitItsButton) {
    struct Case {
        POINT point;
        int button;
        INT_PTR expected;
    };
    for (const Case& c : {Case{{120, 80}, IDC_CONFIRM_OK, IDOK}, Case{{230, 80}, IDC_CONFIRM_CANCEL, IDCANCEL}}) {
        SCOPED_TRACE(c.point.x);
        CConfirmDlg dlg;
        const INT_PTR result = RunModal(dlg, [&](CConfirmDlg& up) {
            EXPECT_EQ(::ChildWindowFromPoint(up.m_hWnd, c.point), ::GetDlgItem(up.m_hWnd, c.button));
            ClickAt(up.m_hWnd, c.point);
        });
        EXPECT_EQ(result, c.expected);
    }
}

TEST_F(ConfirmDlgTest, CaptionlessPanelCentredOnItsOwner) {
    CConfirmDlg dlg;
    RunModal(dlg, [](CConfirmDlg& up) {
        const int width = 256;
        const int height = 110;
        const int left = (kOwnerRect.left + kOwnerRect.right) / 2 - width / 2;
        const int top = (kOwnerRect.top + kOwnerRect.bottom) / 2 - height / 2;
        EXPECT_EQ(test::WindowRect(up.m_hWnd), (RECT{left, top, left + width, top + height}));
        RECT client{};
        ::GetClientRect(up.m_hWnd, &client);
        EXPECT_EQ(client, (RECT{0, 0, width, height})) << "no caption bar or frame";
        EXPECT_EQ(::GetWindow(up.m_hWnd, GW_OWNER), theApp.m_pMainWnd->m_hWnd);

        EXPECT_EQ(test::RectInParent(up.m_btnOk.m_hWnd), (RECT{40, 72, 296, 98}));
        EXPECT_EQ(test::RectInParent(up.m_btnCancel.m_hWnd), (RECT{140, 72, 396, 98}));
        EXPECT_EQ(test::RectInParent(up.m_stTitle.m_hWnd), (RECT{79, 10, 179, 40}));
        EXPECT_EQ(test::RectInParent(up.m_stText.m_hWnd), (RECT{28, 34, 228, 100}));
        up.EndDialog(IDCANCEL);
    });
}

TEST_F(ConfirmDlgTest, TitleKeepsTwelvePointArialAcrossRepaints) {
    CConfirmDlg dlg;
    RunModal(dlg, [](CConfirmDlg& up) {
        const auto titleFont = [&] {
            return reinterpret_cast<HFONT>(::SendDlgItemMessageW(up.m_hWnd, IDC_CONFIRM_TITLE, WM_GETFONT, 0, 0));
        };
        const HFONT font = titleFont();
        LOGFONTW logical{};
        ASSERT_EQ(::GetObjectW(font, sizeof(logical), &logical), static_cast<int>(sizeof(logical)));
        EXPECT_STREQ(logical.lfFaceName, L"Arial");
        HDC screen = ::GetDC(nullptr);
        const int pixelsPerInch = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
        EXPECT_EQ(logical.lfHeight, -::MulDiv(12, pixelsPerInch, 72));
        EXPECT_NE(reinterpret_cast<HFONT>(::SendDlgItemMessageW(up.m_hWnd, IDC_CONFIRM_TEXT, WM_GETFONT, 0, 0)), font)
            << "the question keeps the template's font";

        ::RedrawWindow(up.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        test::PumpMessages(50);
        EXPECT_EQ(titleFont(), font);
        EXPECT_EQ(::GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
        EXPECT_GT(WhitePixels(up.m_hWnd, RECT{79, 10, 179, 40}), 20);
        up.EndDialog(IDCANCEL);
    });
}

TEST_F(ConfirmDlgTest, LabelsShowThePictureBehindWhiteText) {
    const Background background;
    CConfirmDlg dlg;
    RunModal(dlg, [&](CConfirmDlg& up) {
        // The picture itself, outside every control.
        for (const POINT p : {POINT{5, 5}, POINT{128, 104}, POINT{20, 60}})
            EXPECT_EQ(test::ClientPixel(up.m_hWnd, p.x, p.y), background.Pixel(p.x, p.y)) << p.x << "," << p.y;
        // Inside the labels, where no letter is: the picture, not a filled box.
        for (const POINT p : {POINT{81, 12}, POINT{176, 37}, POINT{129, 38}, POINT{30, 60}, POINT{226, 66},
                              POINT{128, 70}})
            EXPECT_EQ(test::ClientPixel(up.m_hWnd, p.x, p.y), background.Pixel(p.x, p.y)) << p.x << "," << p.y;
        // The part of a button window right of its picture shows the panel too.
        EXPECT_EQ(test::ClientPixel(up.m_hWnd, 230, 85), background.Pixel(230, 85));

        EXPECT_GT(WhitePixels(up.m_hWnd, RECT{79, 10, 179, 40}), 20);
        EXPECT_GT(WhitePixels(up.m_hWnd, RECT{28, 34, 228, 72}), 20);
        up.EndDialog(IDCANCEL);
    });
}

}  // namespace
