#include "browser/custom_control_site.h"

#include "app/login_app.h"
#include "browser/external_dispatch.h"

CCustomControlSite::CCustomControlSite(COleControlContainer* container) : COleControlSite(container) {}

bool CCustomControlSite::QueryInterfaceExtra(REFIID riid, void** ppv) {
    if (riid != IID_IDocHostUIHandler) return COleControlSite::QueryInterfaceExtra(riid, ppv);
    *ppv = &m_xDocHostUIHandler;
    return true;
}

using XDocHostUIHandler = CCustomControlSite::XDocHostUIHandler;

STDMETHODIMP XDocHostUIHandler::QueryInterface(REFIID riid, void** ppv) {
    return m_site.QueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) XDocHostUIHandler::AddRef() { return m_site.AddRef(); }

STDMETHODIMP_(ULONG) XDocHostUIHandler::Release() { return m_site.Release(); }

// The browser takes the menu as shown: there is none.
STDMETHODIMP XDocHostUIHandler::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) { return S_OK; }

STDMETHODIMP XDocHostUIHandler::GetHostInfo(DOCHOSTUIINFO* info) {
    if (info) {
        info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO;
        info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    }
    return S_OK;
}

STDMETHODIMP XDocHostUIHandler::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                       IOleInPlaceUIWindow*) {
    return S_OK;
}

STDMETHODIMP XDocHostUIHandler::HideUI() { return S_OK; }

STDMETHODIMP XDocHostUIHandler::UpdateUI() { return S_OK; }

STDMETHODIMP XDocHostUIHandler::EnableModeless(BOOL) { return E_NOTIMPL; }

STDMETHODIMP XDocHostUIHandler::OnDocWindowActivate(BOOL) { return E_NOTIMPL; }

STDMETHODIMP XDocHostUIHandler::OnFrameWindowActivate(BOOL) { return E_NOTIMPL; }

STDMETHODIMP XDocHostUIHandler::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return E_NOTIMPL; }

// The browser handles its keys itself.
STDMETHODIMP XDocHostUIHandler::TranslateAccelerator(LPMSG, const GUID*, DWORD) { return S_FALSE; }

STDMETHODIMP XDocHostUIHandler::GetOptionKeyPath(LPOLESTR*, DWORD) { return E_NOTIMPL; }

STDMETHODIMP XDocHostUIHandler::GetDropTarget(IDropTarget*, IDropTarget**) { return E_NOTIMPL; }

STDMETHODIMP XDocHostUIHandler::GetExternal(IDispatch** external) {
    if (!external) return E_POINTER;
    CImpIDispatch* object = theApp.m_pExternalDispatch;
    if (object) object->AddRef();
    *external = object;
    return S_OK;
}

STDMETHODIMP XDocHostUIHandler::TranslateUrl(DWORD, LPWSTR, LPWSTR*) { return E_NOTIMPL; }

STDMETHODIMP XDocHostUIHandler::FilterDataObject(IDataObject*, IDataObject**) { return E_NOTIMPL; }
