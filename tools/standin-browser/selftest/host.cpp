// A minimal ActiveX container for checking the stand-in browser control: one
// top-level window that embeds whatever CLSID_WebBrowser is registered, using
// only the standard OLE calls a real container makes. It runs the steps given
// on its command line and reports what it saw on stdout, one line per fact.
//
// standin-browser-host URL [--flags N] [--no-handler] [--menu-hr HR]
//                          [--cancel TEXT] [--cancel-new-window] [--no-key-routing]
//                          [--state HEX] STEP...
// Steps: docs:N  downloads:N (DownloadComplete events)  refresh  rightclick  move:X,Y,W,H  hide  show
//        scroll  unadvise  hold:PATH  sleep:MS  close  location
//        click:X,Y / shiftclick:X,Y (in the control)  type:TEXT  key:[shift+|ctrl+]NAME
//        paste:N (N x's)  navigate:URL|FLAGS|TARGET|POST|HEADERS (\n for CRLF)
// Keys go through the loop a container runs: the active object's
// TranslateAccelerator first, then dispatch; with --no-key-routing straight
// to dispatch, as a host that never routes keys does.

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>
#include <exdisp.h>
#include <exdispid.h>
#include <mshtmhst.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <utility>
#include <functional>
#include <string>
#include <vector>

#include "framework/com.h"

namespace {

constexpr DISPID kNavigate = 104;
constexpr DISPID kExternalName = 12345;
constexpr RECT kControlRect = {20, 20, 780, 560};

void Report(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr,
                          nullptr);
    return out;
}

struct Options {
    std::wstring url;
    DWORD hostFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO;
    bool handler = true;
    HRESULT menuResult = S_OK;
    std::wstring cancelWhen;
    bool cancelNewWindow = false;
    bool routeKeys = true;
    bool hasState = false;
    std::vector<BYTE> state;
    std::vector<std::wstring> steps;
};

// window.external with a single read-only property.
class External final : public fw::ComObject<External, IDispatch> {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = std::wcscmp(names[i], L"xxyyzz") == 0 ? kExternalName : DISPID_UNKNOWN;
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (id != kExternalName) return DISP_E_MEMBERNOTFOUND;
        if ((flags & DISPATCH_PROPERTYGET) && result) {
            ::VariantInit(result);
            result->vt = VT_BSTR;
            result->bstrVal = ::SysAllocString(L"Wibble");
        }
        return S_OK;
    }
};

// The frame and document window a control hands its active object to.
class InPlaceFrame final : public fw::ComObject<InPlaceFrame, IOleInPlaceFrame> {
public:
    InPlaceFrame(HWND window, const char* name) : window_(window), name_(name) {}
    bool QueryInterfaceExtra(REFIID riid, void** ppv) {
        if (riid != IID_IOleWindow && riid != IID_IOleInPlaceUIWindow) return false;
        *ppv = static_cast<IOleInPlaceFrame*>(this);
        return true;
    }
    fw::ComPtr<IOleInPlaceActiveObject> active;

