// Navigation: BeforeNavigate2 and DownloadBegin on the caller's thread, the
// fetch on a worker, then back on the window's thread NavigateComplete2,
// TitleChange and window.external, the document's frames (each with its own
// BeforeNavigate2 ... DocumentComplete), and only once every frame has its
// first document DownloadComplete and the page's DocumentComplete. A refresh
// fires none of BeforeNavigate2, NavigateComplete2 and DocumentComplete.

#include <exdisp.h>
#include <exdispid.h>

#include <algorithm>
#include <atomic>
#include <cwctype>

#include "tools/standin-browser/browser_control.h"
#include "tools/standin-browser/event_log.h"
#include "tools/standin-browser/frame_dispatch.h"
#include "tools/standin-browser/ole_values.h"
#include "tools/standin-browser/url.h"

namespace standin {

namespace {

// Unique across all controls, so a stale result can never be taken for a current one.
WPARAM NextJobId() {
    static std::atomic<WPARAM> last{0};
    return ++last;
}

constexpr wchar_t kFormHeaders[] = L"Content-Type: application/x-www-form-urlencoded\r\n";
constexpr DISPID kDispidNavigateError = 271;  // DISPID_NAVIGATEERROR
constexpr DISPID kDispidNewWindow3 = 273;     // DISPID_NEWWINDOW3
constexpr long kNavOpenInNewWindow = 1;       // BrowserNavConstants
// NWMF_USERINITED | NWMF_FIRST: a new window the user's click asked for.
constexpr DWORD kNewWindowFromClick = 0x2 | 0x4;
constexpr DWORD kNewWindowForced = 0x10000;   // NWMF_FORCEWINDOW: Shift held
// The status a failed fetch reports in NavigateError when no server answered.
constexpr long kInetCannotConnect = static_cast<long>(0x800C0004);  // INET_E_CANNOT_CONNECT

// An optional argument of Navigate: absent when VT_EMPTY, VT_ERROR or VT_NULL,
// and found behind VT_VARIANT|VT_BYREF as hosts pass it.
const VARIANT* OptionalArgument(const VARIANT& arg) {
    const VARIANT* v = &arg;
    if (v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal) v = v->pvarVal;
    if (v->vt == VT_EMPTY || v->vt == VT_ERROR || v->vt == VT_NULL) return nullptr;
    return v;
}

std::wstring StringOf(const VARIANT* v) {
    if (!v) return {};
    if (v->vt == VT_BSTR) return BstrText(v->bstrVal);
    if (v->vt == (VT_BSTR | VT_BYREF) && v->pbstrVal) return BstrText(*v->pbstrVal);
    return {};
}

long LongOf(const VARIANT* v) {
    Variant converted;
    if (!v || FAILED(::VariantChangeType(converted.get(), const_cast<VARIANT*>(v), 0, VT_I4))) return 0;
    return converted.get()->lVal;
}

// PostData: a byte array, possibly behind one more reference.
std::optional<std::string> BytesOf(const VARIANT* v) {
    if (v && v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal) v = v->pvarVal;
    if (!v || (v->vt & ~VT_BYREF) != (VT_ARRAY | VT_UI1)) return std::nullopt;
    SAFEARRAY* array = (v->vt & VT_BYREF) ? (v->pparray ? *v->pparray : nullptr) : v->parray;
    if (!array || ::SafeArrayGetDim(array) != 1) return std::nullopt;
    LONG low = 0;
    LONG high = -1;
    ::SafeArrayGetLBound(array, 1, &low);
    ::SafeArrayGetUBound(array, 1, &high);
    void* data = nullptr;
    if (FAILED(::SafeArrayAccessData(array, &data))) return std::nullopt;
    std::string bytes(static_cast<const char*>(data), static_cast<size_t>(std::max<LONG>(high - low + 1, 0)));
    ::SafeArrayUnaccessData(array);
    return bytes;
}

// The headers a request carries: the caller's, and a form's type for a post without one.
std::wstring RequestHeaders(const std::wstring& headers, bool post) {
    std::wstring lower(headers);
    for (auto& c : lower) c = static_cast<wchar_t>(std::towlower(c));
    if (!post || lower.find(L"content-type:") != std::wstring::npos) return headers;
    return headers + kFormHeaders;
}

// Argument VARIANTs that borrow what they point at; never cleared.
VARIANT Typed(VARTYPE vt) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = vt;
    return v;
}

VARIANT ByRef(VARIANT* target) {
    VARIANT v = Typed(VT_VARIANT | VT_BYREF);
    v.pvarVal = target;
    return v;
}

VARIANT CancelArg(VARIANT_BOOL* cancel) {
    VARIANT v = Typed(VT_BOOL | VT_BYREF);
    v.pboolVal = cancel;
    return v;
}

VARIANT LongArg(LONG value) {
    VARIANT v = Typed(VT_I4);
    v.lVal = value;
    return v;
}

VARIANT DispatchArg(IDispatch* target) {
    VARIANT v = Typed(VT_DISPATCH);
    v.pdispVal = target;
    return v;
}

}  // namespace

