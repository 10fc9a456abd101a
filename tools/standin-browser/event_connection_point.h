#pragma once
// The control's one connection point, for DWebBrowserEvents2. It is part of the
// control object and shares its reference count, like a nested interface.

#include <windows.h>
#include <ocidl.h>
#include <vector>

#include "framework/com.h"

namespace standin {

class EventConnectionPoint final : public IConnectionPoint {
public:
    explicit EventConnectionPoint(IConnectionPointContainer& container) : container_(container) {}
    EventConnectionPoint(const EventConnectionPoint&) = delete;
    EventConnectionPoint& operator=(const EventConnectionPoint&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return container_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return container_.Release(); }

    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

    // Calls every sink advised when the event starts; a sink may unadvise itself
    // or others while it is being called.
    void Fire(DISPID event, DISPPARAMS& params);
    void Clear() { connections_.clear(); }

private:
    struct Connection {
        DWORD cookie;
        fw::ComPtr<IDispatch> sink;
    };

    IConnectionPointContainer& container_;
    std::vector<Connection> connections_;
    DWORD nextCookie_ = 1;
};

}  // namespace standin
