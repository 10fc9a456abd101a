// The control's windows: the in-place view that draws the page and takes the
// mouse, and the message-only window that receives fetch results and timers.

#include <algorithm>

#include "tools/standin-browser/browser_control.h"
#include "tools/standin-browser/event_log.h"
#include "tools/standin-browser/guarded.h"
#include "tools/standin-browser/module.h"
#include "tools/standin-browser/url.h"

namespace standin {

namespace {

constexpr wchar_t kViewClass[] = L"StandInBrowserView";
constexpr wchar_t kNotifyClass[] = L"StandInBrowserNotify";
constexpr wchar_t kOwnWindowClass[] = L"StandInBrowserWindow";
constexpr int kLineStep = 20;

// Mouse positions are signed 16-bit values (negative on multi-monitor desktops).
POINT PointFrom(LPARAM lParam) {
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

class PaintScope {
public:
    explicit PaintScope(HWND hwnd) : hwnd_(hwnd), dc_(::BeginPaint(hwnd, &ps_)) {}
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { ::EndPaint(hwnd_, &ps_); }
    HDC dc() const { return dc_; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// The object a window belongs to; set from the creation parameter.
BrowserControl* Owner(HWND hwnd, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return reinterpret_cast<BrowserControl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

}  // namespace

void BrowserControl::RegisterWindowClasses() {
    WNDCLASSEXW view{};
    view.cbSize = sizeof view;
    view.lpfnWndProc = ViewProc;
    view.hInstance = ModuleInstance();
    view.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    view.lpszClassName = kViewClass;
    ::RegisterClassExW(&view);

    WNDCLASSEXW notify{};
    notify.cbSize = sizeof notify;
    notify.lpfnWndProc = NotifyProc;
    notify.hInstance = ModuleInstance();
    notify.lpszClassName = kNotifyClass;
    ::RegisterClassExW(&notify);

    WNDCLASSEXW own{};
    own.cbSize = sizeof own;
    own.lpfnWndProc = OwnWindowProc;
    own.hInstance = ModuleInstance();
    own.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    own.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    own.lpszClassName = kOwnWindowClass;
    ::RegisterClassExW(&own);
}

void BrowserControl::UnregisterWindowClasses() {
    ::UnregisterClassW(kViewClass, ModuleInstance());
    ::UnregisterClassW(kNotifyClass, ModuleInstance());
    ::UnregisterClassW(kOwnWindowClass, ModuleInstance());
}

void BrowserControl::CreateNotifyWindow() {
    RegisterWindowClasses();  // fails harmlessly once the classes exist
    // cppcheck-suppress ignoredReturnValue ; the window procedure keeps the handle in notify_
    ::CreateWindowExW(0, kNotifyClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ModuleInstance(), this);
}

// A plain overlapped window with the view filling it. It holds a reference to
// the control, dropped when the window goes.
void BrowserControl::OpenInOwnWindow(const std::wstring& url) {
    const HWND frame = ::CreateWindowExW(0, kOwnWindowClass, url.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                         CW_USEDEFAULT, 640, 480, nullptr, nullptr, ModuleInstance(), nullptr);
    if (!frame) return;
    ownWindow_.reset(frame);
    AddRef();
    ::SetWindowLongPtrW(frame, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    RECT client;
    ::GetClientRect(frame, &client);
    if (!CreateView(frame, client)) {
        ownWindow_.reset();
        return;
    }
    ::ShowWindow(frame, SW_SHOWNORMAL);
    StartNavigation(Request{url, std::nullopt, L""}, kTopLevel);
}

LRESULT CALLBACK BrowserControl::OwnWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<BrowserControl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && message == WM_SIZE && self->view_) {
        ::MoveWindow(self->view_.get(), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
    } else if (self && message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        if (self->ownWindow_.get() == hwnd) static_cast<void>(self->ownWindow_.release());
        self->Release();
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

bool BrowserControl::CreateView(HWND parent, const RECT& position) {
    fonts_ = std::make_unique<PageFonts>();
    const DWORD style =
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | (Scrollable() ? WS_VSCROLL : 0);
    // WS_EX_CLIENTEDGE is the 2-pixel sunken border a page gets unless the host opts out.
    const DWORD exStyle = (hostFlags_ & DOCHOSTUIFLAG_NO3DBORDER) ? 0 : WS_EX_CLIENTEDGE;
    const HWND hwnd = ::CreateWindowExW(exStyle, kViewClass, L"", style, position.left, position.top,
                                        position.right - position.left, position.bottom - position.top,
                                        parent, nullptr, ModuleInstance(), this);
    if (!hwnd) {
        fonts_.reset();
        return false;
    }
    Relayout();
    LogWindowState(hwnd, (::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0);
    return true;
}

LRESULT CALLBACK BrowserControl::NotifyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    BrowserControl* self = Owner(hwnd, message, lParam);
    if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_NCCREATE:
        self->notify_.reset(hwnd);
        break;
    case WM_NCDESTROY:
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        if (self->notify_.get() == hwnd) self->notify_.release();
        break;
    case kFetchDoneMessage:
        Guarded([&] {
            self->OnFetchDone(wParam);
            return S_OK;
        });
        return 0;
    case WM_TIMER:
        if (wParam != kMetaRefreshTimer) break;
        Guarded([&] {
            self->OnMetaRefreshTimer();
            return S_OK;
        });
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK BrowserControl::ViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    BrowserControl* self = Owner(hwnd, message, lParam);
    if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCCREATE) self->view_.reset(hwnd);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        if (self->view_.get() == hwnd) self->view_.release();
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    LRESULT result = 0;
    if (FAILED(Guarded([&] {
            result = self->OnViewMessage(hwnd, message, wParam, lParam);
            return S_OK;
        }))) {
        result = ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return result;
}

LRESULT BrowserControl::OnViewMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT covers every pixel
    case WM_SIZE:
        Relayout();
        return 0;
    case WM_WINDOWPOSCHANGED:
        LogWindowState(hwnd, (::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0);
        break;  // default processing sends WM_SIZE and WM_MOVE
    case WM_SHOWWINDOW:
        LogWindowState(hwnd, wParam != FALSE);
        break;
    case WM_VSCROLL:
        OnScroll(LOWORD(wParam));
        return 0;
    case WM_MOUSEWHEEL:
        ScrollTo(scrollY_ - GET_WHEEL_DELTA_WPARAM(wParam) * 3 * kLineStep / WHEEL_DELTA);
        return 0;
    case WM_LBUTTONDOWN:
        OnMouseDown(PointFrom(lParam));
        return 0;
    case WM_GETDLGCODE:
        // Tab and Enter stay the dialog's unless TranslateAccelerator took them.
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_CHAR:
        OnChar(static_cast<wchar_t>(wParam));
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        OnFocusChange(message == WM_SETFOCUS);
        return 0;
    case WM_LBUTTONUP:
        OnClick(PointFrom(lParam), (wParam & MK_SHIFT) != 0);
        return 0;
    case WM_CONTEXTMENU: {
        POINT screen = PointFrom(lParam);
        if (lParam == -1) {  // from the keyboard: the menu opens at the view's corner
            screen = POINT{0, 0};
            ::ClientToScreen(hwnd, &screen);
        }
        OnContextMenu(screen);
        return 0;
    }
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

void BrowserControl::Relayout() {
    if (!view_ || !fonts_) return;
    RECT client;
    ::GetClientRect(view_.get(), &client);
    std::vector<const Page*> framePages;
    for (const auto& slot : frames_) framePages.push_back(slot.page ? &*slot.page : nullptr);
    {
        const fw::WindowDC dc = fw::WindowDC::Client(view_.get());
        layout_ = LayOutPage(dc.get(), *fonts_, page_, framePages, client.right);
    }
    if (Scrollable()) {
        scrollY_ = std::clamp(scrollY_, 0, std::max<int>(0, layout_.height - client.bottom));
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        // Kept visible and disabled for short pages, as a page's scroll bar is.
        info.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
        info.nMax = std::max(layout_.height - 1, 0);
        info.nPage = static_cast<UINT>(std::max<LONG>(client.bottom, 0));
        info.nPos = scrollY_;
        ::SetScrollInfo(view_.get(), SB_VERT, &info, TRUE);
    } else {
        scrollY_ = 0;
    }
    LogElements();
    ::InvalidateRect(view_.get(), nullptr, FALSE);
}

void BrowserControl::Paint(HWND hwnd) {
    const PaintScope paint(hwnd);
    RECT client;
    ::GetClientRect(hwnd, &client);
    if (client.right <= 0 || client.bottom <= 0) return;
    FocusState focus;
    focus.caret = hasFocus_;
    if (const LayoutItem* item = FocusedItem()) focus.item = static_cast<int>(item - layout_.items.data());
    // Drawn off screen first so that scrolling and reloading do not flicker.
    const fw::Bitmap bitmap(::CreateCompatibleBitmap(paint.dc(), client.right, client.bottom));
    fw::MemoryDC memory(paint.dc());
    if (!bitmap || !memory) {
        PaintLayout(paint.dc(), layout_, page_.background, client, scrollY_, focus);
        return;
    }
    memory.SelectBitmap(bitmap.get());
    PaintLayout(memory.get(), layout_, page_.background, client, scrollY_, focus);
    ::BitBlt(paint.dc(), 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
    if (paintedSerial_ != documentSerial_) LogLine(instance_, "painted").Str("url", url_).Write();
    paintedSerial_ = documentSerial_;
}

void BrowserControl::ScrollTo(int y) {
    if (!Scrollable() || !view_) return;
    RECT client;
    ::GetClientRect(view_.get(), &client);
    y = std::clamp(y, 0, std::max<int>(0, layout_.height - client.bottom));
    if (y == scrollY_) return;
    scrollY_ = y;
    ::SetScrollPos(view_.get(), SB_VERT, y, TRUE);
    ::InvalidateRect(view_.get(), nullptr, FALSE);
}

void BrowserControl::OnScroll(WORD request) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    ::GetScrollInfo(view_.get(), SB_VERT, &info);
    const int page = static_cast<int>(info.nPage);
    switch (request) {
    case SB_LINEUP: ScrollTo(scrollY_ - kLineStep); break;
    case SB_LINEDOWN: ScrollTo(scrollY_ + kLineStep); break;
    case SB_PAGEUP: ScrollTo(scrollY_ - page); break;
    case SB_PAGEDOWN: ScrollTo(scrollY_ + page); break;
    case SB_TOP: ScrollTo(0); break;
    case SB_BOTTOM: ScrollTo(layout_.height); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: ScrollTo(info.nTrackPos); break;
    }
}

// A click UI-activates the control, as the real one does, and focuses what it hits.
void BrowserControl::OnMouseDown(POINT client) {
    const auto keepAlive = fw::ComPtr<IUnknown>::Retain(GetUnknown());
    if (!uiActive_) ActivateInPlace(true);
    if (!view_) return;
    ::SetFocus(view_.get());
    const POINT content{client.x, client.y + scrollY_};
    const int hit = ItemAt(layout_, content);
    const auto items = FocusableItems();
    const auto found = std::find(items.begin(), items.end(), static_cast<size_t>(hit));
    if (found == items.end()) {
        SetFocusOrdinal(-1);
        return;
    }
    SetFocusOrdinal(static_cast<int>(found - items.begin()));
    if (FormField* field = FocusedField()) {
        const fw::WindowDC dc = fw::WindowDC::Client(view_.get());
        field->caret = field->anchor = FieldOffsetAt(dc.get(), layout_.items[*found], content.x);
        ::InvalidateRect(view_.get(), nullptr, FALSE);
    }
}

void BrowserControl::OnClick(POINT client, bool shift) {
    const int hit = ItemAt(layout_, POINT{client.x, client.y + scrollY_});
    if (hit < 0) return;
    const LayoutItem& item = layout_.items[static_cast<size_t>(hit)];
    if (item.kind == ItemKind::Field) {
        if (item.frame != -1 || item.field >= page_.fields.size()) return;
        const FormField& field = page_.fields[item.field];
        if (field.kind == FieldKind::Submit && field.form != kNoForm) Submit(field.form, &field);
        return;
    }
    FollowLink(item, shift);
}

// The control site hears of every focus change; tabbing in from the host
// lands on the page's first element, or its last for Shift+Tab.
void BrowserControl::OnFocusChange(bool gained) {
    const auto keepAlive = fw::ComPtr<IUnknown>::Retain(GetUnknown());
    hasFocus_ = gained;
    LogLine(instance_, gained ? "focus_in" : "focus_out").Write();
    fw::ComPtr<IOleControlSite> site;
    if (clientSite_ && SUCCEEDED(clientSite_.As(site))) site->OnFocus(gained);
    if (gained && !uiActive_) ActivateInPlace(true);
    if (gained && focus_ < 0 && ::GetKeyState(VK_TAB) < 0) MoveFocus(::GetKeyState(VK_SHIFT) < 0);
    if (view_) ::InvalidateRect(view_.get(), nullptr, FALSE);
}

// Where the page's focusable elements are, in the view's client coordinates,
// whenever that changes: "kind name x y w h" joined by '|'.
void BrowserControl::LogElements() {
    std::wstring elements;
    for (const size_t i : FocusableItems()) {
        const LayoutItem& item = layout_.items[i];
        std::wstring kind = L"link";
        std::wstring name = item.href;
        if (item.kind == ItemKind::Field) {
            const FormField& field = page_.fields[item.field];
            kind = field.kind == FieldKind::Submit ? L"button" : L"field";
            name = field.name;
        }
        if (!elements.empty()) elements += L'|';
        elements += kind;
        for (const std::wstring& part : {name, std::to_wstring(item.rect.left),
                                         std::to_wstring(item.rect.top - scrollY_),
                                         std::to_wstring(item.rect.right - item.rect.left),
                                         std::to_wstring(item.rect.bottom - item.rect.top)}) {
            elements += L' ';
            elements += part;
        }
    }
    if (elements == loggedElements_) return;
    loggedElements_ = elements;
    LogLine(instance_, "elements").Str("url", url_).Str("elements", elements).Write();
}

void BrowserControl::OnContextMenu(POINT screen) {
    const auto keepAlive = fw::ComPtr<IUnknown>::Retain(GetUnknown());
    // Without a handler the control behaves as if the host had declined (S_FALSE).
    HRESULT hr = S_FALSE;
    if (uiHandler_) {
        const auto handler = fw::ComPtr<IDocHostUIHandler>::Retain(uiHandler_.get());
        hr = handler->ShowContextMenu(CONTEXT_MENU_DEFAULT, &screen, nullptr, nullptr);
    }
    LogLine(instance_, "context_menu").Int("hr", static_cast<long>(hr)).Write();
    if (hr == S_OK || !view_) return;

    enum Command { kBack = 1, kRefresh, kViewSource };
    const fw::Menu menu(::CreatePopupMenu());
    if (!menu) return;
    ::AppendMenuW(menu.get(), MF_STRING | MF_GRAYED, kBack, L"Back");
    ::AppendMenuW(menu.get(), MF_STRING, kRefresh, L"Refresh");
    ::AppendMenuW(menu.get(), MF_STRING, kViewSource, L"View source");
    const BOOL command = ::TrackPopupMenuEx(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y,
                                            view_.get(), nullptr);
    if (command == kRefresh) Refresh();
}

void BrowserControl::LogWindowState(HWND hwnd, bool visible) {
    RECT rect;
    ::GetWindowRect(hwnd, &rect);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
    // On the screen only while every window above it is shown too.
    const bool shown = visible && ::IsWindowVisible(::GetParent(hwnd));
    if (loggedWindow_ && ::EqualRect(&loggedWindow_->rect, &rect) && loggedWindow_->visible == visible &&
        loggedWindow_->shown == shown)
        return;
    loggedWindow_ = WindowState{rect, visible, shown};
    LogLine(instance_, "window")
        .Int("x", rect.left)
        .Int("y", rect.top)
        .Int("w", rect.right - rect.left)
        .Int("h", rect.bottom - rect.top)
        .Bool("visible", visible)
        .Bool("shown", shown)
        .Write();
}

}  // namespace standin
