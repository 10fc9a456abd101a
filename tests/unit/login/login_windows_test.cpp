// The login backdrop and panel created from the real templates: start-up
// geometry, the colour key, the joint move and hiding together.
#include <gtest/gtest.h>

#include <vector>

#include "browser/custom_occ_manager.h"
#include "framework/occ_manager.h"

#include "framework/app.h"
#include "login/handoff.h"
#include "login/login_dlg.h"
#include "login/login_panel.h"
#include "res/resource.h"
#include "support/win_test.h"

namespace {

class LoginWindowsTest : public testing::Test {
protected:
    // The browsers of the login panel and the game window are hosted as in the client.
    static void SetUpTestSuite() { AfxEnableControlContainer(new CCustomOccManager); }
    void SetUp() override {
        ASSERT_TRUE(backdrop.Create(IDD_LOGIN));
        AfxGetApp()->m_pMainWnd = &backdrop;
        backdrop.ShowWindow(SW_SHOW);
        ASSERT_NE(backdrop.m_pLoginPanel, nullptr);
        panel = backdrop.m_pLoginPanel;
    }
    void TearDown() override {
        AfxGetApp()->m_pMainWnd = nullptr;
        backdrop.DestroyWindow();
        delete backdrop.m_pLoginPanel;
    }
    static RECT WorkArea() {
        RECT area{};
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        return area;
    }

    CLoginDlg backdrop;
    CLoginActiveDlg* panel = nullptr;
};

}  // namespace

TEST_F(LoginWindowsTest, BackdropTakesTheImageSizeCentredWithItsTextAndIcons) {
    const RECT rect = test::WindowRect(backdrop.m_hWnd);
    const RECT area = WorkArea();
    EXPECT_EQ(rect.right - rect.left, 980);
    EXPECT_EQ(rect.bottom - rect.top, 668);
    EXPECT_EQ(rect.left, (area.left + area.right) / 2 - 490);
    EXPECT_EQ(rect.top, (area.top + area.bottom) / 2 - 334);

    wchar_t text[32] = {};
    ::GetWindowTextW(backdrop.m_hWnd, text, 32);
    EXPECT_STREQ(text, L"Duskmere");
    EXPECT_EQ(reinterpret_cast<HICON>(backdrop.SendMessage(WM_GETICON, ICON_BIG)), backdrop.m_hIcon);
    EXPECT_EQ(reinterpret_cast<HICON>(backdrop.SendMessage(WM_GETICON, ICON_SMALL)), backdrop.m_hIcon);

    const LONG_PTR style = ::GetWindowLongPtrW(backdrop.m_hWnd, GWL_STYLE);
    const LONG_PTR exStyle = ::GetWindowLongPtrW(backdrop.m_hWnd, GWL_EXSTYLE);
    EXPECT_FALSE(style & WS_CAPTION);
    EXPECT_TRUE(exStyle & WS_EX_LAYERED);
    EXPECT_TRUE(exStyle & WS_EX_APPWINDOW);
}

TEST_F(LoginWindowsTest, BackdropCentredInASmallWorkAreaKeepsItsTopOnIt) {
    test::WorkAreaOverride small(RECT{0, 0, 1024, 600});
    backdrop.CenterWindow();
    EXPECT_EQ(test::WindowRect(backdrop.m_hWnd), (RECT{22, 0, 1002, 668}));
}

TEST_F(LoginWindowsTest, PanelLiesExactlyOverTheBackdropColourKeyedInYellow) {
    EXPECT_EQ(test::WindowRect(panel->m_hWnd), test::WindowRect(backdrop.m_hWnd));
    EXPECT_EQ(::GetWindow(panel->m_hWnd, GW_OWNER), backdrop.m_hWnd);
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(::GetLayeredWindowAttributes(panel->m_hWnd, &key, &alpha, &flags));
    EXPECT_EQ(key, RGB(255, 255, 0));
    EXPECT_EQ(alpha, 255);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY | LWA_ALPHA));

    HDC dc = ::GetDC(panel->m_hWnd);
    HWND label = panel->m_btnClose.m_hWnd;
    const LRESULT brush = panel->SendMessage(WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                                             reinterpret_cast<LPARAM>(label));
    ::ReleaseDC(panel->m_hWnd, dc);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), panel->m_brKey.GetSafeHandle());
}