HRESULT BrowserControl::InvokeNavigate(const DISPPARAMS& params, UINT* argError) {
    // Navigate(URL, [Flags], [TargetFrameName], [PostData], [Headers]); arguments arrive last first.
    const UINT argc = params.cArgs;
    if (argc < 1 || argc > 5) return DISP_E_BADPARAMCOUNT;
    const auto argument = [&](UINT index) {
        return index < argc ? OptionalArgument(params.rgvarg[argc - 1 - index]) : nullptr;
    };
    const VARIANT* address = argument(0);
    if (!address || (address->vt != VT_BSTR && address->vt != (VT_BSTR | VT_BYREF))) {
        if (argError) *argError = argc - 1;
        return DISP_E_TYPEMISMATCH;
    }
    Request request;
    request.url = StringOf(address);
    const long flags = LongOf(argument(1));
    const std::wstring target = StringOf(argument(2));
    request.postBody = BytesOf(argument(3));
    request.headers = StringOf(argument(4));
    const auto keepAlive = fw::ComPtr<IUnknown>::Retain(GetUnknown());
    LogLine(instance_, "navigate")
        .Str("url", request.url)
        .Int("flags", flags)
        .Str("target", target)
        .OptionalStr("post", request.postBody ? std::optional<std::wstring>(std::wstring(
                                                    request.postBody->begin(), request.postBody->end()))
                                              : std::nullopt)
        .Str("headers", request.headers)
        .Write();
    NavigateTarget(request, kTopLevel, target, (flags & kNavOpenInNewWindow) != 0, 0);
    return S_OK;
}

void BrowserControl::NavigateTarget(const Request& request, int fromFrame, const std::wstring& target,
                                    bool newWindow, DWORD newWindowFlags) {
    if (!newWindow) {
        if (target.empty() || _wcsicmp(target.c_str(), L"_self") == 0) return StartNavigation(request, fromFrame);
        if (_wcsicmp(target.c_str(), L"_top") == 0 || _wcsicmp(target.c_str(), L"_parent") == 0) {
            return StartNavigation(request, kTopLevel);
        }
        for (size_t i = 0; i < frames_.size(); ++i) {
            if (!frames_[i].ref.name.empty() && frames_[i].ref.name == target) {
                return StartNavigation(request, static_cast<int>(i));
            }
        }
    }
    OpenNewWindow(request.url, newWindowFlags);
}

// A link with a target naming no frame, and any link clicked with Shift, opens a new window.
void BrowserControl::FollowLink(const LayoutItem& link, bool shift) {
    // Copied out: the navigation may lay the page out again.
    const int frame = link.frame;
    const std::wstring target = link.target;
    const Request request{ResolveUrl(AddressOf(frame), link.href), std::nullopt, L""};
    NavigateTarget(request, frame, target, shift, kNewWindowFromClick | (shift ? kNewWindowForced : 0));
}

