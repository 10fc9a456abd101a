// The hand-off between the login windows and the game window, with the real
// windows: one game window at a time, deferred release, and the two confirmations.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "browser/custom_occ_manager.h"
#include "framework/occ_manager.h"

#include "app/login_app.h"
#include "framework/app.h"
#include "game/game_dialog.h"
#include "login/handoff.h"
#include "login/login_dlg.h"
#include "login/login_panel.h"
#include "res/resource.h"
#include "support/win_test.h"

namespace {

class HandOffTest : public testing::Test {
protected:
    // The browsers of the login panel and the game window are hosted as in the client.
    static void SetUpTestSuite() { AfxEnableControlContainer(new CCustomOccManager); }
    void SetUp() override {
        ASSERT_TRUE(backdrop.Create(IDD_LOGIN));
        theApp.m_pMainWnd = &backdrop;
        backdrop.ShowWindow(SW_SHOW);
    }
    void TearDown() override {
        ReleaseGameDialog();
        theApp.m_pMainWnd = nullptr;
        backdrop.DestroyWindow();
        delete backdrop.m_pLoginPanel;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }

    // Answers the next confirmation dialog with `command` once it is up.
    static void AnswerConfirmation(WPARAM command) {
        test::RunLater([command] {
            HWND dialog = ::GetLastActivePopup(theApp.m_pMainWnd->m_hWnd);
            ::PostMessageW(dialog, WM_COMMAND, command, 0);
        });
    }

    CLoginDlg backdrop;
};

}  // namespace

TEST_F(HandOffTest, EnteringCreatesOneGameWindowAndHidesTheLoginWindows) {
    EnterGame(L"http://127.0.0.1:8350/vornak/play?server=1&client=1");
    CGameDialog* game = theApp.m_pGameDialog;
    ASSERT_NE(game, nullptr);
    EXPECT_TRUE(game->IsWindowVisible());
    EXPECT_EQ(::GetWindow(game->m_hWnd, GW_OWNER), backdrop.m_hWnd);
    EXPECT_FALSE(backdrop.IsWindowVisible());
    EXPECT_FALSE(backdrop.m_pLoginPanel->IsWindowVisible());

    EnterGame(L"http://127.0.0.1:8350/vornak/play?server=2&client=1");
    EXPECT_EQ(theApp.m_pGameDialog, game);
    EXPECT_EQ(GetGameDialog(), game);
}

TEST_F(HandOffTest, ReturningHidesTheGameAtOnceAndReleasesItAfterTheCommand) {
    EnterGame(L"http://127.0.0.1:8350/vornak/play?server=1&client=1");
    HWND game = theApp.m_pGameDialog->m_hWnd;

    ReturnToServerList();
    EXPECT_EQ(theApp.m_pGameDialog, nullptr);
    EXPECT_TRUE(::IsWindow(game));  // its command handling may still be on the stack
    EXPECT_FALSE(::IsWindowVisible(game));
    EXPECT_TRUE(backdrop.IsWindowVisible());
    EXPECT_TRUE(backdrop.m_pLoginPanel->IsWindowVisible());

    EXPECT_TRUE(test::PumpUntil([&] { return !::IsWindow(game); }));

    // The next address opens a new window, in its initial mode.
    EnterGame(L"http://127.0.0.1:8350/vornak/play?server=2&client=1");
    ASSERT_NE(theApp.m_pGameDialog, nullptr);
    EXPECT_NE(theApp.m_pGameDialog->m_hWnd, game);
    EXPECT_EQ(theApp.m_pGameDialog->m_nDisplayMode, CGameDialog::MODE_MAXIMIZED);
}

TEST_F(HandOffTest, ConfirmedQuitPostsExitCode16) {
    AnswerConfirmation(IDOK);
    ConfirmQuit();
    MSG msg{};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 16u);
}

TEST_F(HandOffTest, DeclinedConfirmationsChangeNothing) {
    EnterGame(L"http://127.0.0.1:8350/vornak/play?server=1&client=1");
    CGameDialog* game = theApp.m_pGameDialog;
    AnswerConfirmation(IDCANCEL);
    ConfirmServerList();
    EXPECT_EQ(theApp.m_pGameDialog, game);
    EXPECT_TRUE(game->IsWindowVisible());
    EXPECT_FALSE(backdrop.IsWindowVisible());

    AnswerConfirmation(IDCANCEL);
    ConfirmQuit();
    MSG msg{};
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

namespace {
// A loop nested in whatever shows the backdrop, as a prompt of the login page's
// browser runs one while the page reloads; records whether `game` outlived it.
struct NestedLoopOnShow {
    HWND game;
    bool ran = false;
    bool gameSurvived = false;
};

LRESULT CALLBACK RunNestedLoopOnShow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR data) {
    auto* nested = reinterpret_cast<NestedLoopOnShow*>(data);
    if (message == WM_SHOWWINDOW && wParam && !nested->ran) {
        nested->ran = true;
        test::PumpMessages(100);
        nested->gameSurvived = ::IsWindow(nested->game) != FALSE;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}
}  // namespace

TEST_F(HandOffTest, ConfirmedServerListFromTheGameWindowsOwnButton) {
    EnterGame(L"http://127.0.0.1:8350/vornak/play?server=1&client=1");
    CGameDialog* game = theApp.m_pGameDialog;
    HWND hwnd = game->m_hWnd;
    NestedLoopOnShow nested{hwnd};
    ASSERT_TRUE(::SetWindowSubclass(backdrop.m_hWnd, &RunNestedLoopOnShow, 9, reinterpret_cast<DWORD_PTR>(&nested)));
    AnswerConfirmation(IDOK);
    // As a click of the server button delivers it: inside the window's own handling.
    game->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_SERVER, BN_CLICKED),
                      reinterpret_cast<LPARAM>(game->m_btnServer.m_hWnd));
    ::RemoveWindowSubclass(backdrop.m_hWnd, &RunNestedLoopOnShow, 9);
    EXPECT_EQ(theApp.m_pGameDialog, nullptr);
    EXPECT_TRUE(backdrop.IsWindowVisible());
    ASSERT_TRUE(nested.ran);
    EXPECT_TRUE(nested.gameSurvived) << "deleted while its command was still being handled";
    EXPECT_TRUE(test::PumpUntil([&] { return !::IsWindow(hwnd); }));
}

TEST_F(HandOffTest, WithoutAGameWindowTheLoginWindowsStay) {
    // A resource module without the game window's template.
    HMODULE broken = ::LoadLibraryExW(L"broken_backdrop.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(broken, nullptr);
    HINSTANCE previous = AfxGetResourceHandle();
    AfxSetResourceHandle(broken);
    EnterGame(L"http://127.0.0.1:8350/vornak/play?server=1&client=1");
    AfxSetResourceHandle(previous);
    ::FreeLibrary(broken);

    EXPECT_EQ(theApp.m_pGameDialog, nullptr);
    EXPECT_TRUE(backdrop.IsWindowVisible());
    EXPECT_TRUE(backdrop.m_pLoginPanel->IsWindowVisible());
}
