#pragma once
// The stand-in web-browser control: an in-place ActiveX control that a host
// drives through the standard OLE interfaces, Navigate (104), Refresh (-550),
// LocationURL (211) and LocationName (210) on IDispatch, and DWebBrowserEvents2
// through its connection point. A page that opens a new window gets one of the
// control's own: a top-level window no host sees.

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <mshtmhst.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/com.h"
#include "framework/handles.h"
#include "tools/standin-browser/event_connection_point.h"
#include "tools/standin-browser/fetch_worker.h"
#include "tools/standin-browser/html_page.h"
#include "tools/standin-browser/page_layout.h"

namespace standin {

struct WindowTraits {
    using Handle = HWND;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DestroyWindow(h); }
};
using Window = fw::UniqueHandle<WindowTraits>;

class BrowserControl final
    : public fw::ComObject<BrowserControl, IOleObject, IOleInPlaceObject, IOleInPlaceActiveObject,
                           IOleControl, IPersistStreamInit, IProvideClassInfo2,
                           IConnectionPointContainer, IDispatch> {
public:
    BrowserControl();
    bool QueryInterfaceExtra(REFIID riid, void** ppv);
    static void UnregisterWindowClasses();
    // Shows the control in a top-level window of its own, without a host, and
    // loads url there; the window keeps the control alive until it is closed.
    void OpenInOwnWindow(const std::wstring& url);

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject** data) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD, LPOLESTR* name) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink*, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD) override { return S_OK; }
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow, shared by IOleInPlaceObject and IOleInPlaceActiveObject
    STDMETHODIMP GetWindow(HWND* hwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceObject
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }

    // IOleInPlaceActiveObject
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG*) override { return E_NOTIMPL; }
    STDMETHODIMP OnAmbientPropertyChange(DISPID) override { return S_OK; }
    STDMETHODIMP FreezeEvents(BOOL) override { return S_OK; }

    // IPersistStreamInit
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(IStream* stream) override;
    STDMETHODIMP Save(IStream*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP InitNew() override;

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    // IDispatch: Navigate and Refresh
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT* argError) override;

