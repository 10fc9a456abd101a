#include "app/login_app.h"

#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include "browser/custom_occ_manager.h"
#include "browser/external_dispatch.h"
#include "game/game_dialog.h"
#include "login/handoff.h"
#include "login/login_dlg.h"
#include "login/login_panel.h"

CLoginApp theApp;

namespace {
// Pages may keep window.external and let go of it after the teardown (when the
// browser's module goes, say): the object lives as long as the process.
CImpIDispatch g_externalDispatch;
}  // namespace

CLoginApp::CLoginApp() {
    m_dwRestartManagerSupportFlags = AFX_RESTART_MANAGER_SUPPORT_RESTART;
}

BOOL CLoginApp::InitInstance() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    CWinApp::InitInstance();

    // The framework keeps the manager until the process ends.
    auto* occManager = new CCustomOccManager;
    m_pExternalDispatch = &g_externalDispatch;
    AfxEnableControlContainer(occManager);

    Gdiplus::GdiplusStartupInput gdiplus;
    Gdiplus::GdiplusStartup(&m_gdiplusToken, &gdiplus, nullptr);

    SetRegistryKey(L"应用程序向导生成的本地应用程序");

    CLoginDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;

    // The windows are gone with the backdrop's; their objects are released here.
    delete dlg.m_pLoginPanel;
    dlg.m_pLoginPanel = nullptr;
    ReleaseGameDialog();

    return FALSE;
}

int CLoginApp::ExitInstance() {
    return CWinApp::ExitInstance();
}
