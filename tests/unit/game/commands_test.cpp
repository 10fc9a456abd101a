// Commands, hotkeys, the notification-area icon and its menu, and how the
// window lets go of them: clean-up, a close from outside, the end of its owner.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/occ_site.h"
#include "game/confirm_dlg.h"
#include "game/single_modal.h"
#include "game_window_fixture.h"
#include "res/resource.h"
#include "support/win_test.h"

using gametest::GameWindowTest;
using gametest::HotKeyIsFree;
using gametest::TrayIconExists;

namespace {

constexpr UINT kTrayId = 128;

HWND VisiblePopupMenu() {
    HWND found = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), [](HWND hwnd, LPARAM lp) CALLBACK -> BOOL {
        wchar_t cls[16] = {};
        ::GetClassNameW(hwnd, cls, 16);
        if (lstrcmpW(cls, L"#32768") != 0 || !::IsWindowVisible(hwnd)) return TRUE;
        *reinterpret_cast<HWND*>(lp) = hwnd;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

struct KeyRecord {
    std::vector<WPARAM> keys;
};

LRESULT CALLBACK RecordKeys(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR data) {
    if (message == WM_KEYDOWN) reinterpret_cast<KeyRecord*>(data)->keys.push_back(wParam);
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

class GameCommandsTest : public GameWindowTest {
protected:
    // A game window made afresh, after `rival` took F10 for itself.
    void RecreateWithF10TakenBy(const gametest::PlainWindow& rival) {
        game->OnClose();
        game.reset();
        ASSERT_TRUE(::RegisterHotKey(rival.hwnd(), 7, 0, VK_F10));
        game = std::make_unique<CGameDialog>();
        ASSERT_TRUE(game->Create(IDD_GAME, nullptr));
        game->ShowWindow(SW_HIDE);
    }

    LRESULT Tray(WPARAM id, LPARAM mouse) { return game->SendMessage(WM_TRAYNOTIFY, id, mouse); }
};

TEST_F(GameCommandsTest, HotKeysAndTrayIconAreHeldUntilTheCloseCleanUp) {
    HWND hwnd = game->m_hWnd;
    EXPECT_FALSE(HotKeyIsFree(VK_F10));
    EXPECT_FALSE(HotKeyIsFree(VK_F11));
    EXPECT_TRUE(TrayIconExists(hwnd, kTrayId));
    EXPECT_FALSE(TrayIconExists(hwnd, kTrayId + 1));

    game->OnClose();
    EXPECT_TRUE(HotKeyIsFree(VK_F10));
    EXPECT_TRUE(HotKeyIsFree(VK_F11));
    EXPECT_FALSE(TrayIconExists(hwnd, kTrayId));
    EXPECT_TRUE(::IsWindow(hwnd)) << "the clean-up leaves the window to its deleter";
}

TEST_F(GameCommandsTest, EndOfTheOwnerReleasesEverythingSoTheLaterCleanUpReportsNothing) {
    HWND hwnd = game->m_hWnd;
    ASSERT_TRUE(::DestroyWindow(owner->m_hWnd));
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(game->m_hWnd, nullptr);
    EXPECT_TRUE(HotKeyIsFree(VK_F10));
    EXPECT_TRUE(HotKeyIsFree(VK_F11));

    game->OnClose();
    test::PumpMessages(50);
    EXPECT_EQ(boxes->texts, std::vector<std::wstring>{});
}

TEST_F(GameCommandsTest, RefusedF10IsReportedOnceAndItsReleaseFailsInTheCleanUp) {
    gametest::PlainWindow rival(L"F10 owner");
    RecreateWithF10TakenBy(rival);
    EXPECT_EQ(boxes->texts, std::vector<std::wstring>{L"RegisterHotKey F10 false"});
    EXPECT_FALSE(HotKeyIsFree(VK_F11)) << "F11 is registered all the same";

    game->OnClose();
    EXPECT_EQ(boxes->texts,
              (std::vector<std::wstring>{L"RegisterHotKey F10 false", L"UnregisterHotKey F10 false"}));
    EXPECT_TRUE(HotKeyIsFree(VK_F11));
    ::UnregisterHotKey(rival.hwnd(), 7);
    boxes->texts.clear();
}

TEST_F(GameCommandsTest, RefusedF10IsNotReportedAgainWhenTheWindowEndsWithItsOwner) {
    gametest::PlainWindow rival(L"F10 owner");
    RecreateWithF10TakenBy(rival);
    ::DestroyWindow(owner->m_hWnd);
    game->OnClose();
    test::PumpMessages(50);
    EXPECT_EQ(boxes->texts, std::vector<std::wstring>{L"RegisterHotKey F10 false"});
    ::UnregisterHotKey(rival.hwnd(), 7);
    boxes->texts.clear();
}

TEST_F(GameCommandsTest, CloseFromOutsideAsksForConfirmationAndReleasesNothing) {
    ShowGame();
    HWND hwnd = game->m_hWnd;
    HWND asked = nullptr;
    HWND askedOwner = nullptr;
    int mode = -1;
    bool f10HeldMeanwhile = false;
    test::RunLater([&] {
        asked = ::GetActiveWindow();
        if (auto* confirm = dynamic_cast<CConfirmDlg*>(CWnd::FromHandlePermanent(asked))) mode = confirm->m_nMode;
        askedOwner = ::GetWindow(asked, GW_OWNER);
        f10HeldMeanwhile = !HotKeyIsFree(VK_F10);
        ::PostMessageW(asked, WM_COMMAND, IDCANCEL, 0);
    });
    game->SendMessage(WM_CLOSE);

    ASSERT_NE(asked, nullptr) << "no confirmation came up";
    EXPECT_NE(asked, hwnd);
    EXPECT_EQ(askedOwner, hwnd);
    EXPECT_EQ(mode, CONFIRM_CLOSE_GAME) << "the quit confirmation";
    EXPECT_TRUE(f10HeldMeanwhile);

    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_FALSE(HotKeyIsFree(VK_F10));
    EXPECT_FALSE(HotKeyIsFree(VK_F11));
    EXPECT_TRUE(TrayIconExists(hwnd, kTrayId));
    EXPECT_NE(game->m_bmpTitleStrip.GetSafeHandle(), nullptr);
    MSG quit{};
    EXPECT_FALSE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "declined: no quit";
}

TEST_F(GameCommandsTest, CloseServerAndMenuExitCommandsAskTheirOwnQuestion) {
    ShowGame();
    struct Binding {
        UINT command;
        int mode;
    };
    for (const Binding binding : {Binding{IDC_CLOSE, CONFIRM_CLOSE_GAME}, Binding{ID_TRAY_EXIT, CONFIRM_CLOSE_GAME},
                                  Binding{IDC_SERVER, CONFIRM_CHANGE_SERVER}}) {
        int mode = -1;
        test::RunLater([&] {
            HWND asked = ::GetActiveWindow();
            if (auto* confirm = dynamic_cast<CConfirmDlg*>(CWnd::FromHandlePermanent(asked))) mode = confirm->m_nMode;
            ::PostMessageW(asked, WM_COMMAND, IDCANCEL, 0);
        });
        game->SendMessage(WM_COMMAND, MAKEWPARAM(binding.command, 0), 0);
        EXPECT_EQ(mode, binding.mode) << "command " << binding.command;
        EXPECT_TRUE(::IsWindowVisible(game->m_hWnd)) << "declined: command " << binding.command;
    }
}

TEST_F(GameCommandsTest, EnterAndEscapeReachTheFocusedControlAndNeverCloseTheWindow) {
    ShowGame();
    HWND button = Item(IDC_REFRESH);
    KeyRecord record;
    ASSERT_TRUE(::SetWindowSubclass(button, &RecordKeys, 77, reinterpret_cast<DWORD_PTR>(&record)));
    ::SetFocus(button);
    ::PostMessageW(button, WM_KEYDOWN, VK_RETURN, 1);
    ::PostMessageW(button, WM_KEYDOWN, VK_ESCAPE, 1);
    gametest::PumpThroughFramework(200);
    game->SendMessage(WM_COMMAND, IDOK);
    game->SendMessage(WM_COMMAND, IDCANCEL);
    ::RemoveWindowSubclass(button, &RecordKeys, 77);

    EXPECT_EQ(record.keys, (std::vector<WPARAM>{VK_RETURN, VK_ESCAPE}));
    EXPECT_TRUE(::IsWindow(game->m_hWnd));
    EXPECT_TRUE(::IsWindowVisible(game->m_hWnd));
}

TEST_F(GameCommandsTest, BossKeyBossButtonAndIconDoubleClickToggleVisibilityOnly) {
    ShowGame();
    HWND hwnd = game->m_hWnd;
    const RECT placed = test::WindowRect(hwnd);

    game->SendMessage(WM_HOTKEY, 1001, MAKELPARAM(0, VK_F10));
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    game->SendMessage(WM_HOTKEY, 1001, MAKELPARAM(0, VK_F10));
    EXPECT_TRUE(::IsWindowVisible(hwnd));

    Click(IDC_BOSS);
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    EXPECT_EQ(Tray(kTrayId, WM_LBUTTONDBLCLK), 0);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_EQ(Tray(kTrayId, WM_LBUTTONDBLCLK), 0);
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    Click(IDC_BOSS);
    EXPECT_TRUE(::IsWindowVisible(hwnd));

    EXPECT_EQ(game->m_nDisplayMode, CGameDialog::MODE_MAXIMIZED);
    EXPECT_EQ(test::WindowRect(hwnd), placed);
}

TEST_F(GameCommandsTest, AMinimisedWindowCountsAsVisibleForTheBossKey) {
    ShowGame();
    Click(IDC_MINIMIZE);
    ASSERT_TRUE(::IsIconic(game->m_hWnd));
    game->SendMessage(WM_HOTKEY, 1001, MAKELPARAM(0, VK_F10));
    EXPECT_FALSE(::IsWindowVisible(game->m_hWnd));
    game->SendMessage(WM_HOTKEY, 1001, MAKELPARAM(0, VK_F10));
    EXPECT_TRUE(::IsWindowVisible(game->m_hWnd));
    EXPECT_TRUE(::IsIconic(game->m_hWnd));
}

TEST_F(GameCommandsTest, TrayCallbacksOfAnotherIconOrMouseMessageAreIgnored) {
    ShowGame();
    EXPECT_EQ(Tray(kTrayId + 1, WM_LBUTTONDBLCLK), 1);
    EXPECT_TRUE(::IsWindowVisible(game->m_hWnd));
    EXPECT_EQ(Tray(kTrayId + 1, WM_RBUTTONUP), 1);
    EXPECT_EQ(Tray(kTrayId, WM_MOUSEMOVE), 0);
    EXPECT_EQ(Tray(kTrayId, WM_LBUTTONDOWN), 0);
    EXPECT_TRUE(::IsWindowVisible(game->m_hWnd));
}

TEST_F(GameCommandsTest, EveryRightClickBuildsAOneItemExitMenuAndDestroysIt) {
    ShowGame();
    HWND hwnd = game->m_hWnd;
    // Another window in front, as when the player clicks the icon from elsewhere.
    gametest::PlainWindow front(L"in front");
    ::ShowWindow(front.hwnd(), SW_SHOW);
    std::vector<HMENU> menus;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(::SetForegroundWindow(front.hwnd()));
        test::PumpMessages(100);
        int items = -1;
        UINT itemId = 0;
        wchar_t text[32] = {};
        HMENU menu = nullptr;
        HWND foreground = nullptr;
        test::RunLater([&] {
            foreground = ::GetForegroundWindow();
            HWND popup = VisiblePopupMenu();
            menu = popup ? reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0)) : nullptr;
            if (menu) {
                items = ::GetMenuItemCount(menu);
                itemId = ::GetMenuItemID(menu, 0);
                ::GetMenuStringW(menu, 0, text, 32, MF_BYPOSITION);
            }
            ::EndMenu();
        });
        EXPECT_EQ(Tray(kTrayId, WM_RBUTTONUP), 0);
        ASSERT_NE(menu, nullptr) << "round " << round << ": no menu came up";
        EXPECT_EQ(items, 1);
        EXPECT_EQ(itemId, 1013u);
        EXPECT_STREQ(text, L"退出");
        EXPECT_EQ(foreground, hwnd) << "a click elsewhere closes the menu of the foreground window only";
        MSG after{};
        EXPECT_TRUE(::PeekMessageW(&after, hwnd, WM_NULL, WM_USER, PM_REMOVE) && after.message == WM_NULL)
            << "a message after the menu lets it close on time";
        menus.push_back(menu);
    }
    for (HMENU menu : menus) EXPECT_FALSE(::IsMenu(menu));
    EXPECT_TRUE(::IsWindowVisible(hwnd)) << "dismissing the menu does nothing";
}

