#include "login/login_dlg.h"

#include <utility>

#include "framework/app.h"
#include "login/login_panel.h"
#include "res/resource.h"
#include "ui/minimized_icon.h"

CLoginDlg::CLoginDlg()
    : CDialogEx(IDD_LOGIN, nullptr),
      m_hIcon(::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDI_APP))) {}

const fw::MessageMap* CLoginDlg::GetMessageMap() const {
    static const fw::MessageEntry entries[] = {
        fw::OnMessage<WM_PAINT, &CLoginDlg::OnPaint>(),
        fw::OnMessage<WM_QUERYDRAGICON, &CLoginDlg::OnQueryDragIcon>(),
        fw::OnMessage<WM_NCHITTEST, &CLoginDlg::OnNcHitTest>(),
        fw::OnMessage<WM_MOVE, &CLoginDlg::OnMove>(),
        fw::OnMessage<WM_SHOWWINDOW, &CLoginDlg::OnShowWindow>(),
        fw::OnMessage<WM_WINDOWPOSCHANGED, &CLoginDlg::OnWindowPosChanged>(),
        fw::OnMessage<WM_CLOSE, &CLoginDlg::OnClose>(),
    };
    static const fw::MessageMap map(CDialogEx::GetMessageMap(), entries);
    return &map;
}

BOOL CLoginDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    SetWindowText(L"Duskmere");
    m_layered.m_hWnd = m_hWnd;
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    // Hidden until the backdrop is shown (OnWindowPosChanged).
    m_pLoginPanel = new CLoginActiveDlg(this);
    m_pLoginPanel->Create(IDD_LOGIN_PANEL, this);

    ModifyStyle(WS_CAPTION, 0);
    if (!m_layered.m_png.Load(MAKEINTRESOURCEW(IDP_BACKDROP), AfxGetResourceHandle())) return TRUE;
    const int width = static_cast<int>(m_layered.m_png.Width());
    const int height = static_cast<int>(m_layered.m_png.Height());
    MoveWindow(0, 0, width, height, TRUE);
    CenterWindow();
    RECT rect{};
    GetWindowRect(&rect);
    m_pLoginPanel->MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    m_layered.DrawPerPixelAlpha();
    return TRUE;
}

void CLoginDlg::OnPaint() {
    if (IsIconic()) {
        PaintMinimizedIcon(*this, m_hIcon);
        return;
    }
    // The look comes wholly from the layered image; the region is only validated,
    // or the window would be sent WM_PAINT over and over.
    ::ValidateRect(m_hWnd, nullptr);
}

HCURSOR CLoginDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

LRESULT CLoginDlg::OnNcHitTest(CPoint) {
    m_bBackdropLeads = TRUE;
    const LRESULT hit = Default();
    return hit == HTCLIENT ? HTCAPTION : hit;
}

void CLoginDlg::OnMove(int, int) {
    if (IsWindow()) KeepTogether(*this);
}

void CLoginDlg::KeepTogether(const CWnd& moved) {
    if (m_pLoginPanel == nullptr || !m_pLoginPanel->IsWindow()) return;
    CWnd* leader = this;
    CWnd* follower = m_pLoginPanel;
    if (!m_bBackdropLeads) std::swap(leader, follower);
    // The leader's move takes the follower along. A follower on the screen that
    // moves by itself is put back: nobody dragged it. Under Wine that is a window
    // manager's late report of a position the window held for a moment while it
    // was framed, which would otherwise drag the leader away from where both are.
    if (&moved == follower && (!follower->IsWindowVisible() || follower->IsIconic())) return;
    RECT lead{};
    RECT follow{};
    leader->GetWindowRect(&lead);
    follower->GetWindowRect(&follow);
    follower->MoveWindow(lead.left, lead.top, follow.right - follow.left, follow.bottom - follow.top, TRUE);
}

void CLoginDlg::OnShowWindow(BOOL show, UINT) {
    Default();
    if (!show) m_pLoginPanel->ShowWindow(SW_HIDE);
}

void CLoginDlg::OnWindowPosChanged(WINDOWPOS* pos) {
    Default();
    // The panel comes up only once the backdrop is on the screen. On Windows an
    // owned window lies above its owner whatever the order; under Wine the X
    // windows are stacked, and a window manager told which one the panel belongs
    // to, as they are mapped, and the backdrop's X window is replaced when its
    // image is first drawn. Until the player touches one of them, the backdrop,
    // the main window, holds the place of both.
    if (pos->flags & SWP_SHOWWINDOW) {
        m_bBackdropLeads = TRUE;
        m_pLoginPanel->ShowWindow(SW_SHOWNA);
    }
}

void CLoginDlg::OnClose() { EndDialog(IDOK); }