// NewWindow3 alone, as the control has fired since XP SP2 (never NewWindow2);
// a host that hands back a browser of its own in ppDisp gets the address
// navigated there, else the control opens a window of its own.
void BrowserControl::OpenNewWindow(const std::wstring& url, DWORD flags) {
    const auto keepAlive = fw::ComPtr<IUnknown>::Retain(GetUnknown());
    IDispatch* supplied = nullptr;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT browserArg = Typed(VT_DISPATCH | VT_BYREF);
    browserArg.ppdispVal = &supplied;
    Variant context = Variant::String(url_);
    Variant address = Variant::String(url);
    VARIANT flagsArg = Typed(VT_UI4);
    flagsArg.ulVal = flags;
    // Arguments go last first: NewWindow3(ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl).
    VARIANT args[5] = {*address.get(), *context.get(), flagsArg, CancelArg(&cancel), browserArg};
    DISPPARAMS params{args, nullptr, 5, 0};
    events_.Fire(kDispidNewWindow3, params);
    const fw::ComPtr<IDispatch> hostBrowser(supplied);  // the host's reference, now ours
    const bool cancelled = cancel != VARIANT_FALSE;
    LogLine(instance_, "new_window")
        .Str("url", url)
        .Int("flags", flags)
        .Bool("cancelled", cancelled)
        .Bool("host_browser", hostBrowser.get() != nullptr)
        .Write();
    if (cancelled) return;
    if (hostBrowser) {
        DISPPARAMS navigate{address.get(), nullptr, 1, 0};
        hostBrowser->Invoke(kDispidNavigate, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &navigate, nullptr,
                            nullptr, nullptr);
        return;
    }
    fw::MakeComObject<BrowserControl>()->OpenInOwnWindow(url);
}

void BrowserControl::StartNavigation(const Request& request, int frame, bool refresh) {
    const auto keepAlive = fw::ComPtr<IUnknown>::Retain(GetUnknown());
    const bool isFrame = frame != kTopLevel;
    const unsigned serial = documentSerial_;
    if (!refresh) {
        // A frame's object is held through the event: the host may replace the frames.
        const auto frameObject =
            isFrame ? fw::ComPtr<IDispatch>::Retain(frames_[static_cast<size_t>(frame)].dispatch.get())
                    : fw::ComPtr<IDispatch>();
        IDispatch* const target = isFrame ? frameObject.get() : static_cast<IDispatch*>(this);
        const std::wstring frameName = isFrame ? frames_[static_cast<size_t>(frame)].ref.name : L"";
        const bool cancelled = FireBeforeNavigate(target, request, frameName, isFrame);
        // A host that pumps messages in the event may have let another document
        // replace the one this frame belonged to.
        if (isFrame && serial != documentSerial_) return;
        if (cancelled) {
            if (isFrame) {
                frames_[static_cast<size_t>(frame)].loaded = true;
                CompleteDocumentIfLoaded();
            }
            return;
        }
    }

    auto job = std::make_shared<FetchJob>();
    job->request.url = request.url;
    job->request.post = request.postBody.has_value();
    if (request.postBody) job->request.postBody = *request.postBody;
    job->request.headers = RequestHeaders(request.headers, request.postBody.has_value());
    job->request.reload = refresh;
    const WPARAM id = NextJobId();
    pending_[id] = PendingFetch{job, request, frame, refresh};
    if (isFrame) {
        frames_[static_cast<size_t>(frame)].job = id;
    } else {
        // A new top-level navigation stops whatever the current document still loads.
        topJob_ = id;
        ++documentSerial_;
        documentPending_ = false;
        ::KillTimer(notify_.get(), kMetaRefreshTimer);
        for (auto& slot : frames_) slot.job = 0;
    }

    if (IsAboutBlank(request.url)) {
        job->result.ok = true;
        ::PostMessageW(notify_.get(), kFetchDoneMessage, id, 0);
    } else if (!StartFetch(job, notify_.get(), kFetchDoneMessage, id)) {
        job->result.reason = L"The download could not be started.";
        ::PostMessageW(notify_.get(), kFetchDoneMessage, id, 0);
    }
    if (!isFrame) FireDownload(true);
}

