#include "tests/unit/browser/recording_control.h"

#include <exdisp.h>
#include <olectl.h>

#include "framework/com.h"
#include "framework/occ_site.h"

const CLSID CLSID_RecordingControl = {0x5A1E0001, 0x7D2C, 0x4E8B, {0x9C, 0x3A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x60}};
const CLSID CLSID_PlainRecordingControl = {
    0x5A1E0002, 0x7D2C, 0x4E8B, {0x9C, 0x3A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x60}};
const IID DIID_RecordingEvents = {0x5A1E00EE, 0x7D2C, 0x4E8B, {0x9C, 0x3A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x60}};

namespace {

int g_alive = 0;

void Note(const std::string& call) { RecordingControls::Journal().push_back(call); }

std::string KeyName(WPARAM vk) {
    switch (vk) {
    case VK_RETURN: return "Return";
    case VK_ESCAPE: return "Escape";
    case VK_TAB: return "Tab";
    default: return std::to_string(vk);
    }
}

std::string Hex(const BYTE* bytes, ULONG size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (ULONG i = 0; i < size; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

class EventPoint : public fw::ComObject<EventPoint, IConnectionPoint> {
public:
    explicit EventPoint(const IID& events) : m_events(events) {}

    STDMETHODIMP GetConnectionInterface(IID* iid) override {
        *iid = m_events;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer**) override { return E_NOTIMPL; }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
        // As real controls do: the sink must answer for the events interface.
        m_sink.reset();
        if (FAILED(sink->QueryInterface(m_events, m_sink.put_void()))) {
            Note("Advise refused");
            return CONNECT_E_CANNOTCONNECT;
        }
        Note("Advise");
        *cookie = 1;
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
        Note(cookie == 1 ? "Unadvise" : "Unadvise with a wrong cookie");
        m_sink.reset();
        return S_OK;
    }
    STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    fw::ComPtr<IDispatch> m_sink;

private:
    IID m_events;
};

EventPoint* g_lastPoint = nullptr;

class RecordingControl
    : public fw::ComObject<RecordingControl, IOleObject, IOleInPlaceObject, IOleInPlaceActiveObject,
                           IPersistStreamInit, IConnectionPointContainer, IProvideClassInfo2> {
public:
    explicit RecordingControl(bool describing)
        : m_describing(describing),
          m_point(fw::MakeComObject<EventPoint>(describing ? DIID_RecordingEvents : DIID_DWebBrowserEvents2)) {
        ++g_alive;
        g_lastPoint = m_point.get();
    }
    ~RecordingControl() override {
        Note("Released");
        if (g_lastPoint == m_point.get()) g_lastPoint = nullptr;
        --g_alive;
    }

    bool QueryInterfaceExtra(REFIID riid, void** ppv) {
        if (riid == IID_IOleWindow) {
            *ppv = static_cast<IOleInPlaceObject*>(this);
        } else if (riid == IID_IPersist) {
            *ppv = static_cast<IPersistStreamInit*>(this);
        } else if (riid == IID_IProvideClassInfo && m_describing) {
            *ppv = static_cast<IProvideClassInfo2*>(this);
        } else {
            return false;
        }
        return true;
    }
    // The plain kind does not describe itself.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IProvideClassInfo2 && !m_describing) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        return ComObject::QueryInterface(riid, ppv);
    }

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override {
        Note(site ? "SetClientSite" : "SetClientSite(null)");
        m_site = fw::ComPtr<IOleClientSite>::Retain(site);
        return S_OK;
    }
    STDMETHODIMP GetClientSite(IOleClientSite** site) override {
        *site = fw::ComPtr<IOleClientSite>::Retain(m_site.get()).detach();
        return S_OK;
    }
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD option) override {
        Note(option == OLECLOSE_NOSAVE ? "Close" : "Close saving");
        return S_OK;
    }
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* active, LONG, HWND, LPCRECT) override {
        if (verb == OLEIVERB_UIACTIVATE) return ActivateUI();
        if (verb != OLEIVERB_INPLACEACTIVATE || !active) return E_NOTIMPL;
        Note("DoVerb");
        fw::ComPtr<IOleInPlaceSite> site;
        if (FAILED(active->QueryInterface(IID_IOleInPlaceSite, site.put_void())) ||
            site->CanInPlaceActivate() != S_OK) {
            return E_FAIL;
        }
        site->OnInPlaceActivate();
        HWND parent = nullptr;
        site->GetWindow(&parent);
        fw::ComPtr<IOleInPlaceFrame> frame;
        fw::ComPtr<IOleInPlaceUIWindow> doc;
        RECT pos{}, clip{};
        OLEINPLACEFRAMEINFO info{};
        info.cb = sizeof(info);
        if (FAILED(site->GetWindowContext(frame.put(), doc.put(), &pos, &clip, &info)) || !frame) return E_FAIL;
        HWND frameWindow = nullptr;
        frame->GetWindow(&frameWindow);
        if (frameWindow != parent || info.hwndFrame != parent) Note("frame is not the container window");
        m_window = ::CreateWindowExW(0, L"Static", L"recording", WS_CHILD | WS_VISIBLE, pos.left, pos.top,
                                     pos.right - pos.left, pos.bottom - pos.top, parent, nullptr,
                                     ::GetModuleHandleW(nullptr), nullptr);
        // The page's one field, a window inside the control's.
        m_field = ::CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, m_window, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
        m_inPlaceSite = std::move(site);
        m_frame = std::move(frame);
        return m_window ? S_OK : E_FAIL;
    }
    // As the browser does: the site hears of it, the frame gets the active
    // object, the page gets the focus.
    HRESULT ActivateUI() {
        if (!m_inPlaceSite) return E_UNEXPECTED;
        Note("DoVerb UIActivate");
        if (m_uiActive) return S_OK;
        m_uiActive = true;
        m_inPlaceSite->OnUIActivate();
        m_frame->SetActiveObject(this, L"recording");
        ::SetFocus(m_field);
        return S_OK;
    }
    STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
    STDMETHODIMP SetExtent(DWORD, SIZEL* size) override {
        Note("SetExtent " + std::to_string(size->cx) + "x" + std::to_string(size->cy));
        return S_OK;
    }
    STDMETHODIMP GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    STDMETHODIMP Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override {
        *status = OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT | (m_describing ? OLEMISC_SETCLIENTSITEFIRST : 0);
        return S_OK;
    }
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceObject
    STDMETHODIMP GetWindow(HWND* hwnd) override {
        *hwnd = m_window;
        return m_window ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // It keeps the frame as long as it lives and never takes its active object
    // back: the host must let go of it, or each keeps the other alive.
    STDMETHODIMP InPlaceDeactivate() override {
        Note(::IsWindow(m_window) ? "InPlaceDeactivate" : "InPlaceDeactivate after the window was destroyed");
        if (::IsWindow(m_window)) ::DestroyWindow(m_window);
        m_window = nullptr;
        m_field = nullptr;
        m_uiActive = false;
        if (m_inPlaceSite) m_inPlaceSite->OnInPlaceDeactivate();
        m_inPlaceSite.reset();
        return S_OK;
    }
    STDMETHODIMP UIDeactivate() override { return S_OK; }
    STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT) override {
        Note("SetObjectRects " + std::to_string(pos->left) + "," + std::to_string(pos->top) + " " +
             std::to_string(pos->right - pos->left) + "x" + std::to_string(pos->bottom - pos->top));
        ::MoveWindow(m_window, pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top, TRUE);
        return S_OK;
    }
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }

    // IOleInPlaceActiveObject: Enter submits the page's form; the page has no
    // other element to tab to, so Tab goes straight back to the site.
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override {
        if (msg->message != WM_KEYDOWN) return S_FALSE;
        Note("TranslateAccelerator " + KeyName(msg->wParam));
        if (msg->wParam == VK_RETURN) return S_OK;
        fw::ComPtr<IOleControlSite> site;
        if (msg->wParam != VK_TAB || FAILED(m_site.As(site))) return S_FALSE;
        return site->TranslateAccelerator(msg, ::GetKeyState(VK_SHIFT) < 0 ? fw::kKeyModShift : 0);
    }
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

    // IPersistStreamInit
    STDMETHODIMP GetClassID(CLSID* clsid) override {
        *clsid = m_describing ? CLSID_RecordingControl : CLSID_PlainRecordingControl;
        return S_OK;
    }
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(IStream* stream) override {
        BYTE buffer[512];
        ULONG got = 0;
        stream->Read(buffer, sizeof(buffer), &got);
        Note("Load " + Hex(buffer, got));
        return S_OK;
    }
    STDMETHODIMP Save(IStream*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP InitNew() override {
        Note("InitNew");
        return S_OK;
    }

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override {
        IID offered{};
        m_point->GetConnectionInterface(&offered);
        if (riid != offered) {
            Note("FindConnectionPoint of another interface");
            *point = nullptr;
            return CONNECT_E_NOCONNECTION;
        }
        Note(riid == DIID_DWebBrowserEvents2 ? "FindConnectionPoint browser events"
                                             : "FindConnectionPoint described events");
        *point = fw::ComPtr<IConnectionPoint>::Retain(m_point.get()).detach();
        return S_OK;
    }

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override {
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
        *guid = DIID_RecordingEvents;
        return S_OK;
    }

private:
    bool m_describing;
    fw::ComPtr<EventPoint> m_point;
    fw::ComPtr<IOleClientSite> m_site;
    fw::ComPtr<IOleInPlaceSite> m_inPlaceSite;
    fw::ComPtr<IOleInPlaceFrame> m_frame;
    HWND m_window = nullptr;
    HWND m_field = nullptr;
    bool m_uiActive = false;
};