    STDMETHODIMP GetWindow(HWND* hwnd) override {
        *hwnd = window_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetBorder(LPRECT) override { return E_NOTIMPL; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
        Report("set_active_object %s %d", name_, object ? 1 : 0);
        active = fw::ComPtr<IOleInPlaceActiveObject>::Retain(object);
        return S_OK;
    }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
    HWND window_;
    const char* name_;
};

class Site final : public fw::ComObject<Site, IOleClientSite, IOleInPlaceSite, IOleControlSite,
                                        IDocHostUIHandler> {
public:
    Site(HWND window, const Options& options) : window_(window), options_(options) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IDocHostUIHandler && !options_.handler) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        return ComObject::QueryInterface(riid, ppv);
    }
    bool QueryInterfaceExtra(REFIID riid, void** ppv) {
        if (riid != IID_IOleWindow) return false;
        *ppv = static_cast<IOleInPlaceSite*>(this);
        return true;
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
        *moniker = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** container) override {
        *container = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP GetWindow(HWND* hwnd) override {
        *hwnd = window_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override {
        Report("site_inplace_activate");
        return S_OK;
    }
    STDMETHODIMP OnUIActivate() override {
        Report("site_ui_activate");
        return S_OK;
    }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT position,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
        *frame = fw::ComPtr<IOleInPlaceFrame>::Retain(frame_.get()).detach();
        *doc = fw::ComPtr<IOleInPlaceUIWindow>::Retain(uiWindow_.get()).detach();
        *position = kControlRect;
        *clip = kControlRect;
        info->fMDIApp = FALSE;
        info->hwndFrame = window_;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override {
        Report("site_inplace_deactivate");
        return S_OK;
    }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleControlSite: a key the control hands back is reported and left to the loop.
    STDMETHODIMP OnControlInfoChanged() override { return S_OK; }
    STDMETHODIMP LockInPlaceActive(BOOL) override { return S_OK; }
    STDMETHODIMP GetExtendedControl(IDispatch** dispatch) override {
        *dispatch = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG* msg, DWORD modifiers) override {
        Report("site_translate_accelerator key=%u modifiers=%lu", static_cast<unsigned>(msg->wParam), modifiers);
        return S_FALSE;
    }
    STDMETHODIMP OnFocus(BOOL gained) override {
        Report("site_on_focus %d", gained ? 1 : 0);
        return S_OK;
    }
    STDMETHODIMP ShowPropertyFrame() override { return E_NOTIMPL; }

    IOleInPlaceActiveObject* Active() const { return frame_->active.get(); }

    // IDocHostUIHandler
    STDMETHODIMP ShowContextMenu(DWORD id, POINT* point, IUnknown*, IDispatch*) override {
        Report("handler_context_menu id=%lu point=%ld,%ld", id, point ? point->x : -1L, point ? point->y : -1L);
        return options_.menuResult;
    }
    STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override {
        Report("handler_host_info cbSize=%lu", info->cbSize);
        info->dwFlags = options_.hostFlags;
        info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
        return S_OK;
    }
    STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                        IOleInPlaceUIWindow*) override {
        return S_OK;
    }
    STDMETHODIMP HideUI() override { return S_OK; }
    STDMETHODIMP UpdateUI() override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(LPMSG, const GUID*, DWORD) override {
        ++handlerKeys;
        return S_FALSE;
    }
    int handlerKeys = 0;
    STDMETHODIMP GetOptionKeyPath(LPOLESTR*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget**) override { return E_NOTIMPL; }
    STDMETHODIMP GetExternal(IDispatch** dispatch) override {
        *dispatch = fw::ComPtr<IDispatch>::Retain(external_.get()).detach();
        return S_OK;
    }
    STDMETHODIMP TranslateUrl(DWORD, LPWSTR, LPWSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP FilterDataObject(IDataObject*, IDataObject**) override { return E_NOTIMPL; }

private:
    HWND window_;
    const Options& options_;
    fw::ComPtr<External> external_ = fw::MakeComObject<External>();
    fw::ComPtr<InPlaceFrame> frame_ = fw::MakeComObject<InPlaceFrame>(window_, "frame");
    fw::ComPtr<InPlaceFrame> uiWindow_ = fw::MakeComObject<InPlaceFrame>(window_, "ui_window");
};

// Receives DWebBrowserEvents2, checks each call's argument layout against what
// hosts rely on, and reports it.
class EventSink final : public fw::ComObject<EventSink, IDispatch> {
public:
    EventSink(int number, const Options& options, IUnknown* control, const bool& insideNavigate)
        : number_(number), options_(options), control_(control), insideNavigate_(insideNavigate) {}

    bool QueryInterfaceExtra(REFIID riid, void** ppv) {
        if (riid != DIID_DWebBrowserEvents2) return false;
        *ppv = static_cast<IDispatch*>(this);
        return true;
    }

    int documentsCompleted = 0;
    int downloadsCompleted = 0;

    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        if (id != DISPID_BEFORENAVIGATE2 && id != DISPID_NAVIGATECOMPLETE2 && id != DISPID_DOCUMENTCOMPLETE) {
            ReportOther(id, params);
            return S_OK;
        }
        if (riid != IID_NULL || flags != DISPATCH_METHOD || !params) {
            Report("bad_call sink=%d dispid=%ld", number_, id);
            return S_OK;
        }
        const UINT expected = id == DISPID_BEFORENAVIGATE2 ? 7 : 2;
        if (params->cArgs != expected || params->cNamedArgs != 0) {
            Report("bad_args sink=%d dispid=%ld count=%u", number_, id, params->cArgs);
            return S_OK;
        }
        VARIANT* args = params->rgvarg;
        const VARIANT& disp = args[expected - 1];
        const std::wstring url = ByRefString(args[expected - 2]);
        if (disp.vt != VT_DISPATCH || !disp.pdispVal || url.empty()) {
            Report("bad_args sink=%d dispid=%ld pdisp_or_url", number_, id);
            return S_OK;
        }
        const char* target = SameObject(disp.pdispVal, control_) ? "top" : "frame";
        if (id == DISPID_BEFORENAVIGATE2) CheckBeforeNavigate(args, url);
        if (id == DISPID_DOCUMENTCOMPLETE) ++documentsCompleted;
        Report("event sink=%d dispid=%ld target=%s inside_navigate=%d url=%s", number_, id, target,
               insideNavigate_ ? 1 : 0, Utf8(url).c_str());
        return S_OK;
    }

private:
    // Any other event: its argument types in declaration order, its strings and
    // numbers; NewWindow3 is cancelled when the options say so.
    void ReportOther(DISPID id, DISPPARAMS* params) {
        if (!params || (params->cArgs && !params->rgvarg)) {
            Report("bad_call sink=%d dispid=%ld", number_, id);
            return;
        }
        std::string types;
        std::string values;
        for (UINT i = params->cArgs; i-- > 0;) {
            const VARIANT& v = params->rgvarg[i];
            char type[16];
            static_cast<void>(std::snprintf(type, sizeof type, "%s%x", types.empty() ? "" : ",", v.vt));
            types += type;
            if (v.vt == VT_BSTR) {
                values += " " + Utf8(v.bstrVal ? std::wstring(v.bstrVal, ::SysStringLen(v.bstrVal)) : L"");
            } else if (v.vt == VT_I4 || v.vt == VT_UI4) {
                values += " " + std::to_string(v.vt == VT_I4 ? static_cast<long long>(v.lVal) : v.ulVal);
            } else if (v.vt == VT_BOOL) {
                values += v.boolVal ? " true" : " false";
            } else if (v.vt == (VT_VARIANT | VT_BYREF) && v.pvarVal && v.pvarVal->vt == VT_I4) {
                values += " " + std::to_string(v.pvarVal->lVal);
            }
        }
        Report("other sink=%d dispid=%ld types=%s values=%s", number_, id, types.c_str(), values.c_str());
        if (id == DISPID_DOWNLOADCOMPLETE) ++downloadsCompleted;
        if (id == DISPID_NEWWINDOW3 && number_ == 1 && options_.cancelNewWindow && params->cArgs == 5 &&
            params->rgvarg[3].vt == (VT_BOOL | VT_BYREF)) {
            *params->rgvarg[3].pboolVal = VARIANT_TRUE;
        }
    }

    static std::wstring ByRefString(const VARIANT& v) {
        if (v.vt != (VT_VARIANT | VT_BYREF) || !v.pvarVal || v.pvarVal->vt != VT_BSTR) return {};
        const BSTR b = v.pvarVal->bstrVal;
        return b ? std::wstring(b, ::SysStringLen(b)) : std::wstring();
    }

    static bool SameObject(IUnknown* a, IUnknown* b) {
        fw::ComPtr<IUnknown> ua;
        fw::ComPtr<IUnknown> ub;
        a->QueryInterface(IID_IUnknown, ua.put_void());
        b->QueryInterface(IID_IUnknown, ub.put_void());
        return ua.get() == ub.get();
    }

    // PostData is a reference to a VT_VARIANT|VT_BYREF pointing at VT_EMPTY or a
    // byte array; the frame name and headers are null strings when there are none.
    void CheckBeforeNavigate(VARIANT* args, const std::wstring& url) {
        const auto byRef = [](const VARIANT& v, VARTYPE inner) {
            return v.vt == (VT_VARIANT | VT_BYREF) && v.pvarVal && v.pvarVal->vt == inner;
        };
        const VARIANT* post = byRef(args[2], VT_VARIANT | VT_BYREF) ? args[2].pvarVal->pvarVal : nullptr;
        const bool layout = byRef(args[4], VT_I4) && args[4].pvarVal->lVal == 0 && byRef(args[3], VT_BSTR) &&
                            post && (post->vt == VT_EMPTY || post->vt == (VT_ARRAY | VT_UI1)) &&
                            byRef(args[1], VT_BSTR) && args[0].vt == (VT_BOOL | VT_BYREF) && args[0].pboolVal;
        if (!layout) {
            Report("bad_args sink=%d dispid=250 layout", number_);
            return;
        }
        if (number_ == 1) {
            std::string body;
            if (post->vt == (VT_ARRAY | VT_UI1)) {
                const SAFEARRAY* array = post->parray;
                const auto* bytes = static_cast<const char*>(array->pvData);
                body.assign(bytes, array->rgsabound[0].cElements);
                Report("post_data dims=%u bytes=%s", array->cDims, body.c_str());
            }
            const BSTR headers = args[1].pvarVal->bstrVal;
            std::string text = Utf8(headers ? std::wstring(headers, ::SysStringLen(headers)) : L"");
            for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, "|");
            Report("headers %s %s", headers ? "set" : "null", text.c_str());
        }
        // The first sink sees the flag as the control set it; it alone decides.
        if (number_ != 1) return;
        if (*args[0].pboolVal != VARIANT_FALSE) Report("bad_args sink=1 dispid=250 cancel_preset");
        if (!options_.cancelWhen.empty() && url.find(options_.cancelWhen) != std::wstring::npos) {
            *args[0].pboolVal = VARIANT_TRUE;
        }
    }

    const int number_;
    const Options& options_;
    IUnknown* const control_;
    const bool& insideNavigate_;
};

