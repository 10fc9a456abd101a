#pragma once
// COleControlContainer: the ActiveX controls one window hosts. It lives as
// long as the window (CWnd::m_pCtrlCont) and lets go of every control when
// the window is destroyed, or when the window object goes first.

#include <windows.h>
#include <ole2.h>
#include <vector>

#include "framework/com.h"
#include "framework/occ_dialog_template.h"

class CWnd;
class COleControlSite;
class COleInPlaceFrame;

class COleControlContainer {
public:
    explicit COleControlContainer(CWnd* wnd);
    COleControlContainer(const COleControlContainer&) = delete;
    COleControlContainer& operator=(const COleControlContainer&) = delete;
    // Tears every control down (COleControlSite::DestroyControl), last made first.
    ~COleControlContainer();

    // Creates one control at `rect` (pixels of the window's client area) with
    // the site the enabled manager makes, places its window after `insertAfter`
    // in the tab order, and hides it unless `style` has WS_VISIBLE. `state`
    // (may be null) is the control's persisted stream. Null when the control
    // cannot be made (not registered, or it failed to load or activate).
    COleControlSite* CreateControl(const CLSID& clsid, const RECT& rect, DWORD style, UINT id,
                                   const std::vector<BYTE>* state, HWND insertAfter);
    // The ActiveX controls taken out of dialog template `templateId` of `module`,
    // each at its place in the template's tab order, with its state from the
    // dialog-initialisation resource of the same name.
    void CreateDialogControls(const std::vector<fw::OleControlItem>& items, HINSTANCE module,
                              UINT templateId);
    COleControlSite* FindSite(UINT id) const;
    // The site whose control window is `hwnd`, or null.
    COleControlSite* SiteOfWindow(HWND hwnd) const;

    // The in-place frame every control of this window is given.
    IOleInPlaceFrame* Frame() const;

    // The control whose user interface is up (OnUIActivate), and the object
    // it handed the frame (SetActiveObject), which sees its keys first.
    void SetUIActiveSite(COleControlSite* site) { m_pSiteUIActive = site; }
    COleControlSite* UIActiveSite() const { return m_pSiteUIActive; }
    IOleInPlaceActiveObject* ActiveObject() const;
    // `site`'s control gave up its user interface, or goes: its active object
    // is let go of, whether or not the control took it back itself.
    void ReleaseUIActive(const COleControlSite* site);

    CWnd* const m_pWnd;

private:
    fw::ComPtr<COleInPlaceFrame> m_pFrame;
    COleControlSite* m_pSiteUIActive = nullptr;
    std::vector<fw::ComPtr<COleControlSite>> m_sites;
};
