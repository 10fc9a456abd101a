#include "game/single_modal.h"

#include "framework/dialog.h"

namespace {

CDialog* g_openModal = nullptr;

void BringForward(HWND modal) {
    if (!modal) return;
    // Hidden by the boss key together with its owner: both come back.
    if (!::IsWindowVisible(modal)) {
        if (HWND owner = ::GetWindow(modal, GW_OWNER)) ::ShowWindow(owner, SW_SHOW);
        ::ShowWindow(modal, SW_SHOW);
    }
    ::SetForegroundWindow(modal);
}

}  // namespace

INT_PTR DoModalAlone(CDialog& dialog) {
    if (g_openModal) {
        BringForward(g_openModal->m_hWnd);
        return IDCANCEL;
    }
    struct OpenScope {
        explicit OpenScope(CDialog& open) { g_openModal = &open; }
        OpenScope(const OpenScope&) = delete;
        OpenScope& operator=(const OpenScope&) = delete;
        ~OpenScope() { g_openModal = nullptr; }
    } scope(dialog);
    return dialog.DoModal();
}

HWND OpenModalWindow() { return g_openModal ? g_openModal->m_hWnd : nullptr; }