bool Pump(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done()) return true;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 50)),
                                    QS_ALLINPUT);
    }
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
    if (argc < 2) return false;
    options.url = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--flags" && hasValue) {
            options.hostFlags = std::wcstoul(argv[++i], nullptr, 0);
        } else if (arg == L"--no-handler") {
            options.handler = false;
        } else if (arg == L"--menu-hr" && hasValue) {
            options.menuResult = static_cast<HRESULT>(std::wcstol(argv[++i], nullptr, 0));
        } else if (arg == L"--cancel" && hasValue) {
            options.cancelWhen = argv[++i];
        } else if (arg == L"--cancel-new-window") {
            options.cancelNewWindow = true;
        } else if (arg == L"--no-key-routing") {
            options.routeKeys = false;
        } else if (arg == L"--state" && hasValue) {
            const std::wstring hex = argv[++i];
            options.hasState = true;
            for (size_t k = 0; k + 1 < hex.size(); k += 2) {
                options.state.push_back(static_cast<BYTE>(std::wcstoul(hex.substr(k, 2).c_str(), nullptr, 16)));
            }
        } else if (arg.rfind(L"--", 0) == 0) {
            return false;
        } else {
            options.steps.push_back(arg);
        }
    }
    return true;
}

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

bool g_menuSeen = false;