TEST_F(GameCommandsTest, TheIconComesBackWhenTheNotificationAreaRestarts) {
    HWND hwnd = game->m_hWnd;
    const UINT taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    // A restarted notification area has forgotten every icon.
    NOTIFYICONDATAW forgotten{};
    forgotten.cbSize = sizeof(forgotten);
    forgotten.hWnd = hwnd;
    forgotten.uID = kTrayId;
    ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &forgotten));
    game->SendMessage(taskbarCreated);
    EXPECT_TRUE(TrayIconExists(hwnd, kTrayId));

    game->OnClose();
    game->SendMessage(taskbarCreated);
    EXPECT_FALSE(TrayIconExists(hwnd, kTrayId)) << "no icon after the close clean-up";
}

namespace {
// The confirmations of ours that are open, innermost first.
std::vector<HWND> OpenConfirmations() {
    std::vector<HWND> found;
    ::EnumThreadWindows(::GetCurrentThreadId(), [](HWND hwnd, LPARAM lp) CALLBACK -> BOOL {
        if (dynamic_cast<CConfirmDlg*>(CWnd::FromHandlePermanent(hwnd)))
            reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}
}  // namespace

TEST_F(GameCommandsTest, FurtherRequestsBringTheOpenConfirmationForwardAndItsQuitStillEndsWith16) {
    ShowGame();
    gametest::PlainWindow front(L"in front");
    HWND first = nullptr;
    HWND foreground = nullptr;
    size_t open = 0;
    test::RunLater([&] {
        first = ::GetActiveWindow();
        ::ShowWindow(front.hwnd(), SW_SHOW);
        ::SetForegroundWindow(front.hwnd());
        test::PumpMessages(100);
        // The taskbar's Close, the icon menu's exit and the server button.
        game->PostMessage(WM_CLOSE);
        game->PostMessage(WM_COMMAND, 1013);
        game->PostMessage(WM_COMMAND, 1008);
        test::RunLater([&] {
            foreground = ::GetForegroundWindow();
            const std::vector<HWND> confirmations = OpenConfirmations();
            open = confirmations.size();
            for (HWND confirmation : confirmations)
                ::PostMessageW(confirmation, WM_COMMAND, confirmation == first ? IDOK : IDCANCEL, 0);
        });
    });
    game->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_CLOSE, BN_CLICKED), reinterpret_cast<LPARAM>(Item(IDC_CLOSE)));

