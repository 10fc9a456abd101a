#pragma once
// CImpIDispatch: the object pages reach as window.external. One property,
// matched on the first three characters of "xxyyzz", reads "Wibble".
//
// The one instance lives as long as the process: the reference count is kept
// and reported, but never frees it.

#include <windows.h>
#include <oaidl.h>
#include <type_traits>

class CImpIDispatch final : public IDispatch {
public:
    static constexpr DISPID kDispidValue = 12345;

    CImpIDispatch() = default;
    CImpIDispatch(const CImpIDispatch&) = delete;
    CImpIDispatch& operator=(const CImpIDispatch&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID dispid, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override;

    LONG m_cRef = 0;
};

// Nothing runs at static destruction: a reference released then still finds it.
static_assert(std::is_trivially_destructible_v<CImpIDispatch>);