void CALLBACK CheckForMenu(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    const HWND menu = ::FindWindowW(L"#32768", nullptr);
    if (menu && ::IsWindowVisible(menu)) {
        g_menuSeen = true;
        ::EndMenu();
    }
    ::KillTimer(hwnd, id);
}

class Host {
public:
    explicit Host(const Options& options) : options_(options) {}

    int Run() {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = HostProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = L"StandInBrowserSelfTestHost";
        ::RegisterClassExW(&wc);
        window_ = ::CreateWindowExW(0, wc.lpszClassName, L"stand-in browser self-test",
                                    WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 820, 640, nullptr, nullptr,
                                    wc.hInstance, nullptr);
        if (!window_) {
            Error("host window");
            return 2;
        }
        if (!Embed()) return 2;
        if (!Navigate(options_.url)) return 2;
        for (const std::wstring& step : options_.steps) {
            if (!RunStep(step)) return 2;
        }
        if (object_) Teardown();
        ::DestroyWindow(window_);
        Report("done");
        return 0;
    }

private:
    static bool Error(const char* what) {
        Report("error %s", what);
        return false;
    }

    bool Embed() {
        if (FAILED(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                      object_.put_void()))) {
            return Error("CoCreateInstance");
        }
        site_ = fw::MakeComObject<Site>(window_, options_);
        DWORD misc = 0;
        object_->GetMiscStatus(DVASPECT_CONTENT, &misc);
        Report("misc_status 0x%lx", misc);
        if (misc & OLEMISC_SETCLIENTSITEFIRST) object_->SetClientSite(site_.get());