    EXPECT_EQ(open, 1u) << "one confirmation at a time";
    EXPECT_EQ(foreground, first);
    MSG quit{};
    ASSERT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 16u);
}

TEST_F(GameCommandsTest, TheBossKeyHidesAndRestoresTheGameWithTheConfirmationItOwns) {
    ShowGame();
    HWND hwnd = game->m_hWnd;
    HWND asked = nullptr;
    bool hiddenTogether = false;
    bool backTogether = false;
    HWND activeAfter = nullptr;
    test::RunLater([&] {
        asked = ::GetActiveWindow();
        game->SendMessage(WM_HOTKEY, 1001, MAKELPARAM(0, VK_F10));
        hiddenTogether = !::IsWindowVisible(hwnd) && !::IsWindowVisible(asked);
        Tray(kTrayId, WM_LBUTTONDBLCLK);
        backTogether = ::IsWindowVisible(hwnd) && ::IsWindowVisible(asked);
        activeAfter = ::GetActiveWindow();
        ::PostMessageW(asked, WM_COMMAND, IDCANCEL, 0);
    });
    game->SendMessage(WM_CLOSE);

    ASSERT_NE(asked, hwnd);
    EXPECT_TRUE(hiddenTogether);
    EXPECT_TRUE(backTogether);
    EXPECT_EQ(activeAfter, asked);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
}

