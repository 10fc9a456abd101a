#include "game/game_dialog.h"

#include <cstdlib>

#include "framework/app.h"
#include "login/handoff.h"
#include "res/resource.h"
#include "ui/bitmap_paint.h"
#include "ui/minimized_icon.h"

namespace {
constexpr DISPID kNavigateComplete2 = 252;
}  // namespace

CGameDialog::CGameDialog()
    : CDialogEx(IDD_GAME, nullptr),
      m_nBossHotKeyId(1001),
      m_nFullScreenHotKeyId(1002),
      m_nDisplayMode(MODE_MAXIMIZED),
      m_hIcon(::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDI_APP))) {}

const fw::MessageMap* CGameDialog::GetMessageMap() const {
    static const fw::MessageEntry entries[] = {
        fw::OnCommand<&ConfirmQuit>(IDC_CLOSE),
        fw::OnCommand<&CGameDialog::ToggleMaximized>(IDC_MAXIMIZE),
        fw::OnCommand<&CGameDialog::ToggleMaximized>(IDC_RESTORE),
        fw::OnCommand<&CGameDialog::OnMinimize>(IDC_MINIMIZE),
        fw::OnCommand<&CGameDialog::OnFullScreen>(IDC_FULLSCREEN),
        fw::OnCommand<&CGameDialog::OnBoss>(IDC_BOSS),
        fw::OnCommand<&CGameDialog::OnCleanCache>(IDC_CLEAN),
        fw::OnCommand<&CGameDialog::OnRefresh>(IDC_REFRESH),
        fw::OnCommand<&ConfirmServerList>(IDC_SERVER),
        fw::OnRawMessage<&CGameDialog::OnTrayNotify>(WM_TRAYNOTIFY),
        fw::OnRegisteredMessage<&CGameDialog::OnTaskbarCreated>(L"TaskbarCreated"),
        fw::OnCommand<&ConfirmQuit>(ID_TRAY_EXIT),
        fw::OnMessage<WM_CLOSE, &CGameDialog::OnCloseRequest>(),
        fw::OnMessage<WM_HOTKEY, &CGameDialog::OnHotKey>(),
        fw::OnMessage<WM_PAINT, &CGameDialog::OnPaint>(),
        fw::OnMessage<fw::WM_CTLCOLOR, &CGameDialog::OnCtlColor>(),
        fw::OnMessage<WM_SIZE, &CGameDialog::OnSize>(),
        fw::OnMessage<WM_LBUTTONDBLCLK, &CGameDialog::OnLButtonDblClk>(),
        fw::OnMessage<WM_LBUTTONDOWN, &CGameDialog::OnLButtonDown>(),
        fw::OnMessage<WM_MOUSEMOVE, &CGameDialog::OnMouseMove>(),
        fw::OnMessage<WM_LBUTTONUP, &CGameDialog::OnLButtonUp>(),
        fw::OnMessage<WM_DESTROY, &CGameDialog::OnDestroy>(),
    };
    static const fw::MessageMap map(CDialogEx::GetMessageMap(), entries);
    return &map;
}

const fw::EventSinkMap* CGameDialog::GetEventSinkMap() const {
    static const fw::EventSinkEntry entries[] = {
        fw::OnEvent<&CGameDialog::OnNavigateComplete2>(IDC_BROWSER, kNavigateComplete2),
        fw::OnEvent<&RefuseNewWindow>(IDC_BROWSER, kNewWindow2),
        fw::OnEvent<&RedirectNewWindow>(IDC_BROWSER, kNewWindow3),
    };
    static const fw::EventSinkMap map(CDialogEx::GetEventSinkMap(), entries);
    return &map;
}

void CGameDialog::DoDataExchange(CDataExchange* pDX) {
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_BROWSER, m_browser);
    DDX_Control(pDX, IDC_CLOSE, m_btnClose);
    DDX_Control(pDX, IDC_MAXIMIZE, m_btnMaximize);
    DDX_Control(pDX, IDC_MINIMIZE, m_btnMinimize);
    DDX_Control(pDX, IDC_FULLSCREEN, m_btnFullScreen);
    DDX_Control(pDX, IDC_BOSS, m_btnBoss);
    DDX_Control(pDX, IDC_REFRESH, m_btnRefresh);
    DDX_Control(pDX, IDC_SERVER, m_btnServer);
    DDX_Control(pDX, IDC_CLEAN, m_btnClean);
    DDX_Control(pDX, IDC_RESTORE, m_btnRestore);
}

BOOL CGameDialog::OnInitDialog() {
    CDialogEx::OnInitDialog();
    SetWindowText(L"Duskmere");
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    ModifyStyleEx(WS_EX_APPWINDOW, WS_EX_TOOLWINDOW);
    m_bmpTitleStrip.LoadBitmap(AfxGetResourceHandle(), IDB_STRIP);
    ApplyMaximizedGeometry();

    m_pToolTip = std::make_unique<CToolTipCtrl>();
    m_pToolTip->Create(this, 0);
    InitTitleStrip();

    RegisterHotKeys();
    // An owned window gets a taskbar button only as an application window.
    ModifyStyleEx(WS_EX_TOOLWINDOW, WS_EX_APPWINDOW);
    AddTrayIcon();
    m_btnMaximize.ShowWindow(SW_HIDE);
    return TRUE;
}

void CGameDialog::OnClose() {
    m_bmpTitleStrip.DeleteObject();
    ReleaseHotKeys(true);
    RemoveTrayIcon();
}

