#include "framework/wnd.h"

#include <commctrl.h>
#include <algorithm>
#include <memory>
#include <unordered_map>

#include "framework/app.h"
#include "framework/occ_container.h"
#include "framework/occ_site.h"

namespace {

constexpr UINT_PTR kSubclassId = 1;

// Window objects live on the user-interface thread only.
std::unordered_map<HWND, CWnd*>& PermanentMap() {
    static std::unordered_map<HWND, CWnd*> map;
    return map;
}
std::unordered_map<HWND, std::unique_ptr<CWnd>>& TemporaryMap() {
    static std::unordered_map<HWND, std::unique_ptr<CWnd>> map;
    return map;
}

// Messages being handled, innermost last, so nested sends keep their own.
thread_local const MSG* t_currentMessage = nullptr;

class CurrentMessageScope {
public:
    CurrentMessageScope(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
        : msg_{hwnd, message, wParam, lParam, 0, {}}, previous_(t_currentMessage) {
        t_currentMessage = &msg_;
    }
    ~CurrentMessageScope() { t_currentMessage = previous_; }

private:
    MSG msg_;
    const MSG* previous_;
};

}  // namespace

const MSG* AfxGetCurrentMessage() { return t_currentMessage; }

void AfxPurgeTemporaryWindows() { TemporaryMap().clear(); }

CWnd::CWnd() = default;

CWnd::~CWnd() {
    // Standing for a control: the window belongs to the control and its site.
    if (m_pCtrlSite) DetachControlSite();
    const HWND hwnd = m_hWnd;
    const bool destroy = m_hWnd && m_bSubclassed;
    // The object goes before its window: the window must not call back into it.
    if (destroy) Detach();
    // Hosted controls are let go of while their windows still exist.
    m_pCtrlCont.reset();
    if (destroy) ::DestroyWindow(hwnd);
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
    auto it = PermanentMap().find(hwnd);
    return it == PermanentMap().end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND hwnd) {
    if (!hwnd) return nullptr;
    if (CWnd* permanent = FromHandlePermanent(hwnd)) return permanent;
    auto& temporary = TemporaryMap()[hwnd];
    if (!temporary) {
        temporary = std::make_unique<CWnd>();
        temporary->m_hWnd = hwnd;
    }
    return temporary.get();
}

void CWnd::Attach(HWND hwnd) {
    m_hWnd = hwnd;
    PermanentMap()[hwnd] = this;
    TemporaryMap().erase(hwnd);
}

void CWnd::Detach() {
    if (!m_hWnd) return;
    if (m_bSubclassed) ::RemoveWindowSubclass(m_hWnd, &CWnd::SubclassProc, kSubclassId);
    m_bSubclassed = false;
    PermanentMap().erase(m_hWnd);
    m_hWnd = nullptr;
}

BOOL CWnd::SubclassWindow(HWND hwnd) {
    if (!hwnd || m_hWnd || FromHandlePermanent(hwnd)) return FALSE;
    Attach(hwnd);
    PreSubclassWindow();
    if (!::SetWindowSubclass(hwnd, &CWnd::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        Detach();
        return FALSE;
    }
    m_bSubclassed = true;
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    HWND item = ::GetDlgItem(parent->m_hWnd, static_cast<int>(id));
    return item ? SubclassWindow(item) : FALSE;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR, DWORD_PTR refData) {
    CWnd* self = reinterpret_cast<CWnd*>(refData);
    CurrentMessageScope scope(hwnd, message, wParam, lParam);
    LRESULT result = 0;
    try {
        result = self->WindowProc(message, wParam, lParam);
    } catch (...) {
        // A handler that throws has not handled its message.
        result = ::DefSubclassProc(hwnd, message, wParam, lParam);
    }
    // Children get WM_DESTROY after their parent: hosted controls still have their windows.
    if (message == WM_DESTROY && self->m_hWnd == hwnd) self->m_pCtrlCont.reset();
    if (message == WM_NCDESTROY && self->m_hWnd == hwnd) {
        if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == self) app->m_pMainWnd = nullptr;
        self->Detach();
        self->PostNcDestroy();
    }
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (OnWndMsg(message, wParam, lParam, &result)) return result;
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::Default() {
    const MSG* msg = t_currentMessage;
    return DefWindowProc(msg->message, msg->wParam, msg->lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_bSubclassed) return ::DefSubclassProc(m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

const fw::MessageMap* CWnd::GetMessageMap() const {
    static const fw::MessageMap map(nullptr);
    return &map;
}

BOOL CWnd::ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    HWND child = nullptr;
    switch (message) {
    case WM_DRAWITEM:
        child = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
        break;
    case WM_COMMAND:
        child = reinterpret_cast<HWND>(lParam);
        break;
    default:
        return FALSE;
    }
    CWnd* control = child ? FromHandlePermanent(child) : nullptr;
    return control && control->OnChildNotify(message, wParam, lParam, result);
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return FALSE; }

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (ReflectChildNotify(message, wParam, lParam, result)) return TRUE;

    UINT key = message;
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) key = fw::WM_CTLCOLOR;
    const UINT id = LOWORD(wParam);
    const UINT code = HIWORD(wParam);
    for (const fw::MessageMap* map = GetMessageMap(); map; map = map->base) {
        for (std::size_t i = 0; i < map->count; ++i) {
            const fw::MessageEntry& entry = map->entries[i];
            if (entry.message != key) continue;
            if (key == WM_COMMAND && (entry.id != id || entry.code != code)) continue;
            *result = entry.call(this, wParam, lParam);
            return TRUE;
        }
    }
    return FALSE;
}

BOOL CWnd::ShowWindow(int cmd) {
    return ::ShowWindow(m_hWnd, cmd);
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    if (m_pCtrlSite) {
        m_pCtrlSite->MoveWindow(x, y, width, height);
        return;
    }
    ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

void CWnd::MoveWindow(const RECT& rect, BOOL repaint) {
    MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, repaint);
}

void CWnd::ScreenToClient(RECT* rect) const {
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(rect), 2);
}

