#include "tools/standin-browser/event_connection_point.h"

#include <exdisp.h>
#include <olectl.h>

#include "tools/standin-browser/guarded.h"

namespace standin {

STDMETHODIMP EventConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IConnectionPoint) return E_NOINTERFACE;
    *ppv = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP EventConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = DIID_DWebBrowserEvents2;
    return S_OK;
}

STDMETHODIMP EventConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) return E_POINTER;
    container_.AddRef();
    *container = &container_;
    return S_OK;
}

STDMETHODIMP EventConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    return Guarded([&] {
        if (!cookie) return E_POINTER;
        *cookie = 0;
        if (!sink) return E_POINTER;
        // Sinks usually answer the event interface itself; plain IDispatch is accepted too.
        fw::ComPtr<IDispatch> dispatch;
        if (FAILED(sink->QueryInterface(DIID_DWebBrowserEvents2, dispatch.put_void())) &&
            FAILED(sink->QueryInterface(IID_IDispatch, dispatch.put_void()))) {
            return CONNECT_E_CANNOTCONNECT;
        }
        *cookie = nextCookie_++;
        connections_.push_back(Connection{*cookie, std::move(dispatch)});
        return S_OK;
    });
}

STDMETHODIMP EventConnectionPoint::Unadvise(DWORD cookie) {
    for (auto it = connections_.begin(); it != connections_.end(); ++it) {
        if (it->cookie == cookie) {
            connections_.erase(it);
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP EventConnectionPoint::EnumConnections(IEnumConnections** connections) {
    if (connections) *connections = nullptr;
    return E_NOTIMPL;
}

void EventConnectionPoint::Fire(DISPID event, DISPPARAMS& params) {
    std::vector<Connection> current;
    current.reserve(connections_.size());
    for (const auto& c : connections_) current.push_back(Connection{c.cookie, fw::ComPtr<IDispatch>::Retain(c.sink.get())});
    for (const auto& c : current) {
        const bool stillAdvised = [&] {
            for (const auto& live : connections_) {
                if (live.cookie == c.cookie) return true;
            }
            return false;
        }();
        if (stillAdvised) {
            c.sink->Invoke(event, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                           nullptr, nullptr);
        }
    }
}

}  // namespace standin