// The real control asks the user before it sends a form again; the stand-in
// logs that it would have asked, and posts.
void BrowserControl::Refresh() {
    LogLine(instance_, "refresh").Write();
    if (url_.empty()) return;
    if (documentRequest_.postBody) LogLine(instance_, "refresh_reposts").Str("url", url_).Write();
    StartNavigation(documentRequest_, kTopLevel, true);
}

void BrowserControl::OnMetaRefreshTimer() {
    ::KillTimer(notify_.get(), kMetaRefreshTimer);
    StartNavigation(Request{metaRefreshUrl_, std::nullopt, L""}, kTopLevel);
}

void BrowserControl::OnFetchDone(WPARAM id) {
    const auto it = pending_.find(id);
    if (it == pending_.end()) return;
    const PendingFetch fetch = std::move(it->second);
    pending_.erase(it);
    LogCookies(fetch.request.url, fetch.job->result);
    if (fetch.frame == kTopLevel) {
        if (id != topJob_) return;
        topJob_ = 0;
        CompleteTopLevel(fetch.request, fetch.job->result, fetch.refresh);
        return;
    }
    const auto index = static_cast<size_t>(fetch.frame);
    if (index >= frames_.size() || frames_[index].job != id) return;
    frames_[index].job = 0;
    CompleteFrame(index, fetch.request, fetch.job->result, fetch.refresh);
}

// Every event may re-enter the control (a host navigating or closing it from a
// handler), so after each one the sequence goes on only if its document is
// still the current one.
void BrowserControl::CompleteTopLevel(const Request& request, const FetchResult& result, bool refresh) {
    const auto keepAlive = fw::ComPtr<IUnknown>::Retain(GetUnknown());
    IDispatch* const self = this;
    // After the server's redirects the document is the last address's, fetched by GET
    // unless the post went through unredirected.
    const std::wstring url = result.finalUrl.empty() ? request.url : result.finalUrl;
    const unsigned serial = ++documentSerial_;
    if (!result.ok && !refresh && FireNavigateError(self, url, L"", result, false)) {
        if (serial == documentSerial_) FireDownload(false);
        return;
    }
    if (serial != documentSerial_) return;
    const bool firstDocument = !hadDocument_;
    hadDocument_ = true;
    url_ = url;
    documentRequest_ = request;
    documentRequest_.url = url;
    if (url != request.url) {
        documentRequest_.postBody.reset();
        documentRequest_.headers.clear();
    }
    page_ = result.ok ? ParseHtml(result.body) : ErrorPage(url, result.reason);
    frames_.clear();
    for (const FrameRef& ref : page_.frames) {
        FrameSlot slot;
        slot.ref = ref;
        slot.dispatch = fw::ComPtr<IDispatch>(fw::MakeComObject<FrameDispatch>().detach());
        frames_.push_back(std::move(slot));
    }
    scrollY_ = 0;
    focus_ = -1;
    // The host's UI settings are asked for again for every document after the first.
    if (!firstDocument) {
        QueryHostInfo();
        ApplyHostStyles();
        if (serial != documentSerial_) return;
    }
    Relayout();

    const long bytes = static_cast<long>(result.body.size());
    FireProgress(bytes, bytes);
    if (serial != documentSerial_) return;
    if (!refresh) {
        FireCommandState(CSC_NAVIGATEBACK, !firstDocument);
        if (serial != documentSerial_) return;
        FireNavigationEvent(DISPID_NAVIGATECOMPLETE2, self, url, false);
        if (serial != documentSerial_) return;
    }
    FireTitle();
    if (serial != documentSerial_) return;
    ResolveExternals(kTopLevel);
    if (serial != documentSerial_) return;
    Relayout();

    documentPending_ = true;
    refreshing_ = refresh;
    for (size_t i = 0; i < frames_.size(); ++i) {
        const std::wstring& src = frames_[i].ref.src;
        StartNavigation(Request{src.empty() ? L"about:blank" : ResolveUrl(url_, src), std::nullopt, L""},
                        static_cast<int>(i), refresh);
        if (serial != documentSerial_) return;
    }
    CompleteDocumentIfLoaded();
}

