#pragma once
// The login backdrop: the main window, a caption-less per-pixel-alpha image.

#include "framework/dialog.h"
#include "ui/layered_window.h"

class CLoginActiveDlg;

class CLoginDlg : public CDialogEx {
public:
    CLoginDlg();

    HICON m_hIcon;
    // Which of backdrop and panel was hit-tested last, so the follower never
    // moves the leader back. The backdrop leads whenever it is shown.
    BOOL m_bBackdropLeads = FALSE;
    CLoginActiveDlg* m_pLoginPanel = nullptr;
    CLayeredWindowHelper m_layered;

    // Called by both windows on WM_MOVE with the one that moved.
    void KeepTogether(const CWnd& moved);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    const fw::MessageMap* GetMessageMap() const override;

    void OnPaint();
    HCURSOR OnQueryDragIcon();
    LRESULT OnNcHitTest(CPoint point);
    void OnMove(int x, int y);
    void OnShowWindow(BOOL show, UINT status);
    void OnWindowPosChanged(WINDOWPOS* pos);
    void OnClose();
};
