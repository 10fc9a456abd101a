// Navigation: BeforeNavigate2 on the caller's thread, the fetch on a worker,
// then NavigateComplete2, window.external and DocumentComplete back on the
// window's thread, followed by the document's frames and meta refresh.

#include <exdisp.h>
#include <exdispid.h>

#include <algorithm>
#include <atomic>

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

VARIANT ByRef(VARIANT* target) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_VARIANT | VT_BYREF;
    v.pvarVal = target;
    return v;
}

VARIANT DispatchArg(IDispatch* target) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = target;
    return v;
}

}  // namespace

void BrowserControl::StartNavigation(const std::wstring& url, int frame, bool silent,
                                     const std::optional<std::string>& postBody) {
    const auto keepAlive = fw::ComPtr<IUnknown>::Retain(GetUnknown());
    const bool isFrame = frame != kTopLevel;
    if (!silent) {
        const unsigned serial = documentSerial_;
        const auto target = fw::ComPtr<IDispatch>::Retain(
            isFrame ? frames_[static_cast<size_t>(frame)].dispatch.get() : static_cast<IDispatch*>(this));
        const std::wstring frameName = isFrame ? frames_[static_cast<size_t>(frame)].ref.name : L"";
        if (FireBeforeNavigate(target.get(), url, frameName, isFrame, postBody)) return;
        // A host that pumps messages in the event may have let another document
        // replace the one this frame belonged to.
        if (isFrame && serial != documentSerial_) return;
    }

    auto job = std::make_shared<FetchJob>();
    job->request.url = url;
    job->request.post = postBody.has_value();
    if (postBody) job->request.postBody = *postBody;
    job->request.reload = silent && !isFrame;
    const WPARAM id = NextJobId();
    pending_[id] = PendingFetch{job, url, frame, silent};
    if (isFrame) {
        frames_[static_cast<size_t>(frame)].job = id;
    } else {
        // A new top-level navigation stops whatever the current document still loads.
        topJob_ = id;
        ++documentSerial_;
        ::KillTimer(notify_.get(), kMetaRefreshTimer);
        for (auto& slot : frames_) slot.job = 0;
    }

    if (IsAboutBlank(url)) {
        job->result.ok = true;
        ::PostMessageW(notify_.get(), kFetchDoneMessage, id, 0);
    } else if (!StartFetch(job, notify_.get(), kFetchDoneMessage, id)) {
        job->result.reason = L"The download could not be started.";
        ::PostMessageW(notify_.get(), kFetchDoneMessage, id, 0);
    }
}

void BrowserControl::Refresh() {
    LogLine(instance_, "refresh").Write();
    if (!url_.empty()) StartNavigation(url_, kTopLevel, true);
}

void BrowserControl::OnMetaRefreshTimer() {
    ::KillTimer(notify_.get(), kMetaRefreshTimer);
    StartNavigation(metaRefreshUrl_, kTopLevel, false);
}

void BrowserControl::OnFetchDone(WPARAM id) {
    const auto it = pending_.find(id);
    if (it == pending_.end()) return;
    const PendingFetch fetch = std::move(it->second);
    pending_.erase(it);
    LogCookies(fetch.url, fetch.job->result);
    if (fetch.frame == kTopLevel) {
        if (id != topJob_) return;
        topJob_ = 0;
        CompleteTopLevel(fetch.url, fetch.job->result, fetch.silent);
        return;
    }
    const auto index = static_cast<size_t>(fetch.frame);
    if (index >= frames_.size() || frames_[index].job != id) return;
    frames_[index].job = 0;
    CompleteFrame(index, fetch.url, fetch.job->result, fetch.silent);
}