// The page's DocumentComplete comes last, after every frame's first document.
void BrowserControl::CompleteDocumentIfLoaded() {
    if (!documentPending_) return;
    for (const auto& slot : frames_) {
        if (!slot.loaded) return;
    }
    documentPending_ = false;
    const unsigned serial = documentSerial_;
    IDispatch* const self = this;
    FireDownload(false);
    if (serial != documentSerial_) return;
    FireProgress(-1, 0);
    if (serial != documentSerial_) return;
    if (!refreshing_) {
        FireNavigationEvent(DISPID_DOCUMENTCOMPLETE, self, url_, false);
        if (serial != documentSerial_) return;
    }
    const auto& fields = page_.fields;
    const auto autofocus = std::find_if(fields.begin(), fields.end(), [](const FormField& f) { return f.autofocus; });
    if (autofocus != fields.end()) {
        const auto items = FocusableItems();
        for (size_t i = 0; i < items.size(); ++i) {
            const LayoutItem& item = layout_.items[items[i]];
            if (item.kind == ItemKind::Field && &fields[item.field] == &*autofocus) SetFocusOrdinal(static_cast<int>(i));
        }
    }
    if (page_.refresh) {
        metaRefreshUrl_ = ResolveUrl(url_, page_.refresh->url);
        ::SetTimer(notify_.get(), kMetaRefreshTimer,
                   std::max<UINT>(page_.refresh->seconds * 1000, USER_TIMER_MINIMUM), nullptr);
    }
}

void BrowserControl::CompleteFrame(size_t frame, const Request& request, const FetchResult& result,
                                   bool refresh) {
    const auto keepAlive = fw::ComPtr<IUnknown>::Retain(GetUnknown());
    FrameSlot& slot = frames_[frame];
    const std::wstring url = result.finalUrl.empty() ? request.url : result.finalUrl;
    const unsigned frameSerial = ++slot.serial;
    const unsigned serial = documentSerial_;
    const auto target = fw::ComPtr<IDispatch>::Retain(slot.dispatch.get());
    const auto current = [&] {
        return serial == documentSerial_ && frame < frames_.size() && frames_[frame].serial == frameSerial;
    };
    const auto loaded = [&] {
        frames_[frame].loaded = true;
        CompleteDocumentIfLoaded();
    };
    if (!result.ok && !refresh && FireNavigateError(target.get(), url, slot.ref.name, result, true)) {
        if (current()) loaded();
        return;
    }
    if (!current()) return;
    frames_[frame].url = url;
    frames_[frame].page = result.ok ? ParseHtml(result.body) : ErrorPage(url, result.reason);
    Relayout();

    if (!refresh) {
        FireNavigationEvent(DISPID_NAVIGATECOMPLETE2, target.get(), url, true);
        if (!current()) return;
    }
    ResolveExternals(static_cast<int>(frame));
    if (!current()) return;
    Relayout();
    if (!refresh) {
        FireNavigationEvent(DISPID_DOCUMENTCOMPLETE, target.get(), url, true);
        if (!current()) return;
    }
    loaded();
}

Page* BrowserControl::PageOf(int frame) {
    if (frame == kTopLevel) return &page_;
    const auto index = static_cast<size_t>(frame);
    if (index >= frames_.size() || !frames_[index].page) return nullptr;
    return &*frames_[index].page;
}

