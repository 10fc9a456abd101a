#pragma once
// COleControlSite: what one hosted ActiveX control sees of its container, and
// the framework's handle on that control from creation to teardown.

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <cstdarg>
#include <vector>

#include "framework/com.h"

class CWnd;
class COleControlContainer;
class COleControlEventSink;

namespace fw {
// The modifier bits of IOleControlSite::TranslateAccelerator (KEYMODIFIERS),
// which the MinGW headers lack.
constexpr DWORD kKeyModShift = 0x1;
constexpr DWORD kKeyModControl = 0x2;
constexpr DWORD kKeyModAlt = 0x4;
}  // namespace fw

class COleControlSite
    : public fw::ComObject<COleControlSite, IOleClientSite, IOleInPlaceSite, IOleControlSite, IDispatch> {
    using Base = fw::ComObject<COleControlSite, IOleClientSite, IOleInPlaceSite, IOleControlSite, IDispatch>;
    friend Base;

public:
    explicit COleControlSite(COleControlContainer* container);

    // Creates, loads (from `state`, else InitNew), activates in place at `rect`
    // (pixels of the container window) and connects the events. On failure
    // the caller tears the half-made control down with DestroyControl.
    HRESULT CreateControl(const CLSID& clsid, const RECT& rect, UINT id, const std::vector<BYTE>* state);
    // Lets go of the control, in the order OLE expects: in-place deactivation,
    // event disconnection, SetClientSite(null), Close, release. Safe to repeat.
    void DestroyControl();

    // Places the control through OLE (extent and object rectangles), in pixels
    // of the container window.
    void MoveWindow(int x, int y, int width, int height);
    // Calls the control's IDispatch; see CWnd::InvokeHelper.
    void InvokeHelperV(DISPID dispid, WORD flags, VARTYPE vtRet, void* result, const BYTE* paramInfo,
                       va_list args);
    // An event the control fired: handed to the container window's event-sink table.
    void FireEvent(DISPID dispid, DISPPARAMS* params);

    // The site whose control owns `hwnd` (its window or one inside it), or null.
    static COleControlSite* FromWindow(HWND hwnd);
    // Brings up the control's user interface (OLEIVERB_UIACTIVATE) unless it is
    // up already; `msg` is the click that asked for it, if any.
    void ActivateUI(MSG* msg);
    // Offers a key typed into the control to its active object; true when the
    // control took it.
    bool TranslateKey(MSG* msg);

    // IOleClientSite
    STDMETHODIMP SaveObject() override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD whichMoniker, IMoniker** moniker) override;
    STDMETHODIMP GetContainer(IOleContainer** container) override;
    STDMETHODIMP ShowObject() override;
    STDMETHODIMP OnShowWindow(BOOL show) override;
    STDMETHODIMP RequestNewObjectLayout() override;

    // IOleWindow, IOleInPlaceSite
    STDMETHODIMP GetWindow(HWND* hwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enterMode) override;
    STDMETHODIMP CanInPlaceActivate() override;
    STDMETHODIMP OnInPlaceActivate() override;
    STDMETHODIMP OnUIActivate() override;
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT posRect,
                                  LPRECT clipRect, LPOLEINPLACEFRAMEINFO frameInfo) override;
    STDMETHODIMP Scroll(SIZE scrollExtent) override;
    STDMETHODIMP OnUIDeactivate(BOOL undoable) override;
    STDMETHODIMP OnInPlaceDeactivate() override;
    STDMETHODIMP DiscardUndoState() override;
    STDMETHODIMP DeactivateAndUndo() override;
    STDMETHODIMP OnPosRectChange(LPCRECT posRect) override;

    // IOleControlSite
    STDMETHODIMP OnControlInfoChanged() override;
    STDMETHODIMP LockInPlaceActive(BOOL lock) override;
    STDMETHODIMP GetExtendedControl(IDispatch** disp) override;
    STDMETHODIMP TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) override;
    STDMETHODIMP TranslateAccelerator(MSG* msg, DWORD modifiers) override;
    STDMETHODIMP OnFocus(BOOL gotFocus) override;
    STDMETHODIMP ShowPropertyFrame() override;

    // IDispatch: the ambient properties.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID dispid, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override;

    // The control's window, while the control is in place.
    HWND m_hWnd = nullptr;
    UINT m_nID = 0;
    // The window object that stands for the control (DDX_Control, CreateControl), if any.
    CWnd* m_pWndCtrl = nullptr;
    // Null once the control is torn down.
    COleControlContainer* m_pCtrlCont;

protected:
    ~COleControlSite() override;
    // Interfaces beyond the listed ones (IOleWindow); derived sites add theirs.
    virtual bool QueryInterfaceExtra(REFIID riid, void** ppv);

private:
    HWND ContainerWindow() const;
    HRESULT LoadState(const std::vector<BYTE>* state);
    void SetExtent(int width, int height);
    void ConnectEvents();

    fw::ComPtr<IOleObject> m_pObject;
    fw::ComPtr<IOleInPlaceObject> m_pInPlaceObject;
    fw::ComPtr<IDispatch> m_pDispatch;
    fw::ComPtr<IConnectionPoint> m_pEventPoint;
    fw::ComPtr<COleControlEventSink> m_pEventSink;
    DWORD m_dwEventCookie = 0;
    RECT m_rect{};
};

// The step every message loop takes before any window's own pre-translation:
// a click into a hosted control brings up its user interface, and a key typed
// into one goes to its active object first. TRUE when the control took the key.
BOOL AfxPreTranslateControlMessage(MSG* msg);