// Every event may re-enter the control (a host navigating or closing it from a
// handler), so after each one the sequence goes on only if its document is
// still the current one.
void BrowserControl::CompleteTopLevel(const std::wstring& url, const FetchResult& result, bool silent) {
    const auto keepAlive = fw::ComPtr<IUnknown>::Retain(GetUnknown());
    url_ = url;
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
    const unsigned serial = ++documentSerial_;
    Relayout();

    IDispatch* const self = this;
    if (!silent) {
        FireNavigationEvent(DISPID_NAVIGATECOMPLETE2, self, url, false);
        if (serial != documentSerial_) return;
    }
    ResolveExternals(kTopLevel);
    if (serial != documentSerial_) return;
    Relayout();
    FireNavigationEvent(DISPID_DOCUMENTCOMPLETE, self, url, false);
    if (serial != documentSerial_) return;
    const auto& fields = page_.fields;
    const auto autofocus = std::find_if(fields.begin(), fields.end(), [](const FormField& f) { return f.autofocus; });
    if (autofocus != fields.end()) {
        const auto items = FocusableItems();
        for (size_t i = 0; i < items.size(); ++i) {
            const LayoutItem& item = layout_.items[items[i]];
            if (item.kind == ItemKind::Field && &fields[item.field] == &*autofocus) SetFocusOrdinal(static_cast<int>(i));
        }
    }

    for (size_t i = 0; i < frames_.size(); ++i) {
        const std::wstring& src = frames_[i].ref.src;
        StartNavigation(src.empty() ? L"about:blank" : ResolveUrl(url_, src), static_cast<int>(i), silent);
        if (serial != documentSerial_) return;
    }
    if (page_.refresh) {
        metaRefreshUrl_ = ResolveUrl(url_, page_.refresh->url);
        ::SetTimer(notify_.get(), kMetaRefreshTimer,
                   std::max<UINT>(page_.refresh->seconds * 1000, USER_TIMER_MINIMUM), nullptr);
    }
}

void BrowserControl::CompleteFrame(size_t frame, const std::wstring& url, const FetchResult& result,
                                   bool silent) {
    const auto keepAlive = fw::ComPtr<IUnknown>::Retain(GetUnknown());
    FrameSlot& slot = frames_[frame];
    slot.url = url;
    slot.page = result.ok ? ParseHtml(result.body) : ErrorPage(url, result.reason);
    const unsigned frameSerial = ++slot.serial;
    const unsigned serial = documentSerial_;
    const auto target = fw::ComPtr<IDispatch>::Retain(slot.dispatch.get());
    const auto current = [&] {
        return serial == documentSerial_ && frame < frames_.size() && frames_[frame].serial == frameSerial;
    };
    Relayout();

    if (!silent) {
        FireNavigationEvent(DISPID_NAVIGATECOMPLETE2, target.get(), url, true);
        if (!current()) return;
    }
    ResolveExternals(static_cast<int>(frame));
    if (!current()) return;
    Relayout();
    FireNavigationEvent(DISPID_DOCUMENTCOMPLETE, target.get(), url, true);
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
bool BrowserControl::FireBeforeNavigate(IDispatch* target, const std::wstring& url,
                                        const std::wstring& frameName, bool frame,
                                        const std::optional<std::string>& postBody) {
    Variant address = Variant::String(url);
    Variant flags = Variant::Int(0);
    Variant targetFrame = Variant::NullableString(frameName);
    Variant postBytes = postBody ? Variant::Bytes(*postBody) : Variant();
    VARIANT postData = ByRef(postBytes.get());
    Variant headers = Variant::NullableString(postBody ? kFormHeaders : L"");
    VARIANT_BOOL cancel = VARIANT_FALSE;

    VARIANT args[7];
    args[6] = DispatchArg(target);
    args[5] = ByRef(address.get());
    args[4] = ByRef(flags.get());
    args[3] = ByRef(targetFrame.get());
    args[2] = ByRef(&postData);
    args[1] = ByRef(headers.get());
    ::VariantInit(&args[0]);
    args[0].vt = VT_BOOL | VT_BYREF;
    args[0].pboolVal = &cancel;
    DISPPARAMS params{args, nullptr, 7, 0};
    LogLine line(instance_, "before_navigate");
    events_.Fire(DISPID_BEFORENAVIGATE2, params);

    const bool cancelled = cancel != VARIANT_FALSE;
    line.Str("url", url).Bool("frame", frame).Bool("cancelled", cancelled).Write();
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

}  // namespace standin
