#include "framework/occ_site.h"

#include <exdisp.h>
#include <olectl.h>
#include <shlwapi.h>

#include "framework/handles.h"
#include "framework/occ_container.h"
#include "framework/occ_dispatch_arguments.h"
#include "framework/occ_event_sink.h"
#include "framework/wnd.h"

namespace {

constexpr int kHimetricPerInch = 2540;

// The strings an Invoke may leave in its exception information.
struct ExceptionInfo : EXCEPINFO {
    ExceptionInfo() : EXCEPINFO{} {}
    ExceptionInfo(const ExceptionInfo&) = delete;
    ExceptionInfo& operator=(const ExceptionInfo&) = delete;
    ~ExceptionInfo() {
        ::SysFreeString(bstrSource);
        ::SysFreeString(bstrDescription);
        ::SysFreeString(bstrHelpFile);
    }
};

}  // namespace

COleControlSite::COleControlSite(COleControlContainer* container) : m_pCtrlCont(container) {}

COleControlSite::~COleControlSite() = default;

bool COleControlSite::QueryInterfaceExtra(REFIID riid, void** ppv) {
    if (riid != IID_IOleWindow) return false;
    *ppv = static_cast<IOleInPlaceSite*>(this);
    return true;
}

HWND COleControlSite::ContainerWindow() const {
    return m_pCtrlCont ? m_pCtrlCont->m_pWnd->m_hWnd : nullptr;
}

HRESULT COleControlSite::CreateControl(const CLSID& clsid, const RECT& rect, UINT id,
                                       const std::vector<BYTE>* state) {
    m_nID = id;
    m_rect = rect;
    HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                    m_pObject.put_void());
    if (FAILED(hr)) return hr;

    DWORD misc = 0;
    m_pObject->GetMiscStatus(DVASPECT_CONTENT, &misc);
    const bool siteFirst = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (siteFirst) m_pObject->SetClientSite(this);
    hr = LoadState(state);
    if (FAILED(hr)) return hr;
    if (!siteFirst) m_pObject->SetClientSite(this);

    SetExtent(rect.right - rect.left, rect.bottom - rect.top);
    hr = m_pObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, ContainerWindow(), &m_rect);
    if (FAILED(hr)) return hr;
    hr = m_pObject.As(m_pInPlaceObject);
    if (FAILED(hr)) return hr;
    hr = m_pInPlaceObject->GetWindow(&m_hWnd);
    if (FAILED(hr)) return hr;
    m_pObject.As(m_pDispatch);
    ConnectEvents();
    return S_OK;
}

HRESULT COleControlSite::LoadState(const std::vector<BYTE>* state) {
    fw::ComPtr<IPersistStreamInit> persist;
    if (FAILED(m_pObject.As(persist))) return S_OK;  // a control without stream state
    if (!state) return persist->InitNew();
    fw::ComPtr<IStream> stream(::SHCreateMemStream(state->data(), static_cast<UINT>(state->size())));
    if (!stream) return E_OUTOFMEMORY;
    return persist->Load(stream.get());
}

void COleControlSite::ConnectEvents() {
    // The web browser, the one control hosted here, may not describe its
    // source interface; its events are DWebBrowserEvents2 then.
    IID events = DIID_DWebBrowserEvents2;
    fw::ComPtr<IProvideClassInfo2> classInfo;
    if (SUCCEEDED(m_pObject.As(classInfo))) {
        IID described{};
        if (SUCCEEDED(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &described))) events = described;
    }
    fw::ComPtr<IConnectionPointContainer> points;
    if (FAILED(m_pObject.As(points)) || FAILED(points->FindConnectionPoint(events, m_pEventPoint.put())))
        return;
    m_pEventSink = fw::MakeComObject<COleControlEventSink>(this, events);
    if (FAILED(m_pEventPoint->Advise(m_pEventSink->GetUnknown(), &m_dwEventCookie))) {
        m_pEventSink->Disconnect();
        m_pEventSink.reset();
        m_pEventPoint.reset();
    }
}

void COleControlSite::DestroyControl() {
    if (m_pWndCtrl) m_pWndCtrl->DetachControlSite();
    if (m_pInPlaceObject) m_pInPlaceObject->InPlaceDeactivate();
    if (m_pCtrlCont) m_pCtrlCont->ReleaseUIActive(this);
    if (m_pEventSink) {
        m_pEventPoint->Unadvise(m_dwEventCookie);
        m_pEventSink->Disconnect();
    }
    if (m_pObject) {
        m_pObject->SetClientSite(nullptr);
        m_pObject->Close(OLECLOSE_NOSAVE);
    }
    m_pEventSink.reset();
    m_pEventPoint.reset();
    m_pDispatch.reset();
    m_pInPlaceObject.reset();
    m_pObject.reset();
    m_hWnd = nullptr;
    m_pCtrlCont = nullptr;
}