const std::wstring& BrowserControl::AddressOf(int frame) const {
    return frame == kTopLevel ? url_ : frames_[static_cast<size_t>(frame)].url;
}

// What a page script reading window.external.NAME would see.
void BrowserControl::ResolveExternals(int frame) {
    const unsigned serial = documentSerial_;
    const unsigned frameSerial = frame == kTopLevel ? 0 : frames_[static_cast<size_t>(frame)].serial;
    const auto current = [&] {
        return serial == documentSerial_ &&
               (frame == kTopLevel || (static_cast<size_t>(frame) < frames_.size() &&
                                       frames_[static_cast<size_t>(frame)].serial == frameSerial));
    };
    for (size_t b = 0;; ++b) {
        const Page* page = PageOf(frame);
        if (!page || b >= page->blocks.size()) return;
        for (size_t r = 0; r < PageOf(frame)->blocks[b].runs.size(); ++r) {
            const std::wstring name = PageOf(frame)->blocks[b].runs[r].externalName;
            if (name.empty()) continue;
            const auto value = ExternalValue(name);
            LogLine(instance_, "external").Str("name", name).OptionalStr("value", value).Write();
            if (!current()) return;
            if (value) PageOf(frame)->blocks[b].runs[r].text = *value;
        }
    }
}

std::optional<std::wstring> BrowserControl::ExternalValue(const std::wstring& name) {
    if (!uiHandler_) return std::nullopt;
    const auto handler = fw::ComPtr<IDocHostUIHandler>::Retain(uiHandler_.get());
    fw::ComPtr<IDispatch> external;
    if (FAILED(handler->GetExternal(external.put())) || !external) return std::nullopt;
    const Bstr member(name);
    LPOLESTR names[] = {member.get()};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(external->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return std::nullopt;
    DISPPARAMS noArgs{};
    Variant result;
    if (FAILED(external->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &noArgs,
                                result.get(), nullptr, nullptr)) ||
        result.get()->vt != VT_BSTR) {
        return std::nullopt;
    }
    return BstrText(result.get()->bstrVal);
}

// The arguments as the real control passes them: the frame name and headers
// are null strings when there are none, and PostData is a reference to a
// VT_VARIANT|VT_BYREF that points at VT_EMPTY or at a byte SAFEARRAY.
bool BrowserControl::FireBeforeNavigate(IDispatch* target, const Request& request, const std::wstring& frameName,
                                        bool frame) {
    Variant address = Variant::String(request.url);
    Variant flags = Variant::Int(0);
    Variant targetFrame = Variant::NullableString(frameName);
    Variant postBytes = request.postBody ? Variant::Bytes(*request.postBody) : Variant();
    VARIANT postData = ByRef(postBytes.get());
    Variant headers = Variant::NullableString(RequestHeaders(request.headers, request.postBody.has_value()));
    VARIANT_BOOL cancel = VARIANT_FALSE;

    // Last argument first.
    VARIANT args[7] = {CancelArg(&cancel),           ByRef(headers.get()),    ByRef(&postData),
                       ByRef(targetFrame.get()), ByRef(flags.get()), ByRef(address.get()), DispatchArg(target)};
    DISPPARAMS params{args, nullptr, 7, 0};
    LogLine line(instance_, "before_navigate");
    events_.Fire(DISPID_BEFORENAVIGATE2, params);

    const bool cancelled = cancel != VARIANT_FALSE;
    line.Str("url", request.url).Bool("frame", frame).Bool("cancelled", cancelled).Write();
    return cancelled;
}

