#pragma once
// CWnd: one C++ object per window, messages routed through its class's table.

#include <windows.h>
#include <memory>
#include "framework/gdi.h"
#include "framework/event_sink.h"
#include "framework/message_map.h"

class COleControlContainer;
class COleControlSite;

class CWnd {
public:
    CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd();

    // The object behind a window we subclassed, or null.
    static CWnd* FromHandlePermanent(HWND hwnd);
    // As above, else a temporary wrapper valid until the current message returns.
    static CWnd* FromHandle(HWND hwnd);

    // Routes the window's messages through this object (SetWindowSubclass).
    BOOL SubclassWindow(HWND hwnd);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Default processing of the message being handled.
    LRESULT Default();
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual const fw::MessageMap* GetMessageMap() const;
    // Events of the ActiveX controls this window hosts; none by default.
    virtual const fw::EventSinkMap* GetEventSinkMap() const { return nullptr; }

    // Thin forwards to user32 on m_hWnd.
    BOOL ShowWindow(int cmd);
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    void MoveWindow(const RECT& rect, BOOL repaint = TRUE);
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    BOOL IsWindow() const { return ::IsWindow(m_hWnd); }
    void SetWindowText(const wchar_t* text) { ::SetWindowTextW(m_hWnd, text); }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    void ScreenToClient(RECT* rect) const;
    void InvalidateRect(const RECT* rect, BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, rect, erase); }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    HWND SetActiveWindow() { return ::SetActiveWindow(m_hWnd); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }
    CWnd* GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0);
    BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags = 0);
    BOOL SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
        return ::SetWindowPos(m_hWnd, insertAfter, x, y, cx, cy, flags);
    }
    // Centres on the owner, or in the work area when the owner is hidden or minimised;
    // a top-level window is then kept inside the work area, its top-left corner first.
    void CenterWindow(CWnd* alternateOwner = nullptr);
    BOOL DestroyWindow();

    // ActiveX containment. A CWnd may host controls (m_pCtrlCont) or stand for
    // one (m_pCtrlSite): its window is then the control's, moved through OLE
    // and never destroyed by this object.
    BOOL CreateControl(REFCLSID clsid, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                       UINT id);
    // Calls the control's IDispatch with arguments described by `paramInfo`
    // (fw::VTS_* bytes, 0-terminated, may be null). Only calls without a result
    // (vtRet VT_EMPTY) are made. Does nothing when no control stands behind.
    void InvokeHelper(DISPID dispid, WORD flags, VARTYPE vtRet, void* result, const BYTE* paramInfo, ...);
    void AttachControlSite(COleControlSite* site);
    void DetachControlSite();
    // The container of this window's controls, made on first use; null while
    // containment is off or the window does not exist.
    COleControlContainer* GetControlContainer();

    // For WM_CTLCOLOR entries: the typed call of OnCtlColor(CDC*, CWnd*, UINT).
    template <class C, class F>
    static LRESULT CrackCtlColor(C* c, F handler, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;
    COleControlSite* m_pCtrlSite = nullptr;
    std::unique_ptr<COleControlContainer> m_pCtrlCont;

protected:
    // Runs the table of this class and its bases; false when nobody handled it.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // A notification of this control sent to its parent (WM_DRAWITEM, ...).
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual void PreSubclassWindow() {}
    // Called once the window is gone (after WM_NCDESTROY).
    virtual void PostNcDestroy() {}
    void Attach(HWND hwnd);

private:
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    void Detach();
    static BOOL ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    bool m_bSubclassed = false;
};

// The message currently being handled on this thread (for CWnd::Default).
const MSG* AfxGetCurrentMessage();

template <class C, class F>
LRESULT CWnd::CrackCtlColor(C* c, F handler, WPARAM wParam, LPARAM lParam) {
    CDC dc(reinterpret_cast<HDC>(wParam));
    const MSG* msg = AfxGetCurrentMessage();
    const UINT kind = msg->message - WM_CTLCOLORMSGBOX;  // CTLCOLOR_MSGBOX ... CTLCOLOR_STATIC
    return reinterpret_cast<LRESULT>((c->*handler)(&dc, FromHandle(reinterpret_cast<HWND>(lParam)), kind));
}

#include "framework/message_crackers.h"
