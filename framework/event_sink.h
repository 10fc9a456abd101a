#pragma once
// Per-class event-sink tables: events of a hosted ActiveX control, keyed by the
// control's identifier and the event's dispatch identifier, call typed handlers:
//
//   const fw::EventSinkMap* CGameDialog::GetEventSinkMap() const {
//       static const fw::EventSinkEntry entries[] = {
//           fw::OnEvent<&CGameDialog::OnNavigateComplete2>(IDC_BROWSER, 252),
//       };
//       static const fw::EventSinkMap map(CDialogEx::GetEventSinkMap(), entries);
//       return &map;
//   }
//
// Handler arguments follow the event's declaration order (DISPPARAMS holds them
// reversed). IDispatch* takes a VT_DISPATCH argument; VARIANT* takes the variant a
// VT_BYREF|VT_VARIANT argument points to (or the argument itself); BOOL* takes a
// VT_BYREF|VT_BOOL argument, whose value is written back after the call. An argument
// of another type reaches the handler as null. A handler is a member function of
// the window's class, or a free function that several windows bind alike.

#include <windows.h>
#include <oleauto.h>
#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

class CWnd;

namespace fw {

struct EventSinkEntry {
    UINT controlId;
    DISPID dispid;
    void (*call)(CWnd* self, DISPPARAMS* params);
};

struct EventSinkMap {
    const EventSinkMap* base;
    const EventSinkEntry* entries;
    std::size_t count;

    template <std::size_t N>
    EventSinkMap(const EventSinkMap* baseMap, const EventSinkEntry (&table)[N])
        : base(baseMap), entries(table), count(N) {}
    explicit EventSinkMap(const EventSinkMap* baseMap) : base(baseMap), entries(nullptr), count(0) {}
};

// The entry of `map` (or its bases) for this control and event, or null.
const EventSinkEntry* FindEventSinkEntry(const EventSinkMap* map, UINT controlId, DISPID dispid);

namespace detail {

// One event argument converted for a handler parameter of type T.
template <class T> struct EventArg;

template <> struct EventArg<IDispatch*> {
    explicit EventArg(VARIANT* v) : value(v && v->vt == VT_DISPATCH ? v->pdispVal : nullptr) {}
    IDispatch* get() { return value; }
    IDispatch* value;
};

template <> struct EventArg<VARIANT*> {
    explicit EventArg(VARIANT* v)
        : value(v && v->vt == (VT_BYREF | VT_VARIANT) ? v->pvarVal : v) {}
    VARIANT* get() { return value; }
    VARIANT* value;
};

template <> struct EventArg<BOOL*> {
    explicit EventArg(VARIANT* v) : target(v && v->vt == (VT_BYREF | VT_BOOL) ? v->pboolVal : nullptr) {
        if (target) value = *target != VARIANT_FALSE;
    }
    ~EventArg() {
        if (target) *target = value ? VARIANT_TRUE : VARIANT_FALSE;
    }
    BOOL* get() { return target ? &value : nullptr; }
    VARIANT_BOOL* target;
    BOOL value = FALSE;
};

template <class F> struct EventHandlerTraits;
template <class C, class... A> struct EventHandlerTraits<void (C::*)(A...)> {
    using Class = C;
    using Args = std::tuple<EventArg<A>...>;
};
template <class... A> struct EventHandlerTraits<void (*)(A...)> {
    using Args = std::tuple<EventArg<A>...>;
};

template <auto Handler, std::size_t... I>
void CallEvent([[maybe_unused]] CWnd* self, DISPPARAMS* params, std::index_sequence<I...>) {
    using Traits = EventHandlerTraits<decltype(Handler)>;
    const UINT count = params ? params->cArgs : 0;
    auto arg = [&](std::size_t index) -> VARIANT* {
        return index < count ? &params->rgvarg[count - 1 - index] : nullptr;
    };
    typename Traits::Args args(arg(I)...);
    if constexpr (std::is_member_function_pointer_v<decltype(Handler)>)
        (static_cast<typename Traits::Class*>(self)->*Handler)(std::get<I>(args).get()...);
    else
        Handler(std::get<I>(args).get()...);
}

template <auto Handler>
void DispatchEvent(CWnd* self, DISPPARAMS* params) {
    using Args = typename EventHandlerTraits<decltype(Handler)>::Args;
    CallEvent<Handler>(self, params, std::make_index_sequence<std::tuple_size_v<Args>>{});
}

}  // namespace detail

template <auto Handler>
constexpr EventSinkEntry OnEvent(UINT controlId, DISPID dispid) {
    return {controlId, dispid, &detail::DispatchEvent<Handler>};
}

}  // namespace fw
