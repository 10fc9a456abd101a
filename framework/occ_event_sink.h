#pragma once
// The IDispatch a hosted control fires its events into: it serves the
// control's source dispinterface and passes each event to its site.

#include <windows.h>
#include <oaidl.h>

#include "framework/com.h"

class COleControlSite;

class COleControlEventSink : public fw::ComObject<COleControlEventSink, IDispatch> {
public:
    COleControlEventSink(COleControlSite* site, const IID& events);

    // After this, events go nowhere (the control may hold the sink a little longer).
    void Disconnect() { m_pSite = nullptr; }

    // The source dispinterface is answered as IDispatch.
    bool QueryInterfaceExtra(REFIID riid, void** ppv);

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID dispid, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override;

private:
    COleControlSite* m_pSite;
    IID m_events;
};
