#include "login/handoff.h"

#include <shellapi.h>

#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "app/login_app.h"
#include "browser/variant_string.h"
#include "game/confirm_dlg.h"
#include "game/game_dialog.h"
#include "game/single_modal.h"
#include "login/login_dlg.h"
#include "login/login_panel.h"
#include "res/resource.h"

namespace {

constexpr int kQuitExitCode = 16;
constexpr std::wstring_view kGameMarker = L"client=1";

bool IsWebAddress(const std::wstring& address) {
    const auto startsWith = [&](std::wstring_view scheme) {
        const int length = static_cast<int>(scheme.size());
        return address.size() >= scheme.size() &&
               ::CompareStringOrdinal(address.data(), length, scheme.data(), length, TRUE) == CSTR_EQUAL;
    };
    return startsWith(L"http:") || startsWith(L"https:");
}

CLoginDlg* Backdrop() { return static_cast<CLoginDlg*>(AfxGetMainWnd()); }

// A game window given up inside its own command handling waits here until no
// handling of any window is left on the stack: a nested loop (a prompt of the
// browser while the login page reloads, say) may run while that command still is.
std::vector<std::unique_ptr<CGameDialog>>& ReleasedGames() {
    static std::vector<std::unique_ptr<CGameDialog>> released;
    return released;
}

UINT_PTR g_releaseTimer = 0;

void DeleteReleasedGames() {
    if (g_releaseTimer) ::KillTimer(nullptr, std::exchange(g_releaseTimer, 0));
    ReleasedGames().clear();
}

void CALLBACK DeleteReleasedGamesWhenIdle(HWND, UINT, UINT_PTR, DWORD) {
    // Timers fire in nested loops too; only the outermost one runs no handler.
    if (!AfxGetCurrentMessage()) DeleteReleasedGames();
}

int ConfirmMode(int mode) {
    CConfirmDlg dlg;
    dlg.m_nMode = mode;
    return static_cast<int>(DoModalAlone(dlg, ModalKind::Confirmation));
}

}  // namespace

void ReleaseGameDialog() {
    DeleteReleasedGames();
    if (CGameDialog* game = std::exchange(theApp.m_pGameDialog, nullptr)) {
        game->OnClose();
        delete game;
    }
}

CGameDialog* GetGameDialog() {
    if (theApp.m_pGameDialog) return theApp.m_pGameDialog;
    auto game = std::make_unique<CGameDialog>();
    theApp.m_pGameDialog = game.get();
    if (!game->Create(IDD_GAME, nullptr)) {
        theApp.m_pGameDialog = nullptr;
        return nullptr;
    }
    game->ShowWindow(SW_HIDE);
    return game.release();
}

void EnterGame(const wchar_t* address) {
    CGameDialog* game = GetGameDialog();
    // Without a game window the player stays on the login page.
    if (!game) return;
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
        ReleasedGames().emplace_back(game);
        theApp.m_pGameDialog = nullptr;
        if (!g_releaseTimer) g_releaseTimer = ::SetTimer(nullptr, 0, 0, &DeleteReleasedGamesWhenIdle);
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

bool CarriesGameMarker(const std::wstring& address) { return address.find(kGameMarker) != std::wstring::npos; }

bool IsGameAddress(const std::wstring& address) { return IsWebAddress(address) && CarriesGameMarker(address); }

bool DivertGameAddress(const std::wstring& address) {
    if (!CarriesGameMarker(address)) return false;
    // Only web addresses reach the game window: a frame the platform does not
    // control could hand it a file:, javascript: or res: address with the marker.
    if (IsWebAddress(address)) EnterGame(address.c_str());
    return true;
}

void RefuseNewWindow(VARIANT*, BOOL* Cancel) {
    // The address, if the window is asked for with one, comes with NewWindow3.
    if (Cancel) *Cancel = TRUE;
}

void RedirectNewWindow(VARIANT*, BOOL* Cancel, VARIANT*, VARIANT*, VARIANT* bstrUrl) {
    if (Cancel) *Cancel = TRUE;
    const std::wstring address = VariantString(bstrUrl);
    if (DivertGameAddress(address) || !IsWebAddress(address)) return;
    ::ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
