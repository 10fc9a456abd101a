#include "framework/app.h"

#include <ole2.h>

#include "framework/occ_site.h"
#include "framework/wnd.h"

namespace {

CWinApp* g_app = nullptr;
HINSTANCE g_resourceModule = nullptr;
thread_local MSG t_lastMessage{};

std::wstring ExecutableBaseName() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path);
    if (const auto slash = name.find_last_of(L"\\/"); slash != std::wstring::npos) name.erase(0, slash + 1);
    if (const auto dot = name.find_last_of(L'.'); dot != std::wstring::npos) name.erase(dot);
    return name;
}

// OLE for the whole run: hosted ActiveX controls need it on the UI thread.
class OleScope {
public:
    OleScope() : initialised_(SUCCEEDED(::OleInitialize(nullptr))) {}
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;
    ~OleScope() {
        if (initialised_) ::OleUninitialize();
    }

private:
    bool initialised_;
};

}  // namespace

CWinApp::CWinApp(const wchar_t* appName)
    : m_strAppName(appName ? appName : L"") {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() {
    if (m_dwRestartManagerSupportFlags & AFX_RESTART_MANAGER_SUPPORT_RESTART)
        ::RegisterApplicationRestart(L"", 0);
    return TRUE;
}

int CWinApp::ExitInstance() {
    const MSG& last = AfxGetLastRetrievedMessage();
    return last.message == WM_QUIT ? static_cast<int>(last.wParam) : 0;
}

int CWinApp::Run(HINSTANCE instance) {
    const OleScope ole;
    m_hInstance = instance;
    if (!g_resourceModule) g_resourceModule = instance;
    if (m_strAppName.empty()) m_strAppName = ExecutableBaseName();
    if (InitInstance()) {
        MSG quit{};
        while (AfxPumpMessage(&quit)) {
        }
    }
    return ExitInstance();
}

CWinApp* AfxGetApp() { return g_app; }

CWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }

HINSTANCE AfxGetInstanceHandle() {
    return g_app && g_app->m_hInstance ? g_app->m_hInstance : ::GetModuleHandleW(nullptr);
}

HINSTANCE AfxGetResourceHandle() {
    return g_resourceModule ? g_resourceModule : ::GetModuleHandleW(nullptr);
}

void AfxSetResourceHandle(HINSTANCE module) { g_resourceModule = module; }

int AfxMessageBox(const wchar_t* text, UINT type, UINT) {
    HWND owner = nullptr;
    if (CWnd* main = AfxGetMainWnd(); main && main->m_hWnd) {
        owner = ::GetLastActivePopup(main->m_hWnd);
        if (!::IsWindowEnabled(owner)) owner = nullptr;
    }
    const std::wstring caption =
        g_app && !g_app->m_strAppName.empty() ? g_app->m_strAppName : ExecutableBaseName();
    return ::MessageBoxW(owner, text, caption.c_str(), type);
}

const MSG& AfxGetLastRetrievedMessage() { return t_lastMessage; }

BOOL AfxPreTranslateMessage(MSG* msg) {
    if (AfxPreTranslateControlMessage(msg)) return TRUE;
    HWND stop = AfxGetMainWnd() ? AfxGetMainWnd()->m_hWnd : nullptr;
    for (HWND hwnd = msg->hwnd; hwnd; hwnd = ::GetParent(hwnd)) {
        if (CWnd* wnd = CWnd::FromHandlePermanent(hwnd); wnd && wnd->PreTranslateMessage(msg)) return TRUE;
        if (hwnd == stop) break;
    }
    return FALSE;
}

bool AfxPumpMessage(MSG* quit) {
    // Temporary wrappers may still be in use by a handler that runs a nested loop.
    if (!AfxGetCurrentMessage()) AfxPurgeTemporaryWindows();
    MSG msg{};
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    t_lastMessage = msg;
    if (got == 0 || got == -1) {
        *quit = msg;
        return false;
    }
    if (!AfxPreTranslateMessage(&msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return true;
}
