#pragma once
// CCustomControlSite: the control site that also answers the browser's request
// for a document-host UI handler (no context menu, no 3-D border, no scroll
// bars, the browser's own accelerators, and window.external).

#include <windows.h>
#include <mshtmhst.h>

#include "framework/occ_site.h"

class CCustomControlSite : public COleControlSite {
public:
    explicit CCustomControlSite(COleControlContainer* container);

    // Shares the site's reference count and identity.
    class XDocHostUIHandler : public IDocHostUIHandler {
    public:
        explicit XDocHostUIHandler(CCustomControlSite& site) : m_site(site) {}
        XDocHostUIHandler(const XDocHostUIHandler&) = delete;
        XDocHostUIHandler& operator=(const XDocHostUIHandler&) = delete;

        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;

        STDMETHODIMP ShowContextMenu(DWORD id, POINT* point, IUnknown* commandTarget,
                                     IDispatch* object) override;
        STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override;
        STDMETHODIMP ShowUI(DWORD id, IOleInPlaceActiveObject* activeObject, IOleCommandTarget* commandTarget,
                            IOleInPlaceFrame* frame, IOleInPlaceUIWindow* doc) override;
        STDMETHODIMP HideUI() override;
        STDMETHODIMP UpdateUI() override;
        STDMETHODIMP EnableModeless(BOOL enable) override;
        STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
        STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
        STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* uiWindow, BOOL frameWindow) override;
        STDMETHODIMP TranslateAccelerator(LPMSG msg, const GUID* commandGroup, DWORD commandId) override;
        STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD reserved) override;
        STDMETHODIMP GetDropTarget(IDropTarget* dropTarget, IDropTarget** replacement) override;
        STDMETHODIMP GetExternal(IDispatch** external) override;
        STDMETHODIMP TranslateUrl(DWORD translate, LPWSTR urlIn, LPWSTR* urlOut) override;
        STDMETHODIMP FilterDataObject(IDataObject* object, IDataObject** replacement) override;

    private:
        CCustomControlSite& m_site;
    } m_xDocHostUIHandler{*this};

protected:
    bool QueryInterfaceExtra(REFIID riid, void** ppv) override;
};
