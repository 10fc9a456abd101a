#include "tools/standin-browser/browser_control.h"

#include <exdisp.h>
#include <olectl.h>

#include <atomic>
#include <cwchar>

#include "tools/standin-browser/event_log.h"
#include "tools/standin-browser/guarded.h"
#include "tools/standin-browser/module.h"
#include "tools/standin-browser/ole_values.h"

namespace standin {

namespace {

constexpr DISPID kDispidLocationName = 210;
constexpr DISPID kDispidLocationUrl = 211;

// 300 x 150 pixels at 96 dpi, in HIMETRIC.
constexpr SIZEL kDefaultExtent = {7938, 3969};

int NextInstance() {
    static std::atomic<int> count{0};
    return ++count;
}

std::wstring Hex(const std::vector<BYTE>& bytes) {
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring out;
    out.reserve(bytes.size() * 2);
    for (const BYTE b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

}  // namespace

BrowserControl::BrowserControl() : instance_(NextInstance()), events_(*this), extent_(kDefaultExtent) {
    LockModule();
    CreateNotifyWindow();
    LogLine(instance_, "created").Write();
}

BrowserControl::~BrowserControl() {
    // The windows call back into this object, so they go while it is whole.
    view_.reset();
    notify_.reset();
    UnlockModule();
}

bool BrowserControl::QueryInterfaceExtra(REFIID riid, void** ppv) {
    if (riid == IID_IOleWindow) {
        *ppv = static_cast<IOleInPlaceObject*>(this);
    } else if (riid == IID_IPersist) {
        *ppv = static_cast<IPersistStreamInit*>(this);
    } else if (riid == IID_IProvideClassInfo) {
        *ppv = static_cast<IProvideClassInfo2*>(this);
    } else {
        return false;
    }
    return true;
}

// IOleObject

STDMETHODIMP BrowserControl::SetClientSite(IOleClientSite* site) {
    return Guarded([&] {
        clientSite_ = fw::ComPtr<IOleClientSite>::Retain(site);
        uiHandler_.reset();
        if (clientSite_) {
            clientSite_.As(uiHandler_);
            QueryHostInfo();
        }
        return S_OK;
    });
}

// The view's border and scroll bar follow the host's latest answer.
void BrowserControl::ApplyHostStyles() {
    if (!view_) return;
    const HWND hwnd = view_.get();
    const LONG_PTR style = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
    const LONG_PTR exStyle = ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    ::SetWindowLongPtrW(hwnd, GWL_STYLE, Scrollable() ? style | WS_VSCROLL : style & ~static_cast<LONG_PTR>(WS_VSCROLL));
    ::SetWindowLongPtrW(hwnd, GWL_EXSTYLE, (hostFlags_ & DOCHOSTUIFLAG_NO3DBORDER)
                                               ? exStyle & ~static_cast<LONG_PTR>(WS_EX_CLIENTEDGE)
                                               : exStyle | WS_EX_CLIENTEDGE);
    ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void BrowserControl::QueryHostInfo() {
    hostFlags_ = 0;
    if (!uiHandler_) return;
    DOCHOSTUIINFO info{};
    info.cbSize = sizeof info;
    if (SUCCEEDED(uiHandler_->GetHostInfo(&info))) hostFlags_ = info.dwFlags;
    ::CoTaskMemFree(info.pchHostCss);
    ::CoTaskMemFree(info.pchHostNS);
    LogLine(instance_, "host_info").Int("flags", hostFlags_).Write();
}

STDMETHODIMP BrowserControl::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    *site = fw::ComPtr<IOleClientSite>::Retain(clientSite_.get()).detach();
    return S_OK;
}

STDMETHODIMP BrowserControl::Close(DWORD) {
    return Guarded([&] {
        const auto keepAlive = fw::ComPtr<IUnknown>::Retain(GetUnknown());
        InPlaceDeactivate();
        ::KillTimer(notify_.get(), kMetaRefreshTimer);
        pending_.clear();
        topJob_ = 0;
        ++documentSerial_;
        events_.Clear();
        uiHandler_.reset();
        clientSite_.reset();
        return S_OK;
    });
}

STDMETHODIMP BrowserControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP BrowserControl::GetClipboardData(DWORD, IDataObject** data) {
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP BrowserControl::DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) {
    return Guarded([&] {
        switch (verb) {
        case OLEIVERB_INPLACEACTIVATE:
            return ActivateInPlace(false);
        case OLEIVERB_UIACTIVATE:
            return ActivateInPlace(true);
        case OLEIVERB_SHOW: {
            // The real control UI-activates on Show, and takes the focus.
            const HRESULT hr = ActivateInPlace(true);
            if (SUCCEEDED(hr)) ::ShowWindow(view_.get(), SW_SHOW);
            return hr;
        }
        case OLEIVERB_HIDE:
            if (view_) ::ShowWindow(view_.get(), SW_HIDE);
            return S_OK;
        default:
            return E_NOTIMPL;
        }
    });
}

STDMETHODIMP BrowserControl::EnumVerbs(IEnumOLEVERB** verbs) {
    if (verbs) *verbs = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP BrowserControl::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

STDMETHODIMP BrowserControl::GetUserType(DWORD, LPOLESTR* name) {
    if (name) *name = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP BrowserControl::SetExtent(DWORD aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return E_NOTIMPL;
    extent_ = *size;
    return S_OK;
}

STDMETHODIMP BrowserControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return E_NOTIMPL;
    *size = extent_;
    return S_OK;
}

// Accepted and never used: the control sends no view or data notifications.
STDMETHODIMP BrowserControl::Advise(IAdviseSink*, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 1;
    return S_OK;
}

STDMETHODIMP BrowserControl::EnumAdvise(IEnumSTATDATA** advise) {
    if (advise) *advise = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP BrowserControl::GetMiscStatus(DWORD, DWORD* status) {
    if (!status) return E_POINTER;
    *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
              OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
    return S_OK;
}

// In-place activation

HRESULT BrowserControl::ActivateInPlace(bool uiActivate) {
    if (!view_) {
        if (!clientSite_) return E_UNEXPECTED;
        fw::ComPtr<IOleInPlaceSite> site;
        if (FAILED(clientSite_.As(site))) return E_NOINTERFACE;
        if (site->CanInPlaceActivate() != S_OK) return E_FAIL;
        if (FAILED(site->OnInPlaceActivate())) return E_FAIL;
        HWND parent = nullptr;
        RECT position{};
        RECT clip{};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        fw::ComPtr<IOleInPlaceFrame> frame;
        fw::ComPtr<IOleInPlaceUIWindow> uiWindow;
        if (FAILED(site->GetWindow(&parent)) ||
            FAILED(site->GetWindowContext(frame.put(), uiWindow.put(), &position, &clip, &frameInfo)) ||
            !CreateView(parent, position)) {
            site->OnInPlaceDeactivate();
            return E_FAIL;
        }
        inPlaceSite_ = std::move(site);
        inPlaceFrame_ = std::move(frame);
        inPlaceUiWindow_ = std::move(uiWindow);
    }
    // A control in a window of its own has no site to UI-activate in.
    if (uiActivate && !uiActive_ && inPlaceSite_) {
        uiActive_ = true;
        inPlaceSite_->OnUIActivate();
        IOleInPlaceActiveObject* active = this;
        if (inPlaceFrame_) inPlaceFrame_->SetActiveObject(active, nullptr);
        if (inPlaceUiWindow_) inPlaceUiWindow_->SetActiveObject(active, nullptr);
        ::SetFocus(view_.get());
    }
    return S_OK;
}

STDMETHODIMP BrowserControl::GetWindow(HWND* hwnd) {
    if (!hwnd) return E_POINTER;
    *hwnd = view_.get();
    return view_ ? S_OK : E_FAIL;
}

STDMETHODIMP BrowserControl::UIDeactivate() {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (inPlaceFrame_) inPlaceFrame_->SetActiveObject(nullptr, nullptr);
    if (inPlaceUiWindow_) inPlaceUiWindow_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

STDMETHODIMP BrowserControl::InPlaceDeactivate() {
    return Guarded([&] {
        const auto keepAlive = fw::ComPtr<IUnknown>::Retain(GetUnknown());
        UIDeactivate();
        if (!inPlaceSite_) return S_OK;
        view_.reset();
        fonts_.reset();
        loggedWindow_.reset();
        inPlaceFrame_.reset();
        inPlaceUiWindow_.reset();
        const fw::ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
        site->OnInPlaceDeactivate();
        return S_OK;
    });
}

STDMETHODIMP BrowserControl::SetObjectRects(LPCRECT position, LPCRECT) {
    if (!position) return E_POINTER;
    if (!view_) return E_UNEXPECTED;
    ::SetWindowPos(view_.get(), nullptr, position->left, position->top, position->right - position->left,
                   position->bottom - position->top, SWP_NOZORDER | SWP_NOACTIVATE);
    return S_OK;
}

// IOleControl

STDMETHODIMP BrowserControl::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

// IPersistStreamInit

STDMETHODIMP BrowserControl::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_WebBrowser;
    return S_OK;
}

STDMETHODIMP BrowserControl::Load(IStream* stream) {
    return Guarded([&] {
        if (!stream) return E_POINTER;
        std::vector<BYTE> bytes;
        BYTE buffer[4096];
        for (;;) {
            ULONG got = 0;
            const HRESULT hr = stream->Read(buffer, sizeof buffer, &got);
            if (FAILED(hr)) return hr;
            if (got == 0) break;
            bytes.insert(bytes.end(), buffer, buffer + got);
        }
        persisted_ = std::move(bytes);
        LogLine(instance_, "load").Str("bytes", Hex(persisted_)).Write();
        return S_OK;
    });
}

STDMETHODIMP BrowserControl::InitNew() {
    persisted_.clear();
    return S_OK;
}

// IProvideClassInfo2

STDMETHODIMP BrowserControl::GetClassInfo(ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP BrowserControl::GetGUID(DWORD kind, GUID* guid) {
    if (!guid) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
    *guid = DIID_DWebBrowserEvents2;
    return S_OK;
}

// IConnectionPointContainer

STDMETHODIMP BrowserControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (points) *points = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP BrowserControl::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (riid != DIID_DWebBrowserEvents2) return CONNECT_E_NOCONNECTION;
    events_.AddRef();
    *point = &events_;
    return S_OK;
}

// IDispatch

STDMETHODIMP BrowserControl::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP BrowserControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP BrowserControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        static const std::pair<const wchar_t*, DISPID> kMembers[] = {
            {L"Navigate", kDispidNavigate},
            {L"Refresh", DISPID_REFRESH},
            {L"LocationName", kDispidLocationName},
            {L"LocationURL", kDispidLocationUrl}};
        for (const auto& [name, id] : kMembers) {
            if (i == 0 && names[0] && _wcsicmp(names[0], name) == 0) ids[0] = id;
        }
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

STDMETHODIMP BrowserControl::Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                    VARIANT* result, EXCEPINFO*, UINT* argError) {
    return Guarded([&] {
        if (result) ::VariantInit(result);
        const UINT argc = params ? params->cArgs : 0;
        if (member == kDispidLocationUrl || member == kDispidLocationName) {
            if (!(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
            result->vt = VT_BSTR;
            const std::wstring& title = page_.title.empty() ? url_ : page_.title;
            result->bstrVal = Bstr(member == kDispidLocationUrl ? url_ : title).detach();
            return S_OK;
        }
        if (member != kDispidNavigate && member != DISPID_REFRESH) return DISP_E_MEMBERNOTFOUND;
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (member == DISPID_REFRESH) {
            if (argc != 0) return DISP_E_BADPARAMCOUNT;
            Refresh();
            return S_OK;
        }
        return params ? InvokeNavigate(*params, argError) : DISP_E_BADPARAMCOUNT;
    });
}

}  // namespace standin
