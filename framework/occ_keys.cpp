// How a key reaches the page, and the user-interface activation it rides on:
// the message loops offer each key to the control under the focus first
// (AfxPreTranslateControlMessage), a click or the focus brings the control's
// user interface up, and the keys the control hands back come to its site.

#include "framework/occ_site.h"

#include "framework/occ_container.h"
#include "framework/wnd.h"

BOOL AfxPreTranslateControlMessage(MSG* msg) {
    const bool key = msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST;
    const bool click =
        msg->message == WM_LBUTTONDOWN || msg->message == WM_RBUTTONDOWN || msg->message == WM_MBUTTONDOWN;
    if (!key && !click) return FALSE;
    COleControlSite* site = COleControlSite::FromWindow(msg->hwnd);
    if (!site) return FALSE;
    if (click) {
        // Clicking into the page gives it the keyboard; the click itself goes on to it.
        site->ActivateUI(msg);
        return FALSE;
    }
    return site->TranslateKey(msg);
}

COleControlSite* COleControlSite::FromWindow(HWND hwnd) {
    for (HWND child = hwnd; child && (::GetWindowLongPtrW(child, GWL_STYLE) & WS_CHILD);
         child = ::GetParent(child)) {
        const CWnd* parent = CWnd::FromHandlePermanent(::GetParent(child));
        if (COleControlSite* site = parent && parent->m_pCtrlCont ? parent->m_pCtrlCont->SiteOfWindow(child) : nullptr)
            return site;
    }
    return nullptr;
}

void COleControlSite::ActivateUI(MSG* msg) {
    if (!m_pObject || !m_pCtrlCont || m_pCtrlCont->UIActiveSite() == this) return;
    // The control may tear down the window that hosts it while it runs.
    const auto self = fw::ComPtr<COleControlSite>::Retain(this);
    m_pObject->DoVerb(OLEIVERB_UIACTIVATE, msg, this, 0, ContainerWindow(), &m_rect);
}

bool COleControlSite::TranslateKey(MSG* msg) {
    if (!m_pCtrlCont || m_pCtrlCont->UIActiveSite() != this) return false;
    const auto active = fw::ComPtr<IOleInPlaceActiveObject>::Retain(m_pCtrlCont->ActiveObject());
    if (!active) return false;
    const auto self = fw::ComPtr<COleControlSite>::Retain(this);
    return active->TranslateAccelerator(msg) == S_OK;
}

// IOleInPlaceSite: user-interface activation

STDMETHODIMP COleControlSite::OnUIActivate() {
    if (!m_pCtrlCont) return E_UNEXPECTED;
    // One control of a window has its user interface up at a time.
    COleControlSite* previous = m_pCtrlCont->UIActiveSite();
    if (previous && previous != this && previous->m_pInPlaceObject) previous->m_pInPlaceObject->UIDeactivate();
    m_pCtrlCont->SetUIActiveSite(this);
    return S_OK;
}

STDMETHODIMP COleControlSite::OnUIDeactivate(BOOL) {
    if (m_pCtrlCont) m_pCtrlCont->ReleaseUIActive(this);
    return S_OK;
}

// IOleControlSite: focus and the keys the control hands back

// A key the control hands back. Tab past its last element (Shift+Tab past its
// first) moves on in the dialog's tab order; with no other tab stop there the
// page wraps and the focus stays in it. The dialog keeps every other key from
// closing anything, so the control handles those itself.
STDMETHODIMP COleControlSite::TranslateAccelerator(MSG* msg, DWORD modifiers) {
    if (!msg) return E_POINTER;
    const HWND container = ContainerWindow();
    if (!container || !m_hWnd || msg->message != WM_KEYDOWN || msg->wParam != VK_TAB ||
        (modifiers & (fw::kKeyModControl | fw::kKeyModAlt))) {
        return S_FALSE;
    }
    const HWND next = ::GetNextDlgTabItem(container, m_hWnd, (modifiers & fw::kKeyModShift) != 0);
    if (!next || next == m_hWnd) return S_OK;
    ::SendMessageW(container, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
    return S_OK;
}

// The control's own window got the focus (the dialog's Tab reached it): its
// user interface comes up, which puts the focus into the page.
STDMETHODIMP COleControlSite::OnFocus(BOOL gotFocus) {
    if (gotFocus) ActivateUI(nullptr);
    return S_OK;
}
