// The members of CWnd that belong to ActiveX containment.
#include "framework/wnd.h"

#include "framework/occ_container.h"
#include "framework/occ_manager.h"
#include "framework/occ_site.h"

COleControlContainer* CWnd::GetControlContainer() {
    if (!m_pCtrlCont && m_hWnd && AfxGetOccManager()) m_pCtrlCont = std::make_unique<COleControlContainer>(this);
    return m_pCtrlCont.get();
}

BOOL CWnd::CreateControl(REFCLSID clsid, LPCWSTR, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    if (m_hWnd || !parent) return FALSE;
    COleControlContainer* container = parent->GetControlContainer();
    // Made after the template's controls, so it comes last in the tab order.
    COleControlSite* site =
        container ? container->CreateControl(clsid, rect, style, id, nullptr, HWND_BOTTOM) : nullptr;
    if (!site) return FALSE;
    AttachControlSite(site);
    return TRUE;
}

void CWnd::AttachControlSite(COleControlSite* site) {
    // One window object per control: a later binding takes over from an earlier one.
    if (site->m_pWndCtrl) site->m_pWndCtrl->DetachControlSite();
    m_pCtrlSite = site;
    site->m_pWndCtrl = this;
    // Found by FromHandle, but not subclassed: the control's window procedure is its own.
    Attach(site->m_hWnd);
}

void CWnd::DetachControlSite() {
    if (!m_pCtrlSite) return;
    m_pCtrlSite->m_pWndCtrl = nullptr;
    m_pCtrlSite = nullptr;
    Detach();
}

void CWnd::InvokeHelper(DISPID dispid, WORD flags, VARTYPE vtRet, void* result, const BYTE* paramInfo, ...) {
    if (!m_pCtrlSite) return;
    va_list args;
    va_start(args, paramInfo);
    m_pCtrlSite->InvokeHelperV(dispid, flags, vtRet, result, paramInfo, args);
    va_end(args);
}
