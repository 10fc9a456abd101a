// Display modes of the game window: geometry of window and browser, every
// transition, dragging and the painting of the strip band.
#include <gtest/gtest.h>

#include <string>

#include "game_window_fixture.h"
#include "res/resource.h"
#include "support/win_test.h"

using gametest::GameWindowTest;

namespace {

constexpr UINT kBossKey = 1001;
constexpr UINT kFullScreenKey = 1002;

RECT ScreenRect() {
    return RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

// Where the 1000x700 window lands: centred in the work area.
RECT CentredNormalRect() {
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = (work.left + work.right) / 2 - 500;
    const int y = (work.top + work.bottom) / 2 - 350;
    return RECT{x, y, x + 1000, y + 700};
}

const char* ModeName(int mode) {
    switch (mode) {
    case CGameDialog::MODE_FULLSCREEN: return "full screen";
    case CGameDialog::MODE_MAXIMIZED: return "work area";
    case CGameDialog::MODE_NORMAL: return "normal";
    default: return "unknown";
    }
}

}  // namespace

class DisplayModeTest : public GameWindowTest {
protected:
    void PressHotKey(UINT id) { game->SendMessage(WM_HOTKEY, id, MAKELPARAM(0, id == kBossKey ? VK_F10 : VK_F11)); }
    void DoubleClickStrip() { game->SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(300, 12)); }

    void ExpectMode(int mode, const RECT& window) {
        EXPECT_EQ(game->m_nDisplayMode, mode) << "expected " << ModeName(mode) << ", got "
                                              << ModeName(game->m_nDisplayMode);
        EXPECT_EQ(test::WindowRect(game->m_hWnd), window) << ModeName(mode);
        EXPECT_FALSE(::GetWindowLongPtrW(game->m_hWnd, GWL_STYLE) & WS_MAXIMIZE);
    }
};