// NavigateError(pDisp, URL, Frame, StatusCode, Cancel): true when the host
// cancelled, and the error page is not shown.
bool BrowserControl::FireNavigateError(IDispatch* target, const std::wstring& url, const std::wstring& frameName,
                                       const FetchResult& result, bool frame) {
    Variant address = Variant::String(url);
    Variant targetFrame = Variant::NullableString(frameName);
    VARIANT status = LongArg(result.status != 0 ? static_cast<LONG>(result.status) : kInetCannotConnect);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args[5] = {CancelArg(&cancel), ByRef(&status), ByRef(targetFrame.get()), ByRef(address.get()),
                       DispatchArg(target)};
    DISPPARAMS params{args, nullptr, 5, 0};
    LogLine line(instance_, "navigate_error");
    events_.Fire(kDispidNavigateError, params);
    const bool cancelled = cancel != VARIANT_FALSE;
    line.Str("url", url).Bool("frame", frame).Int("status", status.lVal).Bool("cancelled", cancelled).Write();
    return cancelled;
}

void BrowserControl::LogCookies(const std::wstring& url, const FetchResult& result) {
    if (!result.cookieSent.empty()) LogLine(instance_, "cookie_sent").Str("url", url).Str("cookie", result.cookieSent).Write();
    for (const auto& cookie : result.cookiesReceived) {
        LogLine(instance_, "cookie_received").Str("url", url).Str("cookie", cookie).Write();
    }
}

void BrowserControl::FireNavigationEvent(DISPID event, IDispatch* target, const std::wstring& url, bool frame) {
    LogLine(instance_, event == DISPID_DOCUMENTCOMPLETE ? "document_complete" : "navigate_complete")
        .Str("url", url)
        .Bool("frame", frame)
        .Write();
    Variant address = Variant::String(url);
    VARIANT args[2];
    args[1] = DispatchArg(target);
    args[0] = ByRef(address.get());
    DISPPARAMS params{args, nullptr, 2, 0};
    events_.Fire(event, params);
}

// The events that carry no navigation, each logged by its name with its arguments.
void BrowserControl::FireSimpleEvent(DISPID event, const char* name, VARIANT* args, UINT count) {
    LogLine line(instance_, name);
    for (UINT i = count; i-- > 0;) {
        const VARIANT& arg = args[i];
        const std::string key = "arg" + std::to_string(count - 1 - i);
        if (arg.vt == VT_BSTR) {
            line.Str(key.c_str(), BstrText(arg.bstrVal));
        } else if (arg.vt == VT_BOOL) {
            line.Bool(key.c_str(), arg.boolVal != VARIANT_FALSE);
        } else {
            line.Int(key.c_str(), arg.lVal);
        }
    }
    line.Write();
    DISPPARAMS params{args, nullptr, count, 0};
    events_.Fire(event, params);
}

void BrowserControl::FireDownload(bool begin) {
    FireSimpleEvent(begin ? DISPID_DOWNLOADBEGIN : DISPID_DOWNLOADCOMPLETE,
                    begin ? "download_begin" : "download_complete", nullptr, 0);
}

// ProgressChange(Progress, ProgressMax); Progress is -1 once the page is done.
void BrowserControl::FireProgress(long progress, long progressMax) {
    VARIANT args[2] = {LongArg(progressMax), LongArg(progress)};
    FireSimpleEvent(DISPID_PROGRESSCHANGE, "progress_change", args, 2);
}

// TitleChange(Text): the page's title, or its address when it has none.
void BrowserControl::FireTitle() {
    Variant title = Variant::String(page_.title.empty() ? url_ : page_.title);
    FireSimpleEvent(DISPID_TITLECHANGE, "title_change", title.get(), 1);
}

// CommandStateChange(Command, Enable).
void BrowserControl::FireCommandState(long command, bool enabled) {
    VARIANT args[2] = {Typed(VT_BOOL), LongArg(command)};
    args[0].boolVal = enabled ? VARIANT_TRUE : VARIANT_FALSE;
    FireSimpleEvent(DISPID_COMMANDSTATECHANGE, "command_state_change", args, 2);
}

}  // namespace standin
