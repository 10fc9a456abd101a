#pragma once
// CConfirmDlg: the modal question asked before the game closes or the player
// goes back to choose another server. IDOK confirms, IDCANCEL declines.

#include "framework/controls.h"
#include "framework/dialog.h"
#include "ui/png_button.h"

// Values of CConfirmDlg::m_nMode.
constexpr int CONFIRM_CLOSE_GAME = 0;
constexpr int CONFIRM_CHANGE_SERVER = 1;

class CConfirmDlg : public CDialogEx {
public:
    CConfirmDlg();

    // Set by the caller before DoModal.
    int m_nMode = CONFIRM_CLOSE_GAME;
    CPngButton m_btnOk;
    CPngButton m_btnCancel;
    CBitmap m_bmpBackground;
    CStatic m_stTitle;
    CStatic m_stText;
    CFont m_fontTitle;

protected:
    const fw::MessageMap* GetMessageMap() const override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnPaint();
    void OnClose();
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
};
