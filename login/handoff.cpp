#include "login/handoff.h"

#include <memory>

#include "app/login_app.h"
#include "game/confirm_dlg.h"
#include "game/game_dialog.h"
#include "login/login_dlg.h"
#include "login/login_panel.h"
#include "res/resource.h"

namespace {

constexpr int kQuitExitCode = 16;

CLoginDlg* Backdrop() { return static_cast<CLoginDlg*>(AfxGetMainWnd()); }

// A game window given up inside its own command handling waits here until that
// handling has returned to the message loop.
std::unique_ptr<CGameDialog>& ReleasedGame() {
    static std::unique_ptr<CGameDialog> released;
    return released;
}

void CALLBACK DeleteReleasedGame(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    ReleasedGame().reset();
}

int ConfirmMode(int mode) {
    CConfirmDlg dlg;
    dlg.m_nMode = mode;
    return static_cast<int>(dlg.DoModal());
}

}  // namespace

void DeleteReleasedGameDialog() { ReleasedGame().reset(); }

CGameDialog* GetGameDialog() {
    if (theApp.m_pGameDialog) return theApp.m_pGameDialog;
    theApp.m_pGameDialog = new CGameDialog();
    theApp.m_pGameDialog->Create(IDD_GAME, nullptr);
    theApp.m_pGameDialog->ShowWindow(SW_HIDE);
    return theApp.m_pGameDialog;
}

void EnterGame(const wchar_t* address) {
    CGameDialog* game = GetGameDialog();
    VARIANT empty;
    ::VariantInit(&empty);
    game->m_browser.Navigate(address, &empty, &empty, &empty, &empty);
    game->ShowWindow(SW_SHOWNORMAL);
    game->SetActiveWindow();
    Backdrop()->ShowWindow(SW_HIDE);
}

void ReturnToServerList() {
    if (CGameDialog* game = theApp.m_pGameDialog) {
        game->OnClose();
        // The window goes from the screen now; the object only once the command
        // that led here has returned, since its handling is still on the stack.
        game->ShowWindow(SW_HIDE);
        ReleasedGame().reset(game);
        theApp.m_pGameDialog = nullptr;
        ::SetTimer(nullptr, 0, 0, &DeleteReleasedGame);
    }
    CLoginDlg* backdrop = Backdrop();
    backdrop->ShowWindow(SW_SHOWNORMAL);
    backdrop->SetActiveWindow();
    if (backdrop->m_pLoginPanel) backdrop->m_pLoginPanel->m_browser.Refresh();
}

void ConfirmQuit() {
    if (ConfirmMode(CONFIRM_CLOSE_GAME) == IDOK) ::PostQuitMessage(kQuitExitCode);
}

void ConfirmServerList() {
    if (ConfirmMode(CONFIRM_CHANGE_SERVER) == IDOK) ReturnToServerList();
}