        fw::ComPtr<IPersistStreamInit> persist;
        if (FAILED(object_.As(persist))) return Error("IPersistStreamInit");
        if (options_.hasState) {
            fw::ComPtr<IStream> stream;
            ::CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
            ULONG written = 0;
            stream->Write(options_.state.data(), static_cast<ULONG>(options_.state.size()), &written);
            const LARGE_INTEGER start{};
            stream->Seek(start, STREAM_SEEK_SET, nullptr);
            Report("load hr=0x%08lx", static_cast<unsigned long>(persist->Load(stream.get())));
        } else {
            persist->InitNew();
        }
        if (!(misc & OLEMISC_SETCLIENTSITEFIRST)) object_->SetClientSite(site_.get());

        RECT rect = kControlRect;
        if (FAILED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, window_, &rect))) {
            return Error("DoVerb");
        }
        fw::ComPtr<IOleInPlaceObject> inPlace;
        object_.As(inPlace);
        if (!inPlace || FAILED(inPlace->GetWindow(&control_))) return Error("IOleInPlaceObject::GetWindow");
        const LONG_PTR style = ::GetWindowLongPtrW(control_, GWL_STYLE);
        const LONG_PTR exStyle = ::GetWindowLongPtrW(control_, GWL_EXSTYLE);
        Report("control_window parent_ok=%d vscroll=%d client_edge=%d visible=%d", ::GetParent(control_) == window_,
               (style & WS_VSCROLL) != 0, (exStyle & WS_EX_CLIENTEDGE) != 0, (style & WS_VISIBLE) != 0);

        fw::ComPtr<IProvideClassInfo2> classInfo;
        IID source{};
        if (FAILED(object_.As(classInfo)) ||
            FAILED(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source))) {
            return Error("IProvideClassInfo2");
        }
        fw::ComPtr<IConnectionPointContainer> container;
        object_.As(container);
        if (!container || FAILED(container->FindConnectionPoint(source, point_.put()))) {
            return Error("FindConnectionPoint");
        }
        for (int i = 0; i < 2; ++i) {
            sinks_[i] = fw::MakeComObject<EventSink>(i + 1, options_, object_.get(), insideNavigate_);
            if (FAILED(point_->Advise(sinks_[i]->GetUnknown(), &cookies_[i]))) return Error("Advise");
        }
        Report("cookies_distinct %d", cookies_[0] != cookies_[1]);

        object_.As(dispatch_);
        LPOLESTR name[] = {const_cast<LPOLESTR>(L"Navigate")};
        DISPID id = 0;
        dispatch_->GetIDsOfNames(IID_NULL, name, 1, LOCALE_USER_DEFAULT, &id);
        Report("navigate_dispid %ld", id);
        return true;
    }

    // Navigate(URL) with every optional argument a reference to one empty VARIANT,
    // or with the ones given: "URL|FLAGS|TARGET|POST|HEADERS".
    bool Navigate(const std::wstring& arguments) {
        std::vector<std::wstring> fields;
        for (size_t start = 0;;) {
            const size_t bar = arguments.find(L'|', start);
            fields.push_back(arguments.substr(start, bar == std::wstring::npos ? std::wstring::npos : bar - start));
            if (bar == std::wstring::npos) break;
            start = bar + 1;
        }
        const std::wstring url = fields[0];
        VARIANT empty;
        ::VariantInit(&empty);
        VARIANT optional[4];  // Flags, TargetFrameName, PostData, Headers
        for (VARIANT& v : optional) ::VariantInit(&v);
        if (fields.size() == 5) {
            optional[0].vt = VT_I4;
            optional[0].lVal = std::wcstol(fields[1].c_str(), nullptr, 10);
            optional[1].vt = VT_BSTR;
            optional[1].bstrVal = ::SysAllocString(fields[2].c_str());
            const std::string post = Utf8(fields[3]);
            if (!post.empty()) {
                optional[2].vt = VT_ARRAY | VT_UI1;
                optional[2].parray = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(post.size()));
                void* data = nullptr;
                ::SafeArrayAccessData(optional[2].parray, &data);
                std::memcpy(data, post.data(), post.size());
                ::SafeArrayUnaccessData(optional[2].parray);
            }
            std::wstring headers = fields[4];
            for (size_t at; (at = headers.find(L"\\n")) != std::wstring::npos;) headers.replace(at, 2, L"\r\n");
            optional[3].vt = VT_BSTR;
            optional[3].bstrVal = ::SysAllocString(headers.c_str());
        }
        VARIANT args[5];
        for (int i = 0; i < 4; ++i) {
            ::VariantInit(&args[i]);
            args[i].vt = VT_VARIANT | VT_BYREF;
            args[i].pvarVal = fields.size() == 5 ? &optional[3 - i] : &empty;
        }
        ::VariantInit(&args[4]);
        args[4].vt = VT_BSTR;
        args[4].bstrVal = ::SysAllocString(url.c_str());
        DISPPARAMS params{args, nullptr, 5, 0};
        insideNavigate_ = true;
        const HRESULT hr =
            dispatch_->Invoke(kNavigate, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                              nullptr);
        insideNavigate_ = false;
        ::SysFreeString(args[4].bstrVal);
        for (VARIANT& v : optional) ::VariantClear(&v);
        Report("navigate hr=0x%08lx", static_cast<unsigned long>(hr));
        return SUCCEEDED(hr);
    }

    bool RunStep(const std::wstring& step) {
        const size_t colon = step.find(L':');
        const std::wstring verb = step.substr(0, colon);
        const std::wstring arg = colon == std::wstring::npos ? L"" : step.substr(colon + 1);
        if (verb == L"sleep") {
            Pump([] { return false; }, std::wcstoul(arg.c_str(), nullptr, 10));
            return true;
        }
        if (verb == L"hold") {
            ReportControlRect("ready");
            if (!Pump([&] { return ::GetFileAttributesW(arg.c_str()) != INVALID_FILE_ATTRIBUTES; }, 60000)) {
                return Error("hold timed out");
            }
            return true;
        }
        if (!object_) return Error("step after close");
        if (verb == L"docs" || verb == L"downloads") {
            const int wanted = std::wcstol(arg.c_str(), nullptr, 10);
            const int& count = verb == L"docs" ? sinks_[0]->documentsCompleted : sinks_[0]->downloadsCompleted;
            if (!Pump([&] { return count >= wanted; }, 30000)) return Error("timed out waiting for an event");
            return true;
        }
        if (verb == L"refresh") {
            DISPPARAMS none{};
            const HRESULT hr = dispatch_->Invoke(DISPID_REFRESH, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                                 &none, nullptr, nullptr, nullptr);
            Report("refresh hr=0x%08lx", static_cast<unsigned long>(hr));
            return true;
        }
        if (verb == L"navigate") return Navigate(arg);
        if (verb == L"location") {
            for (const auto& [name, id] : {std::pair<const char*, DISPID>{"url", 211}, {"name", 210}}) {
                DISPPARAMS none{};
                VARIANT result;
                ::VariantInit(&result);
                const HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                                     &result, nullptr, nullptr);
                Report("location_%s hr=0x%08lx %s", name, static_cast<unsigned long>(hr),
                       result.vt == VT_BSTR ? Utf8(std::wstring(result.bstrVal, ::SysStringLen(result.bstrVal))).c_str() : "-");
                ::VariantClear(&result);
            }
            return true;
        }
        if (verb == L"rightclick") {
            RECT r;
            ::GetWindowRect(control_, &r);
            g_menuSeen = false;
            ::SetTimer(window_, 1, 500, CheckForMenu);
            ::SendMessageW(control_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control_),
                           MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2));
            ::KillTimer(window_, 1);
            Report("menu_shown %d", g_menuSeen ? 1 : 0);
            return true;
        }
        if (verb == L"move") {
            RECT r{};
            if (std::swscanf(arg.c_str(), L"%ld,%ld,%ld,%ld", &r.left, &r.top, &r.right, &r.bottom) != 4) {
                return Error("move arguments");
            }
            r.right += r.left;
            r.bottom += r.top;
            fw::ComPtr<IOleInPlaceObject> inPlace;
            object_.As(inPlace);
            inPlace->SetObjectRects(&r, &r);
            return true;
        }
        if (verb == L"hide" || verb == L"show") {
            RECT rect = kControlRect;
            object_->DoVerb(verb == L"hide" ? OLEIVERB_HIDE : OLEIVERB_SHOW, nullptr, site_.get(), 0, window_, &rect);
            Report("%s visible=%d", Utf8(verb).c_str(), ::IsWindowVisible(control_) ? 1 : 0);
            return true;
        }
        if (verb == L"scroll") {
            SCROLLINFO before{};
            before.cbSize = sizeof before;
            before.fMask = SIF_ALL;
            if (!::GetScrollInfo(control_, SB_VERT, &before)) {
                Report("scroll none");
                return true;
            }
            ::SendMessageW(control_, WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), 0);
            SCROLLINFO after = before;
            ::GetScrollInfo(control_, SB_VERT, &after);
            Report("scroll max=%d page=%u before=%d after=%d", before.nMax, before.nPage, before.nPos, after.nPos);
            return true;
        }
        if (verb == L"unadvise") {
            Report("unadvise hr=0x%08lx", static_cast<unsigned long>(point_->Unadvise(cookies_[1])));
            Report("unadvise_again hr=0x%08lx", static_cast<unsigned long>(point_->Unadvise(cookies_[1])));
            cookies_[1] = 0;
            return true;
        }
        if (verb == L"close") {
            Teardown();
            return true;
        }
        if (verb == L"click" || verb == L"shiftclick") {
            POINT p{};
            if (std::swscanf(arg.c_str(), L"%ld,%ld", &p.x, &p.y) != 2) return Error("click arguments");
            const WPARAM shift = verb == L"shiftclick" ? MK_SHIFT : 0;
            ::SendMessageW(control_, WM_LBUTTONDOWN, MK_LBUTTON | shift, MAKELPARAM(p.x, p.y));
            ::SendMessageW(control_, WM_LBUTTONUP, shift, MAKELPARAM(p.x, p.y));
            Pump([] { return false; }, 50);
            return true;
        }
        if (verb == L"type" || verb == L"paste") {
            const std::wstring text = verb == L"type" ? arg : std::wstring(std::wcstoul(arg.c_str(), nullptr, 10), L'x');
            if (verb == L"paste") {
                ::OpenClipboard(window_);
                ::EmptyClipboard();
                const HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
                std::wcscpy(static_cast<wchar_t*>(::GlobalLock(memory)), text.c_str());
                ::GlobalUnlock(memory);
                ::SetClipboardData(CF_UNICODETEXT, memory);
                ::CloseClipboard();
                return Key(L"ctrl+V");
            }
            for (const wchar_t c : text) Deliver(MSG{::GetFocus(), WM_CHAR, c, 0, 0, {}});
            return true;
        }
        if (verb == L"key") return Key(arg);
        return Error("unknown step");
    }

    // What a container's loop does with a key: its active object first.
    bool Key(const std::wstring& chord) {
        static const std::pair<const wchar_t*, UINT> kNames[] = {
            {L"Tab", VK_TAB}, {L"Return", VK_RETURN}, {L"Escape", VK_ESCAPE}, {L"F5", VK_F5}, {L"F1", VK_F1},
            {L"BackSpace", VK_BACK}, {L"Delete", VK_DELETE}, {L"Left", VK_LEFT}, {L"Home", VK_HOME},
            {L"End", VK_END}, {L"A", 'A'}, {L"C", 'C'}, {L"V", 'V'}, {L"X", 'X'}};
        std::wstring name = chord;
        BYTE state[256] = {};
        for (const auto& [prefix, vk] : {std::pair<const wchar_t*, int>{L"shift+", VK_SHIFT}, {L"ctrl+", VK_CONTROL}}) {
            if (name.rfind(prefix, 0) == 0) {
                state[vk] = 0x80;
                name = name.substr(std::wcslen(prefix));
            }
        }
        UINT vk = 0;
        for (const auto& [n, code] : kNames) {
            if (name == n) vk = code;
        }
        if (!vk) return Error("unknown key");
        ::SetKeyboardState(state);
        const MSG msg{::GetFocus(), WM_KEYDOWN, vk, 1, 0, {}};
        IOleInPlaceActiveObject* active = options_.routeKeys ? site_->Active() : nullptr;
        const HRESULT hr = active ? active->TranslateAccelerator(const_cast<MSG*>(&msg)) : S_FALSE;
        Report("translate_accelerator key=%u hr=0x%08lx handler_saw=%d", vk, static_cast<unsigned long>(hr),
               site_->handlerKeys);
        if (hr != S_OK) {
            Deliver(msg);
            if (vk == VK_BACK) Deliver(MSG{msg.hwnd, WM_CHAR, L'\b', 0, 0, {}});
        }
        BYTE none[256] = {};
        ::SetKeyboardState(none);
        Pump([] { return false; }, 50);
        return true;
    }

    static void Deliver(const MSG& msg) { ::DispatchMessageW(&msg); }

    void ReportControlRect(const char* label) {
        RECT r{};
        if (control_ && ::IsWindow(control_)) ::GetWindowRect(control_, &r);
        Report("%s %ld %ld %ld %ld", label, r.left, r.top, r.right, r.bottom);
    }

    // The order a container tears a control down in.
    void Teardown() {
        {
            fw::ComPtr<IOleInPlaceObject> inPlace;
            object_.As(inPlace);
            inPlace->InPlaceDeactivate();
        }
        Report("window_destroyed %d", ::IsWindow(control_) ? 0 : 1);
        for (int i = 0; i < 2; ++i) {
            if (cookies_[i]) point_->Unadvise(cookies_[i]);
        }
        point_.reset();
        object_->SetClientSite(nullptr);
        object_->Close(OLECLOSE_NOSAVE);
        dispatch_.reset();
        Report("released refs=%lu", object_.detach()->Release());
    }

    const Options& options_;
    HWND window_ = nullptr;
    HWND control_ = nullptr;
    fw::ComPtr<IOleObject> object_;
    fw::ComPtr<IDispatch> dispatch_;
    fw::ComPtr<Site> site_;
    fw::ComPtr<IConnectionPoint> point_;
    fw::ComPtr<EventSink> sinks_[2];
    DWORD cookies_[2] = {0, 0};
    bool insideNavigate_ = false;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        Report("usage: standin-browser-host URL [options] STEP...");
        return 2;
    }
    if (FAILED(::OleInitialize(nullptr))) return 2;
    int code = 0;
    {
        Host host(options);
        code = host.Run();
    }
    ::OleUninitialize();
    return code;
}