private:
    using Base = fw::ComObject<BrowserControl, IOleObject, IOleInPlaceObject, IOleInPlaceActiveObject,
                               IOleControl, IPersistStreamInit, IProvideClassInfo2,
                               IConnectionPointContainer, IDispatch>;
    friend Base;
    ~BrowserControl() override;

    static constexpr int kTopLevel = -1;
    static constexpr DISPID kDispidNavigate = 104;
    static constexpr UINT_PTR kMetaRefreshTimer = 1;
    static constexpr UINT kFetchDoneMessage = WM_APP + 1;

    // What a navigation asks the server for.
    struct Request {
        std::wstring url;
        std::optional<std::string> postBody;  // a POST when set
        std::wstring headers;                 // extra request headers, CRLF-terminated
    };
    struct FrameSlot {
        FrameRef ref;
        fw::ComPtr<IDispatch> dispatch;
        std::wstring url;
        std::optional<Page> page;
        WPARAM job = 0;
        unsigned serial = 0;  // changes whenever the frame's document does
        bool loaded = false;  // its first document has completed, failed or been cancelled
    };
    struct PendingFetch {
        std::shared_ptr<FetchJob> job;
        Request request;
        int frame;
        bool refresh;  // no BeforeNavigate2, NavigateComplete2 or DocumentComplete
    };
    struct WindowState {
        RECT rect;
        bool visible;
        bool shown;
    };

    // Activation (browser_control.cpp)
    HRESULT ActivateInPlace(bool uiActivate);
    void QueryHostInfo();
    void ApplyHostStyles();
    static LRESULT CALLBACK OwnWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // Navigation (browser_navigation.cpp)
    HRESULT InvokeNavigate(const DISPPARAMS& params, UINT* argError);
    void StartNavigation(const Request& request, int frame, bool refresh = false);
    // Where a link or Navigate aims: "" or _self the frame itself, _top or _parent
    // the page, a frame's name that frame; any other name a new window.
    void NavigateTarget(const Request& request, int fromFrame, const std::wstring& target, bool newWindow,
                        DWORD newWindowFlags);
    void OpenNewWindow(const std::wstring& url, DWORD flags);
    void Refresh();
    void OnFetchDone(WPARAM id);
    void CompleteTopLevel(const Request& request, const FetchResult& result, bool refresh);
    void CompleteFrame(size_t frame, const Request& request, const FetchResult& result, bool refresh);
    void CompleteDocumentIfLoaded();
    void ResolveExternals(int frame);
    std::optional<std::wstring> ExternalValue(const std::wstring& name);
    bool FireBeforeNavigate(IDispatch* target, const Request& request, const std::wstring& frameName, bool frame);
    bool FireNavigateError(IDispatch* target, const std::wstring& url, const std::wstring& frameName,
                           const FetchResult& result, bool frame);
    void LogCookies(const std::wstring& url, const FetchResult& result);
    void FireNavigationEvent(DISPID event, IDispatch* target, const std::wstring& url, bool frame);
    void FireSimpleEvent(DISPID event, const char* name, VARIANT* args, UINT count);
    void FireDownload(bool begin);
    void FireProgress(long progress, long progressMax);
    void FireTitle();
    void FireCommandState(long command, bool enabled);
    Page* PageOf(int frame);
    const std::wstring& AddressOf(int frame) const;
    void OnMetaRefreshTimer();

    // The windows (browser_view.cpp)
    static LRESULT CALLBACK ViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK NotifyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static void RegisterWindowClasses();
    void CreateNotifyWindow();
    bool CreateView(HWND parent, const RECT& position);
    LRESULT OnViewMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Relayout();
    void Paint(HWND hwnd);
    void ScrollTo(int y);
    void OnScroll(WORD request);
    void OnMouseDown(POINT client);
    void OnClick(POINT client, bool shift);
    void OnFocusChange(bool gained);
    void LogElements();

    // The keyboard and forms (browser_keys.cpp)
    std::vector<size_t> FocusableItems() const;
    const LayoutItem* FocusedItem() const;
    FormField* FocusedField();
    void SetFocusOrdinal(int ordinal);
    bool MoveFocus(bool back);
    bool ActivateFocused();
    void FollowLink(const LayoutItem& link, bool shift);
    HRESULT HandToSite(MSG* msg);
    bool EditField(FormField& field, WPARAM key, bool ctrl, bool shift);
    void OnChar(wchar_t c);
    void ReplaceSelection(FormField& field, std::wstring_view text);
    void CopySelection(const FormField& field) const;
    void LogEdit(const FormField& field);
    void Submit(size_t form, const FormField* submitter);
    void OnContextMenu(POINT screen);
    void LogWindowState(HWND hwnd, bool visible);
    bool Scrollable() const { return (hostFlags_ & DOCHOSTUIFLAG_SCROLL_NO) == 0; }

    const int instance_;
    EventConnectionPoint events_;
    fw::ComPtr<IOleClientSite> clientSite_;
    fw::ComPtr<IDocHostUIHandler> uiHandler_;
    DWORD hostFlags_ = 0;
    fw::ComPtr<IOleInPlaceSite> inPlaceSite_;
    fw::ComPtr<IOleInPlaceFrame> inPlaceFrame_;
    fw::ComPtr<IOleInPlaceUIWindow> inPlaceUiWindow_;
    bool uiActive_ = false;
    SIZEL extent_;
    std::vector<BYTE> persisted_;

    // The top-level document and its frames; the request that brought the
    // document, which a refresh repeats (a POST posts again).
    std::wstring url_;
    Request documentRequest_;
    Page page_;
    bool hadDocument_ = false;
    bool documentPending_ = false;  // DocumentComplete waits for the frames' first documents
    bool refreshing_ = false;       // the pending document is a refresh
    std::vector<FrameSlot> frames_;
    unsigned documentSerial_ = 0;  // changes whenever the top-level document does
    unsigned paintedSerial_ = 0;   // the document whose first paint was logged
    std::map<WPARAM, PendingFetch> pending_;
    WPARAM topJob_ = 0;
    std::wstring metaRefreshUrl_;

    // Receives fetch results and the meta-refresh timer, active or not.
    Window notify_;
    // The top-level window a control opened for a page's new window shows in.
    Window ownWindow_;
    // The in-place window, while active.
    Window view_;
    std::unique_ptr<PageFonts> fonts_;
    PageLayout layout_;
    int scrollY_ = 0;
    std::optional<WindowState> loggedWindow_;
    // The focused element, counted among FocusableItems(), or -1; and whether
    // the view itself has the keyboard focus.
    int focus_ = -1;
    bool hasFocus_ = false;
    std::wstring loggedElements_;
};

}  // namespace standin
