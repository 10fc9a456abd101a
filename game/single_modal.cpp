#include "game/single_modal.h"

#include "framework/dialog.h"

namespace {

struct OpenModal {
    CDialog* dialog;
    ModalKind kind;
};
std::vector<OpenModal> g_open;

void BringForward(HWND modal) {
    // Hidden by the boss key together with its owner: both come back.
    if (!::IsWindowVisible(modal)) {
        if (HWND owner = ::GetWindow(modal, GW_OWNER)) ::ShowWindow(owner, SW_SHOW);
        ::ShowWindow(modal, SW_SHOW);
    }
    ::SetForegroundWindow(modal);
}

bool MayOpen(ModalKind kind) {
    if (g_open.empty()) return true;
    return kind == ModalKind::Confirmation && g_open.size() == 1 &&
           g_open.front().kind == ModalKind::Cleaning;
}

}  // namespace

INT_PTR DoModalAlone(CDialog& dialog, ModalKind kind) {
    if (!MayOpen(kind)) {
        BringForward(g_open.back().dialog->m_hWnd);
        return IDCANCEL;
    }
    struct OpenScope {
        OpenScope(CDialog& open, ModalKind kind) { g_open.push_back({&open, kind}); }
        OpenScope(const OpenScope&) = delete;
        OpenScope& operator=(const OpenScope&) = delete;
        ~OpenScope() { g_open.pop_back(); }
    } scope(dialog, kind);
    return dialog.DoModal();
}

std::vector<HWND> OpenModalWindows() {
    std::vector<HWND> windows;
    for (const OpenModal& open : g_open)
        if (open.dialog->m_hWnd) windows.push_back(open.dialog->m_hWnd);
    return windows;
}