namespace {
// Whether the keyboard focus is in `page` (the control's window or one inside it).
bool FocusIn(HWND page) {
    const HWND focus = ::GetFocus();
    return focus && (focus == page || ::IsChild(page, focus));
}
}  // namespace

TEST_F(GameCommandsTest, TabStaysInThePageAndNoStripButtonKeepsTheFocus) {
    ShowGame();
    const HWND page = game->m_browser.m_hWnd;
    game->m_browser.ShowWindow(SW_SHOW);
    ::SetFocus(page);
    ASSERT_TRUE(FocusIn(page));
    for (const int id : {IDC_CLOSE, IDC_RESTORE, IDC_MAXIMIZE, IDC_MINIMIZE, IDC_FULLSCREEN, IDC_BOSS, IDC_REFRESH,
                         IDC_SERVER, IDC_CLEAN})
        EXPECT_FALSE(::GetWindowLongPtrW(Item(id), GWL_STYLE) & WS_TABSTOP) << "button " << id;

    // The page hands back a Tab past its last element, a Shift+Tab past its first.
    IOleControlSite* site = game->m_browser.m_pCtrlSite;
    MSG tab{page, WM_KEYDOWN, VK_TAB, 1, 0, {}};
    for (const DWORD modifiers : {DWORD{0}, fw::kKeyModShift}) {
        EXPECT_EQ(site->TranslateAccelerator(&tab, modifiers), S_OK) << "modifiers " << modifiers;
        EXPECT_TRUE(FocusIn(page)) << "modifiers " << modifiers;
    }

    // A click on a strip button does its work and leaves the keyboard to the page.
    const HWND restore = Item(IDC_RESTORE);
    ::SendMessageW(restore, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::SendMessageW(restore, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(game->m_nDisplayMode, CGameDialog::MODE_NORMAL);
    EXPECT_TRUE(FocusIn(page));
}

TEST_F(GameCommandsTest, TheIconMenuOfTheHiddenWindowLeavesItsPageNoKeys) {
    ShowGame();
    const HWND hwnd = game->m_hWnd;
    game->m_browser.ShowWindow(SW_SHOW);
    ::SetFocus(game->m_browser.m_hWnd);
    const HWND focus = ::GetFocus();
    ASSERT_TRUE(FocusIn(game->m_browser.m_hWnd));
    KeyRecord record;
    ASSERT_TRUE(::SetWindowSubclass(focus, &RecordKeys, 78, reinterpret_cast<DWORD_PTR>(&record)));

    // The player works elsewhere, hides the game with F10 and dismisses the icon's menu.
    gametest::PlainWindow front(L"in front");
    ::ShowWindow(front.hwnd(), SW_SHOW);
    ASSERT_TRUE(::SetForegroundWindow(front.hwnd()));
    game->SendMessage(WM_HOTKEY, 1001, MAKELPARAM(0, VK_F10));
    ASSERT_FALSE(::IsWindowVisible(hwnd));
    test::RunLater([] { ::EndMenu(); });
    Tray(kTrayId, WM_RBUTTONUP);
    const HWND foreground = ::GetForegroundWindow();

    INPUT keys[2]{};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = 'A';
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(::SendInput(2, keys, sizeof(INPUT)), 2u);
    gametest::PumpThroughFramework(200);
    ::RemoveWindowSubclass(focus, &RecordKeys, 78);

    EXPECT_EQ(foreground, front.hwnd()) << "the window that had the foreground has it back";
    EXPECT_FALSE(FocusIn(hwnd));
    EXPECT_EQ(record.keys, std::vector<WPARAM>{}) << "typed into the hidden game";
}

TEST_F(GameCommandsTest, BringingTheQuitConfirmationForwardShowsEveryWindowThatOwnsIt) {
    ShowGame();
    const HWND hwnd = game->m_hWnd;
    // Any modal window of ours stands for the cleaning window under the confirmation.
    CConfirmDlg cleaning;
    HWND asked = nullptr;
    bool overCleaning = false;
    bool hiddenTogether = false;
    bool backTogether = false;
    HWND activeAfter = nullptr;
    test::RunLater([&] {
        test::RunLater([&] {
            asked = ::GetActiveWindow();
            overCleaning = ::GetWindow(asked, GW_OWNER) == cleaning.m_hWnd;
            game->SendMessage(WM_HOTKEY, 1001, MAKELPARAM(0, VK_F10));
            hiddenTogether = !::IsWindowVisible(hwnd) && !::IsWindowVisible(cleaning.m_hWnd) &&
                             !::IsWindowVisible(asked);
            // The icon's exit while the whole group is hidden.
            game->SendMessage(WM_COMMAND, ID_TRAY_EXIT);
            backTogether = ::IsWindowVisible(hwnd) && ::IsWindowVisible(cleaning.m_hWnd) &&
                           ::IsWindowVisible(asked);
            activeAfter = ::GetActiveWindow();
            ::PostMessageW(asked, WM_COMMAND, IDCANCEL, 0);
        });
        game->SendMessage(WM_CLOSE);
        ::PostMessageW(cleaning.m_hWnd, WM_COMMAND, IDCANCEL, 0);
    });
    DoModalAlone(cleaning, ModalKind::Cleaning);

    ASSERT_NE(asked, nullptr);
    EXPECT_TRUE(overCleaning);
    EXPECT_TRUE(hiddenTogether);
    EXPECT_TRUE(backTogether) << "the game window under its modal windows stayed hidden";
    EXPECT_EQ(activeAfter, asked);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
}