TEST_F(DisplayModeTest, ComesUpHiddenInTheWorkAreaModeAsAnAppWindowOfTheMainWindow) {
    HWND hwnd = game->m_hWnd;
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    ExpectMode(CGameDialog::MODE_MAXIMIZED, WorkAreaAtOrigin());
    EXPECT_EQ(::GetWindow(hwnd, GW_OWNER), owner->m_hWnd);

    wchar_t caption[64] = {};
    ::GetWindowTextW(hwnd, caption, 64);
    EXPECT_STREQ(caption, L"Duskmere");
    const LONG_PTR exStyle = ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_APPWINDOW);
    EXPECT_FALSE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(::GetWindowLongPtrW(hwnd, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME));

    ASSERT_NE(game->m_hIcon, nullptr);
    EXPECT_EQ(reinterpret_cast<HICON>(game->SendMessage(WM_GETICON, ICON_BIG)), game->m_hIcon);
    EXPECT_EQ(reinterpret_cast<HICON>(game->SendMessage(WM_GETICON, ICON_SMALL)), game->m_hIcon);

    // The strip of the work-area mode: restore, not maximise.
    EXPECT_TRUE(::GetWindowLongPtrW(Item(IDC_RESTORE), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(::GetWindowLongPtrW(Item(IDC_MAXIMIZE), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(::GetWindowLongPtrW(game->m_browser.m_hWnd, GWL_STYLE) & WS_VISIBLE);
}

TEST_F(DisplayModeTest, BrowserFillsTheWindowBelowTheStripOrAllOfItInFullScreen) {
    ShowGame();
    const RECT work = WorkAreaAtOrigin();
    EXPECT_EQ(test::RectInParent(game->m_browser.m_hWnd), (RECT{0, 30, work.right, work.bottom}));

    Click(IDC_RESTORE);
    EXPECT_EQ(test::RectInParent(game->m_browser.m_hWnd), (RECT{0, 30, 1000, 700}));

    Click(IDC_FULLSCREEN);
    EXPECT_EQ(test::RectInParent(game->m_browser.m_hWnd), ScreenRect());
}

TEST_F(DisplayModeTest, BrowserStaysHiddenUntilItsFirstNavigationCompletes) {
    ShowGame();
    HWND browser = game->m_browser.m_hWnd;
    test::PumpMessages(200);
    EXPECT_FALSE(::IsWindowVisible(browser));

    VARIANT none;
    ::VariantInit(&none);
    game->m_browser.Navigate(L"about:blank", &none, &none, &none, &none);
    EXPECT_TRUE(test::PumpUntil([&] { return ::IsWindowVisible(browser) != FALSE; }))
        << "NavigateComplete2 did not reveal the browser";
}

TEST_F(DisplayModeTest, CommandsDoubleClicksAndF11MoveBetweenTheModesOfTheTable) {
    ShowGame();
    const RECT work = WorkAreaAtOrigin();
    const RECT normal = CentredNormalRect();
    const RECT screen = ScreenRect();

    Click(IDC_RESTORE);
    ExpectMode(CGameDialog::MODE_NORMAL, normal);
    Click(IDC_MAXIMIZE);
    ExpectMode(CGameDialog::MODE_MAXIMIZED, work);
    DoubleClickStrip();
    ExpectMode(CGameDialog::MODE_NORMAL, normal);
    DoubleClickStrip();
    ExpectMode(CGameDialog::MODE_MAXIMIZED, work);

    Click(IDC_FULLSCREEN);
    ExpectMode(CGameDialog::MODE_FULLSCREEN, screen);
    Click(IDC_FULLSCREEN);
    ExpectMode(CGameDialog::MODE_FULLSCREEN, screen);
    // Maximise and restore keep full screen, applying it again.
    Click(IDC_MAXIMIZE);
    ExpectMode(CGameDialog::MODE_FULLSCREEN, screen);

    PressHotKey(kFullScreenKey);
    ExpectMode(CGameDialog::MODE_MAXIMIZED, work);
    PressHotKey(kFullScreenKey);
    ExpectMode(CGameDialog::MODE_FULLSCREEN, screen);
}

TEST_F(DisplayModeTest, NormalWindowKeepsItsStripInsideASmallWorkArea) {
    test::WorkAreaOverride small(RECT{0, 0, 1024, 600});
    ShowGame();
    Click(IDC_RESTORE);
    ExpectMode(CGameDialog::MODE_NORMAL, (RECT{12, 0, 1012, 700}));
}

TEST_F(DisplayModeTest, F11LeavesFullScreenForTheWorkAreaWhicheverModeWasLeft) {
    ShowGame();
    Click(IDC_RESTORE);
    PressHotKey(kFullScreenKey);
    ExpectMode(CGameDialog::MODE_FULLSCREEN, ScreenRect());
    PressHotKey(kFullScreenKey);
    ExpectMode(CGameDialog::MODE_MAXIMIZED, WorkAreaAtOrigin());
    EXPECT_TRUE(::IsWindowVisible(Item(IDC_RESTORE)));
    EXPECT_FALSE(::IsWindowVisible(Item(IDC_MAXIMIZE)));
}

TEST_F(DisplayModeTest, F11DoesNothingWhileTheWindowIsHidden) {
    ShowGame();
    Click(IDC_RESTORE);
    PressHotKey(kBossKey);
    ASSERT_FALSE(::IsWindowVisible(game->m_hWnd));

    PressHotKey(kFullScreenKey);
    ExpectMode(CGameDialog::MODE_NORMAL, CentredNormalRect());
    PressHotKey(kBossKey);
    EXPECT_TRUE(::IsWindowVisible(game->m_hWnd));
    ExpectMode(CGameDialog::MODE_NORMAL, CentredNormalRect());
}

TEST_F(DisplayModeTest, ASizeChangeOfTheVisibleWindowReappliesTheMode) {
    ShowGame();
    Click(IDC_RESTORE);
    // A move alone (as after a drag) keeps the place...
    ::MoveWindow(game->m_hWnd, 10, 20, 1000, 700, TRUE);
    EXPECT_EQ(test::WindowRect(game->m_hWnd), (RECT{10, 20, 1010, 720}));
    // ...the next size change centres it again.
    ::MoveWindow(game->m_hWnd, 10, 20, 800, 600, TRUE);
    ExpectMode(CGameDialog::MODE_NORMAL, CentredNormalRect());

    PressHotKey(kBossKey);
    ::MoveWindow(game->m_hWnd, 10, 20, 800, 600, TRUE);
    EXPECT_EQ(test::WindowRect(game->m_hWnd), (RECT{10, 20, 810, 620}));
}

TEST_F(DisplayModeTest, MinimiseCommandIconisesTheWindow) {
    ShowGame();
    Click(IDC_MINIMIZE);
    EXPECT_TRUE(::IsIconic(game->m_hWnd));
    EXPECT_TRUE(::IsWindowVisible(game->m_hWnd));
    EXPECT_EQ(game->m_nDisplayMode, CGameDialog::MODE_MAXIMIZED);
}

TEST_F(DisplayModeTest, DraggingTheStripMovesOnlyTheNormalWindowAndAClickStaysTheWindowsOwn) {
    ShowGame();
    HWND hwnd = game->m_hWnd;
    MSG msg{};
    const auto press = [&](int x, int y) { game->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); };
    const auto drag = [&](int x, int y) { game->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y)); };
    const auto moveStarted = [&] {
        return ::PeekMessageW(&msg, hwnd, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE) != FALSE;
    };

    press(300, 12);
    drag(340, 60);
    EXPECT_FALSE(moveStarted()) << "the work-area window must not move";
    game->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(340, 60));

    Click(IDC_RESTORE);
    const RECT centred = CentredNormalRect();
    // A click, even one that wobbles within the drag threshold, starts no move.
    press(300, 12);
    drag(301, 13);
    game->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(301, 13));
    drag(340, 60);
    EXPECT_FALSE(moveStarted());
    EXPECT_EQ(::GetCapture(), nullptr);
    EXPECT_EQ(test::WindowRect(hwnd), centred);

    // A drag first catches the window up with the pointer, then hands it to the caption move.
    press(300, 12);
    drag(330, 52);
    ASSERT_TRUE(moveStarted());
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(HTCAPTION));
    EXPECT_EQ(msg.lParam, MAKELPARAM(300, 12));
    EXPECT_EQ(::GetCapture(), nullptr);
    EXPECT_EQ(test::WindowRect(hwnd),
              (RECT{centred.left + 30, centred.top + 40, centred.right + 30, centred.bottom + 40}));
}

