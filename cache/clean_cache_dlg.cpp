#include "cache/clean_cache_dlg.h"

#include <process.h>
#include <string>

#include "framework/app.h"
#include "res/resource.h"
#include "ui/bitmap_paint.h"
#include "ui/see_through_label.h"

namespace {
constexpr COLORREF kKeyColour = RGB(255, 0, 0);
constexpr BYTE kOpacity = 150;
constexpr COLORREF kTextColour = RGB(0, 255, 255);
}  // namespace

CCleanCacheDlg::CCleanCacheDlg(CWnd*) : CDialogEx(IDD_CLEAN_CACHE, nullptr) {}

CCleanCacheDlg::~CCleanCacheDlg() {
    m_bStop = TRUE;
    // A quit can end the window while the worker runs; it reads this object up
    // to its close request, so it must be gone before the members are.
    if (m_worker) ::WaitForSingleObject(m_worker.get(), INFINITE);
}

const fw::MessageMap* CCleanCacheDlg::GetMessageMap() const {
    static const fw::MessageEntry entries[] = {
        fw::OnMessage<fw::WM_CTLCOLOR, &CCleanCacheDlg::OnCtlColor>(),
        fw::OnMessage<WM_PAINT, &CCleanCacheDlg::OnPaint>(),
        fw::OnMessage<WM_TIMER, &CCleanCacheDlg::OnTimer>(),
        fw::OnMessage<WM_CLOSE, &CCleanCacheDlg::OnClose>(),
    };
    static const fw::MessageMap map(CDialogEx::GetMessageMap(), entries);
    return &map;
}

void CCleanCacheDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_CLEAN_TEXT, m_stText);
}

BOOL CCleanCacheDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    m_bmpBackground.LoadBitmap(AfxGetResourceHandle(), IDB_CLEAN_CACHE);
    m_crKey = kKeyColour;
    m_layered.m_hWnd = m_hWnd;
    ModifyStyleEx(WS_EX_APPWINDOW, WS_EX_TOOLWINDOW);
    m_brKey.CreateSolidBrush(m_crKey);
    m_layered.SetColorKey(m_crKey, kOpacity);

    // The work area's size, but placed at the screen origin.
    RECT workArea{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    MoveWindow(0, 0, workArea.right - workArea.left, workArea.bottom - workArea.top, TRUE);
    m_stText.CenterWindow();

    // Only the worker closes this screen-covering window; without one it goes at once.
    if (!StartWorker()) EndDialog(IDCANCEL);
    return TRUE;
}

bool CCleanCacheDlg::StartWorker() {
    m_hCloseTarget = m_hWnd;
    unsigned threadId = 0;
    HANDLE thread = reinterpret_cast<HANDLE>(
        ::_beginthreadex(nullptr, 0, &CleanCacheThreadProc, this, CREATE_SUSPENDED, &threadId));
    if (!thread) return false;
    HANDLE own = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), thread, ::GetCurrentProcess(), &own, SYNCHRONIZE,
                           FALSE, 0)) {
        // Never resumed, the thread never touches this object.
        ::CloseHandle(thread);
        return false;
    }
    m_worker.reset(own);
    m_hThread = thread;
    if (::ResumeThread(thread) != static_cast<DWORD>(-1)) return true;
    // Still suspended, it never runs: end it and forget it, as if never made.
    m_hThread = nullptr;
    ::TerminateThread(thread, 0);
    ::CloseHandle(thread);
    m_worker.reset();
    return false;
}

HBRUSH CCleanCacheDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
    if (pWnd != &m_stText) return m_brKey;
    CDialogEx::OnCtlColor(pDC, pWnd, nCtlColor);
    return PaintSeeThroughLabel(pDC, pWnd, kTextColour);
}

void CCleanCacheDlg::OnPaint() { PaintDialogBackground(*this, m_bmpBackground); }

void CCleanCacheDlg::OnTimer(UINT_PTR) {
    m_nDots = (m_nDots + 1) % 3;
    std::wstring text = L"缓存清理中,请稍后";
    text.append(m_nDots, L'.');
    m_stText.SetWindowText(text.c_str());
    RECT rect{};
    m_stText.GetWindowRect(&rect);
    ScreenToClient(&rect);
    InvalidateRect(&rect, TRUE);
    Default();
}

void CCleanCacheDlg::OnClose() {
    // The worker clears its handle just before it asks to close; until then
    // close requests are ignored.
    if (!m_hThread) EndDialog(IDCANCEL);
}
