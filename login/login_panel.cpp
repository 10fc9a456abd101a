#include "login/login_panel.h"

#include <string>

#include "browser/variant_string.h"
#include "login/handoff.h"
#include "login/login_dlg.h"
#include "login/login_url.h"
#include "res/resource.h"

namespace {
constexpr DISPID kBeforeNavigate2 = 250;
constexpr DISPID kNavigateComplete2 = 252;
constexpr DISPID kDocumentComplete = 259;
}  // namespace

CLoginActiveDlg::CLoginActiveDlg(CLoginDlg* backdrop) : CDialogEx(IDD_LOGIN_PANEL), m_pBackdrop(backdrop) {}

const fw::MessageMap* CLoginActiveDlg::GetMessageMap() const {
    static const fw::MessageEntry entries[] = {
        fw::OnMessage<WM_MOVE, &CLoginActiveDlg::OnMove>(),
        fw::OnMessage<WM_NCHITTEST, &CLoginActiveDlg::OnNcHitTest>(),
        fw::OnMessage<fw::WM_CTLCOLOR, &CLoginActiveDlg::OnCtlColor>(),
        fw::OnCommand<&CLoginActiveDlg::OnMinimize>(IDC_PANEL_MINIMIZE),
        fw::OnCommand<&ConfirmQuit>(IDC_PANEL_CLOSE),
    };
    static const fw::MessageMap map(CDialogEx::GetMessageMap(), entries);
    return &map;
}

const fw::EventSinkMap* CLoginActiveDlg::GetEventSinkMap() const {
    static const fw::EventSinkEntry entries[] = {
        fw::OnEvent<&CLoginActiveDlg::OnDocumentComplete>(IDC_BROWSER, kDocumentComplete),
        fw::OnEvent<&CLoginActiveDlg::OnNavigateComplete2>(IDC_BROWSER, kNavigateComplete2),
        fw::OnEvent<&CLoginActiveDlg::OnBeforeNavigate2>(IDC_BROWSER, kBeforeNavigate2),
        fw::OnEvent<&RefuseNewWindow>(IDC_BROWSER, kNewWindow2),
        fw::OnEvent<&RedirectNewWindow>(IDC_BROWSER, kNewWindow3),
    };
    static const fw::EventSinkMap map(CDialogEx::GetEventSinkMap(), entries);
    return &map;
}

void CLoginActiveDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_BROWSER, m_browser);
    DDX_Control(pDX, IDC_PANEL_MINIMIZE, m_btnMinimize);
    DDX_Control(pDX, IDC_PANEL_CLOSE, m_btnClose);
}

BOOL CLoginActiveDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    m_layered.m_hWnd = m_hWnd;
    m_brKey.CreateSolidBrush(m_crKey);
    m_layered.SetColorKey(m_crKey, 255);
    m_browser.MoveWindow(270, 141, 631, 444, TRUE);

    VARIANT empty;
    ::VariantInit(&empty);
    m_browser.Navigate(DUSKMERE_LOGIN_URL, &empty, &empty, &empty, &empty);
    // Hidden until its first page is there; the backdrop shows through meanwhile.
    m_browser.ShowWindow(SW_HIDE);

    // The buttons show no focus: they are for the mouse only.
    m_btnMinimize.ModifyStyle(WS_TABSTOP, 0);
    m_btnClose.ModifyStyle(WS_TABSTOP, 0);
    SetUpPngButton(m_btnMinimize, IDP_PANEL_MINIMIZE);
    SetUpPngButton(m_btnClose, IDP_PANEL_CLOSE);
    m_btnMinimize.MoveWindow(859, 90, 24, 24, TRUE);
    m_btnClose.MoveWindow(901, 82, 28, 28, TRUE);
    ::VariantClear(&empty);
    return TRUE;
}

void CLoginActiveDlg::OnMove(int, int) {
    if (IsWindow()) m_pBackdrop->KeepTogether(*this);
}

LRESULT CLoginActiveDlg::OnNcHitTest(CPoint) {
    m_pBackdrop->m_bBackdropLeads = FALSE;
    return Default() == HTCLIENT ? HTCAPTION : HTNOWHERE;
}

HBRUSH CLoginActiveDlg::OnCtlColor(CDC*, CWnd*, UINT) { return m_brKey; }

void CLoginActiveDlg::OnMinimize() { m_pBackdrop->ShowWindow(SW_MINIMIZE); }

void CLoginActiveDlg::OnBeforeNavigate2(IDispatch*, VARIANT* URL, VARIANT*, VARIANT*, VARIANT*, VARIANT*,
                                        BOOL* Cancel) {
    // The panel keeps the page it shows, whatever becomes of the game.
    if (DivertGameAddress(VariantString(URL)) && Cancel) *Cancel = TRUE;
}

void CLoginActiveDlg::OnNavigateComplete2(IDispatch*, VARIANT*) {
    if (!m_browser.IsWindowVisible()) m_browser.ShowWindow(SW_SHOW);
}

void CLoginActiveDlg::OnDocumentComplete(IDispatch*, VARIANT*) {}
