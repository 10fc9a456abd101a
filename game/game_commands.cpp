// The game window's commands, its boss and full-screen hotkeys and its
// notification-area icon.

#include "game/game_dialog.h"

#include <utility>
#include <vector>

#include "cache/clean_cache_dlg.h"
#include "framework/app.h"
#include "framework/handles.h"
#include "game/single_modal.h"
#include "res/resource.h"

namespace {

constexpr UINT kTrayIconId = 128;

#ifndef _WIN64
static_assert(sizeof(NOTIFYICONDATAW) == 956, "the icon record carries every field up to hBalloonIcon");
#endif

}  // namespace

CGameDialog::HotKeyHold CGameDialog::HoldHotKey(int id, UINT vk, const wchar_t* failure) {
    if (::RegisterHotKey(m_hWnd, id, 0, vk)) return HotKeyHold::Registered;
    AfxMessageBox(failure);
    return HotKeyHold::Refused;
}

void CGameDialog::RegisterHotKeys() {
    m_bossHotKeyHold = HoldHotKey(m_nBossHotKeyId, VK_F10, L"RegisterHotKey F10 false");
    m_fullScreenHotKeyHold = HoldHotKey(m_nFullScreenHotKeyId, VK_F11, L"RegisterHotKey F11 false");
}

void CGameDialog::ReleaseHotKeys(bool reportRefused) {
    struct Key {
        HotKeyHold& hold;
        int id;
        const wchar_t* failure;
    };
    const Key keys[] = {
        {m_bossHotKeyHold, m_nBossHotKeyId, L"UnregisterHotKey F10 false"},
        {m_fullScreenHotKeyHold, m_nFullScreenHotKeyId, L"UnregisterHotKey F11 false"},
    };
    for (const Key& key : keys) {
        const HotKeyHold hold = std::exchange(key.hold, HotKeyHold::None);
        if (hold == HotKeyHold::None || (hold == HotKeyHold::Refused && !reportRefused)) continue;
        if (!::UnregisterHotKey(m_hWnd, key.id)) AfxMessageBox(key.failure);
    }
}

void CGameDialog::AddTrayIcon() {
    // 956 bytes on the 32-bit target; the 64-bit record is larger, and the shell
    // checks cbSize against the layout of its own word size.
    m_nid.cbSize = sizeof(NOTIFYICONDATAW);
    m_nid.hWnd = m_hWnd;
    m_nid.uID = kTrayIconId;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.uCallbackMessage = WM_TRAYNOTIFY;
    m_nid.hIcon = ::LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDI_APP));
    ::lstrcpyW(m_nid.szTip, L"Duskmere");
    ::Shell_NotifyIconW(NIM_ADD, &m_nid);
    m_bTrayIconAdded = true;
}

void CGameDialog::RemoveTrayIcon() {
    if (!std::exchange(m_bTrayIconAdded, false)) return;
    ::Shell_NotifyIconW(NIM_DELETE, &m_nid);
}

LRESULT CGameDialog::OnTrayNotify(WPARAM wParam, LPARAM lParam) {
    if (wParam != kTrayIconId) return 1;
    if (lParam == WM_LBUTTONDBLCLK) {
        ToggleVisibility();
    } else if (lParam == WM_RBUTTONUP) {
        POINT cursor{};
        ::GetCursorPos(&cursor);
        fw::Menu menu(::CreatePopupMenu());
        ::AppendMenuW(menu.get(), MF_STRING, ID_TRAY_EXIT, L"退出");
        // The menu closes on a click elsewhere only while its owner is the
        // foreground window, and on time only with a message after it.
        const HWND previous = ::GetForegroundWindow();
        ::SetForegroundWindow(m_hWnd);
        // The choice comes back as WM_COMMAND ID_TRAY_EXIT.
        ::TrackPopupMenu(menu.get(), 0, cursor.x, cursor.y, 0, m_hWnd, nullptr);
        PostMessage(WM_NULL);
        // Hidden by the boss key, the window must not stay in front: the next keys
        // would go into the hidden game. The window that had the foreground gets
        // it back; failing that, nothing here keeps the keyboard.
        if (!IsWindowVisible() && ::GetForegroundWindow() == m_hWnd &&
            (!previous || previous == m_hWnd || !::SetForegroundWindow(previous)))
            ::SetFocus(nullptr);
    }
    return 0;
}

LRESULT CGameDialog::OnTaskbarCreated(WPARAM, LPARAM) {
    if (m_bTrayIconAdded) ::Shell_NotifyIconW(NIM_ADD, &m_nid);
    return 0;
}

void CGameDialog::ToggleVisibility() {
    // A modal window of ours that this window owns goes and comes back with it:
    // left behind, it would give the activation to a hidden window when it ends.
    // A confirmation over the cleaning window belongs to it as well.
    std::vector<HWND> modals;
    for (HWND modal : OpenModalWindows()) {
        const HWND owner = ::GetWindow(modal, GW_OWNER);
        if (owner == m_hWnd || (!modals.empty() && owner == modals.back())) modals.push_back(modal);
    }
    if (IsWindowVisible()) {
        for (auto modal = modals.rbegin(); modal != modals.rend(); ++modal) ::ShowWindow(*modal, SW_HIDE);
        ShowWindow(SW_HIDE);
    } else {
        ShowWindow(SW_SHOW);
        for (HWND modal : modals) ::ShowWindow(modal, SW_SHOW);
    }
}

void CGameDialog::OnHotKey(UINT nHotKeyId, UINT, UINT) {
    if (static_cast<int>(nHotKeyId) == m_nBossHotKeyId)
        ToggleVisibility();
    else if (static_cast<int>(nHotKeyId) == m_nFullScreenHotKeyId)
        ToggleFullScreen();
    Default();
}

void CGameDialog::OnBoss() { ToggleVisibility(); }

void CGameDialog::OnMinimize() { ShowWindow(SW_MINIMIZE); }

void CGameDialog::OnCleanCache() {
    CCleanCacheDlg dlg;
    DoModalAlone(dlg, ModalKind::Cleaning);
}

void CGameDialog::OnRefresh() { m_browser.Refresh(); }
