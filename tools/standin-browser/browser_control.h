#pragma once
// The stand-in web-browser control: an in-place ActiveX control that a host
// drives through the standard OLE interfaces, Navigate (104) and Refresh (-550)
// on IDispatch, and DWebBrowserEvents2 through its connection point.

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
    static constexpr UINT_PTR kMetaRefreshTimer = 1;
    static constexpr UINT kFetchDoneMessage = WM_APP + 1;

    struct FrameSlot {
        FrameRef ref;
        fw::ComPtr<IDispatch> dispatch;
        std::wstring url;
        std::optional<Page> page;
        WPARAM job = 0;
        unsigned serial = 0;  // changes whenever the frame's document does
    };
    struct PendingFetch {
        std::shared_ptr<FetchJob> job;
        std::wstring url;  // as asked for, whatever the request carries
        int frame;
        bool silent;  // a refresh: no BeforeNavigate2 or NavigateComplete2
    };
    struct WindowState {
        RECT rect;
        bool visible;
    };

    // Activation (browser_control.cpp)
    HRESULT ActivateInPlace(bool uiActivate);
    void QueryHostInfo();

    // Navigation (browser_navigation.cpp)
    // A POST when postBody is given (urlencoded, UTF-8).
    void StartNavigation(const std::wstring& url, int frame, bool silent,
                         const std::optional<std::string>& postBody = std::nullopt);
    void Refresh();
    void OnFetchDone(WPARAM id);
    void CompleteTopLevel(const std::wstring& url, const FetchResult& result, bool silent);
    void CompleteFrame(size_t frame, const std::wstring& url, const FetchResult& result, bool silent);
    void ResolveExternals(int frame);
    std::optional<std::wstring> ExternalValue(const std::wstring& name);
    bool FireBeforeNavigate(IDispatch* target, const std::wstring& url, const std::wstring& frameName,
                            bool frame, const std::optional<std::string>& postBody);
    void LogCookies(const std::wstring& url, const FetchResult& result);
    void FireNavigationEvent(DISPID event, IDispatch* target, const std::wstring& url, bool frame);
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
    void OnClick(POINT client);
    void OnFocusChange(bool gained);
    void LogElements();

    // The keyboard and forms (browser_keys.cpp)
    std::vector<size_t> FocusableItems() const;
    const LayoutItem* FocusedItem() const;
    FormField* FocusedField();
    void SetFocusOrdinal(int ordinal);
    bool MoveFocus(bool back);
    bool ActivateFocused();
    HRESULT HandToSite(MSG* msg);
    bool OnKeyDown(WPARAM key);
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

    // The top-level document and its frames.
    std::wstring url_;
    Page page_;
    std::vector<FrameSlot> frames_;
    unsigned documentSerial_ = 0;  // changes whenever the top-level document does
    unsigned paintedSerial_ = 0;   // the document whose first paint was logged
    std::map<WPARAM, PendingFetch> pending_;
    WPARAM topJob_ = 0;
    std::wstring metaRefreshUrl_;

    // Receives fetch results and the meta-refresh timer, active or not.
    Window notify_;
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