void COleControlSite::SetExtent(int width, int height) {
    if (!m_pObject) return;
    const fw::WindowDC screen = fw::WindowDC::Client(nullptr);
    SIZEL extent{::MulDiv(width, kHimetricPerInch, ::GetDeviceCaps(screen.get(), LOGPIXELSX)),
                 ::MulDiv(height, kHimetricPerInch, ::GetDeviceCaps(screen.get(), LOGPIXELSY))};
    m_pObject->SetExtent(DVASPECT_CONTENT, &extent);
}

void COleControlSite::MoveWindow(int x, int y, int width, int height) {
    m_rect = RECT{x, y, x + width, y + height};
    SetExtent(width, height);
    if (m_pInPlaceObject) m_pInPlaceObject->SetObjectRects(&m_rect, &m_rect);
}

void COleControlSite::InvokeHelperV(DISPID dispid, WORD flags, VARTYPE vtRet, void*, const BYTE* paramInfo,
                                    va_list args) {
    // Calls with a result are not needed by anything hosted here.
    if (!m_pDispatch || vtRet != VT_EMPTY) return;
    fw::DispatchArguments arguments;
    if (!arguments.Build(paramInfo, args)) return;
    ExceptionInfo exception;
    UINT argErr = 0;
    m_pDispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, flags, arguments.Params(), nullptr,
                        &exception, &argErr);
}

void COleControlSite::FireEvent(DISPID dispid, DISPPARAMS* params) {
    if (!m_pCtrlCont) return;
    CWnd* wnd = m_pCtrlCont->m_pWnd;
    if (const fw::EventSinkEntry* entry = fw::FindEventSinkEntry(wnd->GetEventSinkMap(), m_nID, dispid))
        entry->call(wnd, params);
}

// IOleClientSite

STDMETHODIMP COleControlSite::SaveObject() { return E_NOTIMPL; }

STDMETHODIMP COleControlSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP COleControlSite::GetContainer(IOleContainer** container) {
    if (!container) return E_POINTER;
    *container = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP COleControlSite::ShowObject() { return S_OK; }

STDMETHODIMP COleControlSite::OnShowWindow(BOOL) { return S_OK; }

STDMETHODIMP COleControlSite::RequestNewObjectLayout() { return E_NOTIMPL; }

// IOleWindow, IOleInPlaceSite

STDMETHODIMP COleControlSite::GetWindow(HWND* hwnd) {
    if (!hwnd) return E_POINTER;
    *hwnd = ContainerWindow();
    return *hwnd ? S_OK : E_FAIL;
}

STDMETHODIMP COleControlSite::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP COleControlSite::CanInPlaceActivate() { return m_pCtrlCont ? S_OK : S_FALSE; }

STDMETHODIMP COleControlSite::OnInPlaceActivate() { return S_OK; }

STDMETHODIMP COleControlSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                               LPRECT posRect, LPRECT clipRect,
                                               LPOLEINPLACEFRAMEINFO frameInfo) {
    if (!frame || !doc || !posRect || !clipRect || !frameInfo) return E_POINTER;
    *frame = nullptr;
    *doc = nullptr;
    const HWND container = ContainerWindow();
    if (!container) return E_FAIL;
    *frame = m_pCtrlCont->Frame();
    (*frame)->AddRef();
    *posRect = m_rect;
    ::GetClientRect(container, clipRect);
    frameInfo->fMDIApp = FALSE;
    frameInfo->hwndFrame = container;
    frameInfo->haccel = nullptr;
    frameInfo->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP COleControlSite::Scroll(SIZE) { return E_NOTIMPL; }

STDMETHODIMP COleControlSite::OnInPlaceDeactivate() { return S_OK; }

STDMETHODIMP COleControlSite::DiscardUndoState() { return E_NOTIMPL; }

STDMETHODIMP COleControlSite::DeactivateAndUndo() { return E_NOTIMPL; }

STDMETHODIMP COleControlSite::OnPosRectChange(LPCRECT posRect) {
    if (!posRect) return E_POINTER;
    m_rect = *posRect;
    if (m_pInPlaceObject) m_pInPlaceObject->SetObjectRects(&m_rect, &m_rect);
    return S_OK;
}

// IOleControlSite

STDMETHODIMP COleControlSite::OnControlInfoChanged() { return S_OK; }

STDMETHODIMP COleControlSite::LockInPlaceActive(BOOL) { return E_NOTIMPL; }

STDMETHODIMP COleControlSite::GetExtendedControl(IDispatch** disp) {
    if (!disp) return E_POINTER;
    *disp = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP COleControlSite::TransformCoords(POINTL*, POINTF*, DWORD) { return E_NOTIMPL; }

STDMETHODIMP COleControlSite::ShowPropertyFrame() { return E_NOTIMPL; }

// IDispatch: ambient properties. The control runs for the player, never in a
// designer; every other ambient takes the control's default.

STDMETHODIMP COleControlSite::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP COleControlSite::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

STDMETHODIMP COleControlSite::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

STDMETHODIMP COleControlSite::Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) {
    if (dispid != DISPID_AMBIENT_USERMODE || !(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (!result) return E_POINTER;
    ::VariantInit(result);
    result->vt = VT_BOOL;
    result->boolVal = VARIANT_TRUE;
    return S_OK;
}
