#pragma once
// Typed entries for message tables. Included by wnd.h once CWnd and CDC exist.

#include <type_traits>

#include "framework/message_map.h"

namespace fw {

namespace detail {

template <class F> struct ClassOf;
template <class C, class R, class... A> struct ClassOf<R (C::*)(A...)> { using type = C; };

template <class R>
LRESULT ToResult(R value) { return (LRESULT)(value); }

// Calls handler h on object c with the arguments cracked from one message kind.
template <UINT Msg> struct Cracker;

#define FW_CRACKER(msg, ...)                                                     \
    template <> struct Cracker<msg> {                                            \
        template <class C, class F>                                              \
        static LRESULT Call(C* c, F h, [[maybe_unused]] WPARAM wParam,           \
                            [[maybe_unused]] LPARAM lParam) {                    \
            __VA_ARGS__                                                          \
        }                                                                        \
    };

FW_CRACKER(WM_PAINT, (c->*h)(); return 0;)
FW_CRACKER(WM_CLOSE, (c->*h)(); return 0;)
FW_CRACKER(WM_DESTROY, (c->*h)(); return 0;)
FW_CRACKER(WM_MOUSELEAVE, (c->*h)(); return 0;)
FW_CRACKER(WM_QUERYDRAGICON, return ToResult((c->*h)());)
FW_CRACKER(WM_SIZE, (c->*h)(static_cast<UINT>(wParam), static_cast<short>(LOWORD(lParam)),
                             static_cast<short>(HIWORD(lParam))); return 0;)
FW_CRACKER(WM_MOVE, (c->*h)(static_cast<short>(LOWORD(lParam)),
                             static_cast<short>(HIWORD(lParam))); return 0;)
FW_CRACKER(WM_WINDOWPOSCHANGED, (c->*h)(reinterpret_cast<WINDOWPOS*>(lParam)); return 0;)
FW_CRACKER(WM_SHOWWINDOW, (c->*h)(static_cast<BOOL>(wParam), static_cast<UINT>(lParam)); return 0;)
FW_CRACKER(WM_NCHITTEST, return (c->*h)(CPoint(lParam));)
FW_CRACKER(WM_MOUSEMOVE, (c->*h)(static_cast<UINT>(wParam), CPoint(lParam)); return 0;)
FW_CRACKER(WM_MOUSEHOVER, (c->*h)(static_cast<UINT>(wParam), CPoint(lParam)); return 0;)
FW_CRACKER(WM_LBUTTONDOWN, (c->*h)(static_cast<UINT>(wParam), CPoint(lParam)); return 0;)
FW_CRACKER(WM_LBUTTONUP, (c->*h)(static_cast<UINT>(wParam), CPoint(lParam)); return 0;)
FW_CRACKER(WM_LBUTTONDBLCLK, (c->*h)(static_cast<UINT>(wParam), CPoint(lParam)); return 0;)
FW_CRACKER(WM_HOTKEY, (c->*h)(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)); return 0;)
FW_CRACKER(WM_TIMER, (c->*h)(static_cast<UINT_PTR>(wParam)); return 0;)
FW_CRACKER(WM_SETCURSOR, return (c->*h)(CWnd::FromHandle(reinterpret_cast<HWND>(wParam)),
                                        LOWORD(lParam), HIWORD(lParam));)
FW_CRACKER(WM_SETFOCUS, (c->*h)(CWnd::FromHandle(reinterpret_cast<HWND>(wParam))); return 0;)
FW_CRACKER(WM_ERASEBKGND, CDC dc(reinterpret_cast<HDC>(wParam)); return (c->*h)(&dc);)
FW_CRACKER(WM_CTLCOLOR, return CWnd::CrackCtlColor(c, h, wParam, lParam);)

#undef FW_CRACKER

template <UINT Msg, auto Handler>
LRESULT CallMessage(CWnd* self, WPARAM wParam, LPARAM lParam) {
    using C = typename ClassOf<decltype(Handler)>::type;
    return Cracker<Msg>::Call(static_cast<C*>(self), Handler, wParam, lParam);
}

// A command handler is a member of the window, or a free function that uses
// nothing of the window that received the command.
template <auto Handler>
LRESULT CallCommand([[maybe_unused]] CWnd* self, WPARAM, LPARAM) {
    if constexpr (std::is_member_function_pointer_v<decltype(Handler)>) {
        using C = typename ClassOf<decltype(Handler)>::type;
        (static_cast<C*>(self)->*Handler)();
    } else {
        Handler();
    }
    return 0;
}

template <auto Handler>
LRESULT CallRaw(CWnd* self, WPARAM wParam, LPARAM lParam) {
    using C = typename ClassOf<decltype(Handler)>::type;
    return (static_cast<C*>(self)->*Handler)(wParam, lParam);
}

}  // namespace detail

// A message with a typed handler, e.g. OnMessage<WM_SIZE, &C::OnSize>().
template <UINT Msg, auto Handler>
constexpr MessageEntry OnMessage() {
    return {Msg, 0, 0, &detail::CallMessage<Msg, Handler>};
}

// WM_COMMAND from control or menu item `id` with notification `code`
// (BN_CLICKED, which is also what a menu choice carries, by default).
template <auto Handler>
constexpr MessageEntry OnCommand(UINT id, UINT code = BN_CLICKED) {
    return {WM_COMMAND, id, code, &detail::CallCommand<Handler>};
}

// A message handled as LRESULT handler(WPARAM, LPARAM), for user-defined messages.
template <auto Handler>
constexpr MessageEntry OnRawMessage(UINT message) {
    return {message, 0, 0, &detail::CallRaw<Handler>};
}

// A message registered by name (RegisterWindowMessageW), such as the shell's
// "TaskbarCreated"; its number is known once the table is first built.
template <auto Handler>
MessageEntry OnRegisteredMessage(const wchar_t* name) {
    // A failed registration gives 0: the entry must not catch WM_NULL then, so
    // it takes a number past the registered range that no message carries.
    const UINT message = ::RegisterWindowMessageW(name);
    return {message ? message : 0x10000u, 0, 0, &detail::CallRaw<Handler>};
}

}  // namespace fw