void CGameDialog::OnCloseRequest() { ConfirmQuit(); }

void CGameDialog::OnDestroy() {
    // The window goes with its owner before the application's teardown reaches
    // OnClose; what belongs to the window handle is given back while it exists.
    ReleaseHotKeys(false);
    RemoveTrayIcon();
    Default();
}

void CGameDialog::ApplyDisplayMode() {
    switch (m_nDisplayMode) {
    case MODE_FULLSCREEN:
        ShowTitleStrip(SW_HIDE);
        ApplyFullScreenGeometry();
        break;
    case MODE_MAXIMIZED:
        ShowTitleStrip(SW_SHOW);
        ApplyMaximizedGeometry();
        LayoutTitleStrip();
        break;
    case MODE_NORMAL:
        ShowTitleStrip(SW_SHOW);
        ApplyNormalGeometry();
        LayoutTitleStrip();
        break;
    default:
        break;
    }
}

void CGameDialog::ApplyFullScreenGeometry() {
    RECT screen{};
    ::GetClientRect(::GetDesktopWindow(), &screen);
    MoveWindow(screen);
    m_browser.MoveWindow(screen);
}

void CGameDialog::ApplyMaximizedGeometry() {
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    // The work area's size at the screen origin, not at the work area's corner.
    RECT rect{0, 0, work.right - work.left, work.bottom - work.top};
    MoveWindow(rect);
    rect.top += kStripHeight;
    m_browser.MoveWindow(rect);
}

void CGameDialog::ApplyNormalGeometry() {
    MoveWindow(0, 0, 1000, 700);
    CenterWindow();
    m_browser.MoveWindow(0, kStripHeight, 1000, 700 - kStripHeight);
}

void CGameDialog::ToggleMaximized() {
    if (m_nDisplayMode == MODE_MAXIMIZED)
        m_nDisplayMode = MODE_NORMAL;
    else if (m_nDisplayMode == MODE_NORMAL)
        m_nDisplayMode = MODE_MAXIMIZED;
    ApplyDisplayMode();
}

void CGameDialog::OnFullScreen() {
    m_nDisplayMode = MODE_FULLSCREEN;
    ApplyDisplayMode();
}

void CGameDialog::ToggleFullScreen() {
    if (!IsWindowVisible()) return;
    m_nDisplayMode = m_nDisplayMode == MODE_FULLSCREEN ? MODE_MAXIMIZED : MODE_FULLSCREEN;
    ApplyDisplayMode();
}

void CGameDialog::OnSize(UINT, int, int) {
    Default();
    if (!IsWindowVisible()) return;
    ApplyDisplayMode();
}

// In the centred window the strip acts as its caption, but only once a press
// turns into a drag: a plain click stays the window's own. Under Wine a window
// manager takes the pointer for a caption move, and would swallow the second
// press of a double click.
void CGameDialog::OnLButtonDown(UINT, CPoint point) {
    if (m_nDisplayMode == MODE_NORMAL) {
        m_ptStripPress = point;
        ::SetCapture(m_hWnd);
    }
    Default();
}

void CGameDialog::OnMouseMove(UINT nFlags, CPoint point) {
    const bool dragging = m_nDisplayMode == MODE_NORMAL && ::GetCapture() == m_hWnd && (nFlags & MK_LBUTTON) &&
                          (std::abs(point.x - m_ptStripPress.x) > ::GetSystemMetrics(SM_CXDRAG) ||
                           std::abs(point.y - m_ptStripPress.y) > ::GetSystemMetrics(SM_CYDRAG));
    if (dragging) {
        ::ReleaseCapture();
        // The window catches up with the pointer, then moves with it as by its caption.
        RECT rect{};
        GetWindowRect(&rect);
        SetWindowPos(nullptr, rect.left + point.x - m_ptStripPress.x, rect.top + point.y - m_ptStripPress.y, 0,
                     0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(m_ptStripPress.x, m_ptStripPress.y));
    }
    Default();
}

void CGameDialog::OnLButtonUp(UINT, CPoint) {
    if (::GetCapture() == m_hWnd) ::ReleaseCapture();
    Default();
}

void CGameDialog::OnLButtonDblClk(UINT, CPoint) {
    ToggleMaximized();
    Default();
}

void CGameDialog::OnPaint() {
    if (IsIconic()) {
        PaintMinimizedIcon(*this, m_hIcon);
        return;
    }
    if (m_nDisplayMode == MODE_FULLSCREEN) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(m_hWnd);
    RECT client{};
    GetClientRect(&client);
    // After OnClose the strip bitmap is gone while the window may still paint.
    StretchBitmap(dc.GetSafeHdc(), m_bmpTitleStrip, client.right - client.left, kStripHeight);
    CDialog::OnPaint();
}

HBRUSH CGameDialog::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
    return CDialogEx::OnCtlColor(pDC, pWnd, nCtlColor);
}

BOOL CGameDialog::PreTranslateMessage(MSG* pMsg) {
    // Enter and Escape belong to the game page, not to the dialog keys.
    if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE))
        return FALSE;
    // The tooltips do not subclass the buttons; they see the mouse only here.
    if (m_pToolTip) m_pToolTip->SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(pMsg));
    return CDialog::PreTranslateMessage(pMsg);
}

void CGameDialog::OnNavigateComplete2(IDispatch*, VARIANT*) {
    if (!m_browser.IsWindowVisible()) m_browser.ShowWindow(SW_SHOW);
}
