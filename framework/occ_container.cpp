#include "framework/occ_container.h"

#include <algorithm>

#include "framework/occ_dlginit.h"
#include "framework/occ_manager.h"
#include "framework/occ_site.h"
#include "framework/wnd.h"

// The frame and document window of in-place activation: a dialog has no
// menus, toolbars or status bar to share, so there is nothing to negotiate
// but the active object.
class COleInPlaceFrame : public fw::ComObject<COleInPlaceFrame, IOleInPlaceFrame> {
public:
    explicit COleInPlaceFrame(HWND hwnd) : m_hWnd(hwnd) {}

    bool QueryInterfaceExtra(REFIID riid, void** ppv) {
        if (riid != IID_IOleWindow && riid != IID_IOleInPlaceUIWindow) return false;
        *ppv = static_cast<IOleInPlaceFrame*>(this);
        return true;
    }

    STDMETHODIMP GetWindow(HWND* hwnd) override {
        if (!hwnd) return E_POINTER;
        *hwnd = m_hWnd;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS widths) override {
        return widths ? INPLACE_E_NOTOOLSPACE : S_OK;
    }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
        m_pActiveObject = fw::ComPtr<IOleInPlaceActiveObject>::Retain(object);
        return S_OK;
    }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    fw::ComPtr<IOleInPlaceActiveObject> m_pActiveObject;

private:
    HWND m_hWnd;
};

namespace {

// The window that comes just before template control `index` in the tab
// order, once the controls before it exist; HWND_TOP when there is none.
HWND WindowBefore(std::size_t index, const std::vector<fw::OleControlItem>& items,
                  const std::vector<HWND>& created, const std::vector<HWND>& templateChildren) {
    for (std::size_t before = index; before-- > 0;) {
        const auto ole = std::find_if(items.begin(), items.end(),
                                      [&](const fw::OleControlItem& item) { return item.index == before; });
        if (ole != items.end()) {
            if (HWND hwnd = created[static_cast<std::size_t>(ole - items.begin())]) return hwnd;
            continue;
        }
        const auto oleBefore = static_cast<std::size_t>(std::count_if(
            items.begin(), items.end(), [&](const fw::OleControlItem& item) { return item.index < before; }));
        const std::size_t child = before - oleBefore;
        if (child < templateChildren.size()) return templateChildren[child];
    }
    return HWND_TOP;
}

}  // namespace

COleControlContainer::COleControlContainer(CWnd* wnd)
    : m_pWnd(wnd), m_pFrame(fw::MakeComObject<COleInPlaceFrame>(wnd->m_hWnd)) {}

COleControlContainer::~COleControlContainer() {
    for (auto site = m_sites.rbegin(); site != m_sites.rend(); ++site) (*site)->DestroyControl();
}

IOleInPlaceFrame* COleControlContainer::Frame() const { return m_pFrame.get(); }

IOleInPlaceActiveObject* COleControlContainer::ActiveObject() const { return m_pFrame->m_pActiveObject.get(); }

void COleControlContainer::ReleaseUIActive(const COleControlSite* site) {
    if (m_pSiteUIActive != site) return;
    m_pSiteUIActive = nullptr;
    // The control holds the frame and the frame its active object: a control
    // that does not take it back would otherwise keep itself alive.
    m_pFrame->m_pActiveObject.reset();
}

COleControlSite* COleControlContainer::CreateControl(const CLSID& clsid, const RECT& rect, DWORD style,
                                                     UINT id, const std::vector<BYTE>* state,
                                                     HWND insertAfter) {
    COccManager* manager = AfxGetOccManager();
    if (!manager) return nullptr;
    auto site = fw::ComPtr<COleControlSite>::Retain(manager->CreateSite(this));
    if (!site) return nullptr;
    if (FAILED(site->CreateControl(clsid, rect, id, state)) || !site->m_hWnd) {
        site->DestroyControl();
        return nullptr;
    }
    const HWND hwnd = site->m_hWnd;
    ::SetWindowLongPtrW(hwnd, GWLP_ID, static_cast<LONG_PTR>(id));
    ::SetWindowPos(hwnd, insertAfter, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (!(style & WS_VISIBLE)) ::ShowWindow(hwnd, SW_HIDE);
    m_sites.push_back(std::move(site));
    return m_sites.back().get();
}

void COleControlContainer::CreateDialogControls(const std::vector<fw::OleControlItem>& items,
                                                HINSTANCE module, UINT templateId) {
    const HWND dialog = m_pWnd->m_hWnd;
    std::vector<HWND> templateChildren;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        templateChildren.push_back(child);

    const BYTE* dlgInit = nullptr;
    DWORD dlgInitSize = 0;
    if (HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(templateId),
                                         MAKEINTRESOURCEW(fw::RT_DLGINIT_TYPE))) {
        if (HGLOBAL loaded = ::LoadResource(module, resource)) {
            dlgInit = static_cast<const BYTE*>(::LockResource(loaded));
            dlgInitSize = dlgInit ? ::SizeofResource(module, resource) : 0;
        }
    }

    std::vector<HWND> created(items.size(), nullptr);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const fw::OleControlItem& item = items[i];
        RECT rect = item.rect;
        ::MapDialogRect(dialog, &rect);
        const auto state = fw::FindControlState(dlgInit, dlgInitSize, item.id);
        const HWND insertAfter = WindowBefore(item.index, items, created, templateChildren);
        if (COleControlSite* site = CreateControl(item.clsid, rect, item.style, item.id,
                                                  state ? &*state : nullptr, insertAfter)) {
            created[i] = site->m_hWnd;
        }
    }
}

COleControlSite* COleControlContainer::FindSite(UINT id) const {
    for (const auto& site : m_sites) {
        if (site->m_nID == id) return site.get();
    }
    return nullptr;
}

COleControlSite* COleControlContainer::SiteOfWindow(HWND hwnd) const {
    for (const auto& site : m_sites) {
        if (site->m_hWnd == hwnd) return site.get();
    }
    return nullptr;
}