TEST_F(LoginWindowsTest, ButtonsSitWhereTheBackdropDrawsTheirSockets) {
    EXPECT_EQ(test::RectInParent(panel->m_btnMinimize.m_hWnd), (RECT{859, 90, 883, 114}));
    EXPECT_EQ(test::RectInParent(panel->m_btnClose.m_hWnd), (RECT{901, 82, 929, 110}));
}

TEST_F(LoginWindowsTest, WhicheverWasHitLastLeadsTheJointMove) {
    const RECT start = test::WindowRect(backdrop.m_hWnd);
    backdrop.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(start.left + 100, start.top + 100));
    EXPECT_TRUE(backdrop.m_bBackdropLeads);
    backdrop.MoveWindow(start.left - 50, start.top + 20, 980, 668, TRUE);
    EXPECT_EQ(test::WindowRect(panel->m_hWnd), test::WindowRect(backdrop.m_hWnd));

    panel->SendMessage(WM_NCHITTEST, 0, MAKELPARAM(start.left + 100, start.top + 100));
    EXPECT_FALSE(backdrop.m_bBackdropLeads);
    panel->MoveWindow(start.left + 30, start.top - 10, 980, 668, TRUE);
    const RECT moved = test::WindowRect(backdrop.m_hWnd);
    EXPECT_EQ(moved, (RECT{start.left + 30, start.top - 10, start.left + 1010, start.top + 658}));
    EXPECT_EQ(test::WindowRect(panel->m_hWnd), moved);
}

