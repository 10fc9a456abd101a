#include "game/single_modal.h"

#include <algorithm>

#include "framework/dialog.h"

namespace {

struct OpenModal {
    CDialog* dialog;
    ModalKind kind;
};
std::vector<OpenModal> g_open;

bool IsOpen(HWND window) {
    return std::any_of(g_open.begin(), g_open.end(),
                       [window](const OpenModal& open) { return open.dialog->m_hWnd == window; });
}

void BringForward(HWND modal) {
    // Hidden by the boss key together with the windows that own it: the whole
    // chain comes back, outermost first, up to the window that owns the
    // outermost of ours (the game window), so that none is left active unseen.
    std::vector<HWND> chain;
    for (HWND window = modal; window; window = ::GetWindow(window, GW_OWNER)) {
        chain.push_back(window);
        if (!IsOpen(window)) break;
    }
    for (auto window = chain.rbegin(); window != chain.rend(); ++window)
        if (!::IsWindowVisible(*window)) ::ShowWindow(*window, SW_SHOW);
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
