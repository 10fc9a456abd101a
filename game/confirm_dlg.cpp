#include "game/confirm_dlg.h"

#include "framework/app.h"
#include "res/resource.h"
#include "ui/bitmap_paint.h"
#include "ui/see_through_label.h"

namespace {
constexpr COLORREF kLabelText = RGB(255, 255, 255);

struct Question {
    const wchar_t* title;
    const wchar_t* text;
};
// Indexed by m_nMode.
constexpr Question kQuestions[] = {
    {L"关闭游戏", L"确定要退出游戏吗?"},
    {L"选服", L"是否退出当前游戏，重新选择新服务器?"},
};
}  // namespace

CConfirmDlg::CConfirmDlg() : CDialogEx(IDD_CONFIRM, nullptr) {}

const fw::MessageMap* CConfirmDlg::GetMessageMap() const {
    static const fw::MessageEntry entries[] = {
        fw::OnCommand<&CDialog::OnOK>(IDC_CONFIRM_OK),
        fw::OnCommand<&CDialog::OnCancel>(IDC_CONFIRM_CANCEL),
        fw::OnMessage<WM_PAINT, &CConfirmDlg::OnPaint>(),
        fw::OnMessage<WM_CLOSE, &CConfirmDlg::OnClose>(),
        fw::OnMessage<fw::WM_CTLCOLOR, &CConfirmDlg::OnCtlColor>(),
    };
    static const fw::MessageMap map(CDialogEx::GetMessageMap(), entries);
    return &map;
}

void CConfirmDlg::DoDataExchange(CDataExchange* pDX) {
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CONFIRM_OK, m_btnOk);
    DDX_Control(pDX, IDC_CONFIRM_CANCEL, m_btnCancel);
    DDX_Control(pDX, IDC_CONFIRM_TITLE, m_stTitle);
    DDX_Control(pDX, IDC_CONFIRM_TEXT, m_stText);
}

BOOL CConfirmDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    m_bmpBackground.LoadBitmap(AfxGetResourceHandle(), IDB_CONFIRM);
    SetUpPngButton(m_btnOk, IDP_OK);
    SetUpPngButton(m_btnCancel, IDP_CANCEL);

    MoveWindow(0, 0, 256, 110, TRUE);
    CenterWindow();
    // The windows reach past their 74-pixel pictures; Cancel got its strip last
    // and so lies above OK where they overlap.
    m_btnOk.MoveWindow(40, 72, 256, 26, TRUE);
    m_btnCancel.MoveWindow(140, 72, 256, 26, TRUE);

    m_fontTitle.CreatePointFont(120, L"Arial");
    m_stTitle.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_fontTitle.GetSafeHandle()), TRUE);
    const Question& question = kQuestions[m_nMode == CONFIRM_CHANGE_SERVER ? 1 : 0];
    m_stTitle.SetWindowText(question.title);
    m_stText.SetWindowText(question.text);
    m_stTitle.MoveWindow(79, 10, 100, 30, TRUE);
    m_stText.MoveWindow(28, 34, 200, 66, TRUE);
    return TRUE;
}

void CConfirmDlg::OnPaint() { PaintDialogBackground(*this, m_bmpBackground); }

void CConfirmDlg::OnClose() {
    // The dialog manager turns a close into IDCANCEL.
    Default();
}

HBRUSH CConfirmDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
    const HBRUSH brush = CDialogEx::OnCtlColor(pDC, pWnd, nCtlColor);
    const int id = pWnd->GetDlgCtrlID();
    if (id == IDC_CONFIRM_TITLE || id == IDC_CONFIRM_TEXT) return PaintSeeThroughLabel(pDC, pWnd, kLabelText);
    return brush;
}