class StripPaintingTest : public GameWindowTest {
protected:
    void Repaint() {
        ::RedrawWindow(game->m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        test::PumpMessages(100);
    }
    // Rows 0..29 at x, between the logo and the buttons.
    void ExpectStripColumn(int x) {
        const std::vector<COLORREF> strip = gametest::BitmapColumn(IDB_STRIP, 0);
        ASSERT_EQ(strip.size(), 30u);
        for (int y = 0; y < 30; ++y)
            EXPECT_EQ(test::ClientPixel(game->m_hWnd, x, y), strip[y]) << "x " << x << " y " << y;
    }
};

TEST_F(StripPaintingTest, WindowedModesStretchTheStripBitmapOverTheBand) {
    ShowGame();
    Repaint();
    const RECT client = ClientRect();
    ExpectStripColumn(150);
    ExpectStripColumn(client.right - 600);

    Click(IDC_RESTORE);
    Repaint();
    ExpectStripColumn(150);
    ExpectStripColumn(470);
}

TEST_F(StripPaintingTest, FullScreenLeavesTheBandToTheDialogBackground) {
    ShowGame();
    Click(IDC_FULLSCREEN);
    Repaint();
    const std::vector<COLORREF> strip = gametest::BitmapColumn(IDB_STRIP, 0);
    const COLORREF face = ::GetSysColor(COLOR_3DFACE);
    for (int y : {2, 10, 20, 29}) {
        const COLORREF pixel = test::ClientPixel(game->m_hWnd, 300, y);
        EXPECT_NE(pixel, strip[y]) << "y " << y;
        EXPECT_EQ(pixel, face) << "y " << y;
    }
}

TEST_F(StripPaintingTest, AfterTheCloseCleanUpTheWindowStillPaintsWithoutTheStrip) {
    ShowGame();
    game->OnClose();
    EXPECT_EQ(game->m_bmpTitleStrip.GetSafeHandle(), nullptr);
    Repaint();
    EXPECT_EQ(test::ClientPixel(game->m_hWnd, 300, 10), ::GetSysColor(COLOR_3DFACE));
}
