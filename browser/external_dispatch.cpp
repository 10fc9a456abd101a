#include "browser/external_dispatch.h"

#include <oleauto.h>
#include <cwchar>

namespace {
// Only this many characters of a name are compared.
constexpr int kMatchedLength = 3;
}  // namespace

STDMETHODIMP CImpIDispatch::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch) return E_NOINTERFACE;
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CImpIDispatch::AddRef() { return static_cast<ULONG>(++m_cRef); }

STDMETHODIMP_(ULONG) CImpIDispatch::Release() { return static_cast<ULONG>(--m_cRef); }

STDMETHODIMP CImpIDispatch::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }

STDMETHODIMP CImpIDispatch::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

STDMETHODIMP CImpIDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
    HRESULT result = S_OK;
    for (UINT i = 0; i < count; ++i) {
        const wchar_t* name = names[i];
        // A shorter name never matches, and is not read past its end.
        const bool match = name && ::wcsnlen(name, kMatchedLength) == kMatchedLength &&
                           ::CompareStringW(lcid, NORM_IGNOREWIDTH, name, kMatchedLength, L"xxyyzz",
                                            kMatchedLength) == CSTR_EQUAL;
        if (match) {
            ids[i] = kDispidValue;
        } else {
            ids[i] = DISPID_UNKNOWN;
            result = DISP_E_UNKNOWNNAME;
        }
    }
    return result;
}

STDMETHODIMP CImpIDispatch::Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                                   EXCEPINFO*, UINT*) {
    if (dispid == kDispidValue && (flags & DISPATCH_PROPERTYGET) && result) {
        BSTR value = ::SysAllocString(L"Wibble");
        // The caller's variant is taken as empty, not cleared.
        ::VariantInit(result);
        result->vt = VT_BSTR;
        result->bstrVal = value;
    }
    return S_OK;
}
