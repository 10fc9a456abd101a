#include "framework/occ_event_sink.h"

#include "framework/occ_site.h"

COleControlEventSink::COleControlEventSink(COleControlSite* site, const IID& events)
    : m_pSite(site), m_events(events) {}

bool COleControlEventSink::QueryInterfaceExtra(REFIID riid, void** ppv) {
    if (riid != m_events) return false;
    *ppv = static_cast<IDispatch*>(this);
    return true;
}

STDMETHODIMP COleControlEventSink::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP COleControlEventSink::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

STDMETHODIMP COleControlEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

STDMETHODIMP COleControlEventSink::Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params,
                                          VARIANT*, EXCEPINFO*, UINT*) {
    if (!m_pSite) return S_OK;
    // A handler may close the window, and with it the site, while it runs.
    auto site = fw::ComPtr<COleControlSite>::Retain(m_pSite);
    try {
        site->FireEvent(dispid, params);
    } catch (...) {
        return DISP_E_EXCEPTION;
    }
    return S_OK;
}