namespace {
BOOL ModifyLong(HWND hwnd, int index, DWORD remove, DWORD add, UINT swpFlags) {
    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, index));
    const DWORD changed = (style & ~remove) | add;
    if (changed == style) return FALSE;
    ::SetWindowLongPtrW(hwnd, index, static_cast<LONG_PTR>(changed));
    if (swpFlags)
        ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
    return TRUE;
}
}  // namespace

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags) {
    return ModifyLong(m_hWnd, GWL_STYLE, remove, add, swpFlags);
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags) {
    return ModifyLong(m_hWnd, GWL_EXSTYLE, remove, add, swpFlags);
}

void CWnd::CenterWindow(CWnd* alternateOwner) {
    const LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    const bool child = (style & WS_CHILD) != 0;
    HWND center = alternateOwner ? alternateOwner->m_hWnd
                  : child        ? ::GetParent(m_hWnd)
                                 : ::GetWindow(m_hWnd, GW_OWNER);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(center ? center : m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
    // The primary monitor's as the system settings give it, the same on Windows;
    // Wine's monitor information does not follow a changed work area.
    if (monitor.dwFlags & MONITORINFOF_PRIMARY) ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &monitor.rcWork, 0);
    const RECT work = monitor.rcWork;
    RECT area = work;
    RECT self{};
    ::GetWindowRect(m_hWnd, &self);
    if (child) {
        ::GetClientRect(center, &area);
        ::MapWindowPoints(nullptr, center, reinterpret_cast<POINT*>(&self), 2);
    } else if (center && ::IsWindowVisible(center) && !::IsIconic(center)) {
        ::GetWindowRect(center, &area);
    }
    const int width = self.right - self.left;
    const int height = self.bottom - self.top;
    int x = (area.left + area.right) / 2 - width / 2;
    int y = (area.top + area.bottom) / 2 - height / 2;
    if (!child) {
        // Inside the work area; a window larger than it keeps its top-left
        // corner (title strip, close button) on the screen.
        x = std::max(std::min(x, static_cast<int>(work.right) - width), static_cast<int>(work.left));
        y = std::max(std::min(y, static_cast<int>(work.bottom) - height), static_cast<int>(work.top));
    }
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CWnd::DestroyWindow() {
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}
