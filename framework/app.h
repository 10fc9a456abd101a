#pragma once
// The application object and the process-wide services of the framework.

#include <windows.h>
#include <string>

class CWnd;

// Support flag: register the process with the restart manager.
constexpr DWORD AFX_RESTART_MANAGER_SUPPORT_RESTART = 0x01;

class CWinApp {
public:
    // With no name the application takes the executable's file name.
    explicit CWinApp(const wchar_t* appName = nullptr);
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    virtual BOOL InitInstance();
    // The process exit code: that of the quit message the last loop retrieved.
    virtual int ExitInstance();

    // Remembers the settings key; nothing is written under it.
    void SetRegistryKey(const wchar_t* key) { m_strRegistryKey = key; }

    // Runs the application: InitInstance, the message loop when it returns TRUE,
    // ExitInstance.
    int Run(HINSTANCE instance);

    CWnd* m_pMainWnd = nullptr;
    DWORD m_dwRestartManagerSupportFlags = 0;
    HINSTANCE m_hInstance = nullptr;
    std::wstring m_strAppName;
    std::wstring m_strRegistryKey;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
// The module resources are loaded from (the executable, or a test program).
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE module);

// MessageBoxW with the application's name as caption, owned by the active window
// of the application.
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK, UINT helpId = 0);

// The message loop's view of the thread: the last message retrieved, and the
// translation every loop applies before dispatching.
const MSG& AfxGetLastRetrievedMessage();
// Retrieves and dispatches one message; false when it was WM_QUIT (left in *quit).
bool AfxPumpMessage(MSG* quit);
// Gives a hosted control the keys typed into it, then the windows from the
// message's target up to the main window their PreTranslateMessage, innermost first.
BOOL AfxPreTranslateMessage(MSG* msg);
// Drops temporary CWnd wrappers handed out by CWnd::FromHandle.
void AfxPurgeTemporaryWindows();