namespace {
void MoveBy(HWND window, int dx, int dy) {
    const RECT rect = test::WindowRect(window);
    ::SetWindowPos(window, nullptr, rect.left + dx, rect.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
}  // namespace

TEST_F(LoginWindowsTest, AFollowerMovedByItselfGoesBackOverTheLeader) {
    // Shown and not yet touched, the backdrop leads: a move of the panel that
    // nobody made (a window manager's late word) must not take the backdrop along.
    const RECT start = test::WindowRect(backdrop.m_hWnd);
    MoveBy(panel->m_hWnd, 40, 30);
    EXPECT_EQ(test::WindowRect(backdrop.m_hWnd), start);
    EXPECT_EQ(test::WindowRect(panel->m_hWnd), start);

    // A backdrop move that comes back from the panel must not move the panel again.
    panel->SendMessage(WM_NCHITTEST, 0, 0);
    MoveBy(backdrop.m_hWnd, 5, 0);
    EXPECT_EQ(test::WindowRect(panel->m_hWnd), start);
    EXPECT_EQ(test::WindowRect(backdrop.m_hWnd), start);

    // Shown again, the backdrop leads again.
    backdrop.ShowWindow(SW_HIDE);
    backdrop.ShowWindow(SW_SHOWNORMAL);
    MoveBy(panel->m_hWnd, -20, 10);
    EXPECT_EQ(test::WindowRect(backdrop.m_hWnd), start);
    EXPECT_EQ(test::WindowRect(panel->m_hWnd), start);
}

TEST_F(LoginWindowsTest, HidingTheBackdropTakesThePanelAlongAndRestoringKeepsBothInPlace) {
    backdrop.ShowWindow(SW_HIDE);
    EXPECT_FALSE(panel->IsWindowVisible());
    backdrop.ShowWindow(SW_SHOWNORMAL);
    EXPECT_TRUE(panel->IsWindowVisible());

    const RECT before = test::WindowRect(backdrop.m_hWnd);
    // Whether the system hides owned windows with a minimised owner is its own
    // business (Wine does not); both must come back where they were.
    backdrop.ShowWindow(SW_MINIMIZE);
    test::PumpMessages(100);
    EXPECT_TRUE(backdrop.IsIconic());
    backdrop.ShowWindow(SW_RESTORE);
    test::PumpMessages(100);
    EXPECT_TRUE(panel->IsWindowVisible());
    EXPECT_EQ(test::WindowRect(backdrop.m_hWnd), before);
    EXPECT_EQ(test::WindowRect(panel->m_hWnd), before);
}

namespace {
// Every change of activation or focus on this thread while the hook is set.
std::vector<int> g_focusMoves;
LRESULT CALLBACK RecordFocusMoves(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE || code == HCBT_SETFOCUS) g_focusMoves.push_back(code);
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

TEST_F(LoginWindowsTest, BackdropShownUnderThePanelLeavesActivationAndFocusAlone) {
    const UINT still = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
    ::SetWindowPos(backdrop.m_hWnd, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | still);
    ::SetActiveWindow(panel->m_hWnd);
    panel->m_browser.ShowWindow(SW_SHOW);
    ::SetFocus(panel->m_browser.m_hWnd);
    const HWND focus = ::GetFocus();
    ASSERT_TRUE(focus == panel->m_browser.m_hWnd || ::IsChild(panel->m_browser.m_hWnd, focus));

    g_focusMoves.clear();
    HHOOK hook = ::SetWindowsHookExW(WH_CBT, &RecordFocusMoves, nullptr, ::GetCurrentThreadId());
    ::SetWindowPos(backdrop.m_hWnd, nullptr, 0, 0, 0, 0, SWP_SHOWWINDOW | still);
    ::UnhookWindowsHookEx(hook);

    EXPECT_EQ(g_focusMoves, std::vector<int>{});
    EXPECT_EQ(::GetFocus(), focus);
    bool panelAbove = false;
    for (HWND above = ::GetWindow(backdrop.m_hWnd, GW_HWNDPREV); above; above = ::GetWindow(above, GW_HWNDPREV))
        panelAbove = panelAbove || above == panel->m_hWnd;
    EXPECT_TRUE(panelAbove);
}

namespace {
// For each owned window shown while the hook is set, whether its owner was on the screen.
std::vector<bool> g_ownerShown;
LRESULT CALLBACK RecordOwnedShows(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_SHOWWINDOW && call->wParam)
        if (HWND owner = ::GetWindow(call->hwnd, GW_OWNER)) g_ownerShown.push_back(::IsWindowVisible(owner));
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

// A window manager learns which window the panel belongs to, and so keeps it
// above the backdrop, only if the panel is mapped after the backdrop.
TEST(LoginWindowsOrder, PanelComesUpOnlyOverABackdropAlreadyOnTheScreen) {
    g_ownerShown.clear();
    HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROC, &RecordOwnedShows, nullptr, ::GetCurrentThreadId());
    CLoginDlg backdrop;
    ASSERT_TRUE(backdrop.Create(IDD_LOGIN));
    backdrop.ShowWindow(SW_HIDE);
    backdrop.ShowWindow(SW_SHOWNORMAL);
    ::UnhookWindowsHookEx(hook);
    EXPECT_EQ(g_ownerShown, (std::vector<bool>{true, true}));
    EXPECT_TRUE(backdrop.m_pLoginPanel->IsWindowVisible());
    backdrop.DestroyWindow();
    delete backdrop.m_pLoginPanel;
}

TEST_F(LoginWindowsTest, EnterAndEscapeCloseNeither) {
    for (CWnd* wnd : {static_cast<CWnd*>(&backdrop), static_cast<CWnd*>(panel)}) {
        wnd->SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        wnd->SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        EXPECT_TRUE(wnd->IsWindowVisible());
    }
}

TEST_F(LoginWindowsTest, MinimiseButtonMinimisesTheBackdrop) {
    panel->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_PANEL_MINIMIZE, BN_CLICKED),
                       reinterpret_cast<LPARAM>(panel->m_btnMinimize.m_hWnd));
    EXPECT_TRUE(backdrop.IsIconic());
    backdrop.ShowWindow(SW_RESTORE);
}

TEST(GameAddress, MarkerAnywhereCaseSensitiveInWebAddressesOnly) {
    EXPECT_TRUE(IsGameAddress(L"http://h/play?server=1&client=1"));
    EXPECT_TRUE(IsGameAddress(L"http://h/play?mode=client=10"));
    EXPECT_TRUE(IsGameAddress(L"HTTPS://h/client=1"));
    for (const wchar_t* other : {L"client=1", L"file:///C:/client=1.htm", L"javascript:'client=1'",
                                 L"res://ieframe.dll/client=1", L"httpx://h/client=1", L"about:client=1"}) {
        EXPECT_FALSE(IsGameAddress(other)) << other;
        EXPECT_TRUE(CarriesGameMarker(other)) << other;
    }
    EXPECT_FALSE(CarriesGameMarker(L"http://h/play?server=4&Client=1"));
    EXPECT_FALSE(IsGameAddress(L"http://h/play?server=4&Client=1"));
    EXPECT_FALSE(IsGameAddress(L"http://h/news"));
    EXPECT_FALSE(IsGameAddress(L""));
}

TEST(BackdropWithoutItsImage, KeepsTheTemplateSizeUnlayeredAndStillComesUp) {
    HMODULE broken = ::LoadLibraryExW(L"broken_backdrop.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(broken, nullptr);
    HINSTANCE previous = AfxGetResourceHandle();
    AfxSetResourceHandle(broken);
    {
        CLoginDlg backdrop;
        ASSERT_TRUE(backdrop.Create(IDD_LOGIN));
        RECT expected{0, 0, 561, 386};
        ::MapDialogRect(backdrop.m_hWnd, &expected);
        const RECT rect = test::WindowRect(backdrop.m_hWnd);
        EXPECT_EQ(rect.right - rect.left, expected.right);
        EXPECT_EQ(rect.bottom - rect.top, expected.bottom);
        EXPECT_FALSE(::GetWindowLongPtrW(backdrop.m_hWnd, GWL_EXSTYLE) & WS_EX_LAYERED);
        EXPECT_EQ(backdrop.m_layered.m_png.m_pImage, nullptr);
        backdrop.DestroyWindow();
        delete backdrop.m_pLoginPanel;
    }
    AfxSetResourceHandle(previous);
    ::FreeLibrary(broken);
}

TEST_F(LoginWindowsTest, TabNeverLeavesTheFocusOnAButtonThatCannotShowIt) {
    for (const CPngButton* button : {&panel->m_btnMinimize, &panel->m_btnClose})
        EXPECT_FALSE(::GetWindowLongPtrW(button->m_hWnd, GWL_STYLE) & WS_TABSTOP);
    ::SetActiveWindow(panel->m_hWnd);
    for (int i = 0; i < 3; ++i) {
        const HWND focus = ::GetFocus();
        ::PostMessageW(focus ? focus : panel->m_hWnd, WM_KEYDOWN, VK_TAB, 1);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!AfxPreTranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        EXPECT_NE(::GetFocus(), panel->m_btnMinimize.m_hWnd) << "Tab " << i;
        EXPECT_NE(::GetFocus(), panel->m_btnClose.m_hWnd) << "Tab " << i;
    }
    // A click leaves no focus on the button either: Space would press it unseen.
    ::SendMessageW(panel->m_btnClose.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    EXPECT_NE(::GetFocus(), panel->m_btnClose.m_hWnd);
    ::ReleaseCapture();  // the press ends without a click
}