class Factory : public fw::ComObject<Factory, IClassFactory> {
public:
    explicit Factory(bool describing) : m_describing(describing) {}
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        const auto control = fw::MakeComObject<RecordingControl>(m_describing);
        return control->QueryInterface(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    bool m_describing;
};

}  // namespace

RecordingControls::RecordingControls() {
    const auto describing = fw::MakeComObject<Factory>(true);
    const auto plain = fw::MakeComObject<Factory>(false);
    ::CoRegisterClassObject(CLSID_RecordingControl, describing->GetUnknown(), CLSCTX_INPROC_SERVER,
                            REGCLS_MULTIPLEUSE, &cookies_[0]);
    ::CoRegisterClassObject(CLSID_PlainRecordingControl, plain->GetUnknown(), CLSCTX_INPROC_SERVER,
                            REGCLS_MULTIPLEUSE, &cookies_[1]);
    Journal().clear();
}

RecordingControls::~RecordingControls() {
    for (DWORD cookie : cookies_) {
        if (cookie) ::CoRevokeClassObject(cookie);
    }
}

std::vector<std::string>& RecordingControls::Journal() {
    static std::vector<std::string> journal;
    return journal;
}

HRESULT RecordingControls::Fire(DISPID dispid, DISPPARAMS* params) {
    if (!g_lastPoint || !g_lastPoint->m_sink) return E_FAIL;
    return g_lastPoint->m_sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params, nullptr,
                                       nullptr, nullptr);
}

int RecordingControls::Alive() { return g_alive; }
