#pragma once
// The login panel: a colour-keyed window laid exactly over the backdrop, showing
// only the platform's page and two buttons. It screens every navigation of its
// browser for game addresses.

#include "browser/web_browser.h"
#include "framework/dialog.h"
#include "ui/layered_window.h"
#include "ui/png_button.h"

class CLoginDlg;

class CLoginActiveDlg : public CDialogEx {
public:
    explicit CLoginActiveDlg(CLoginDlg* backdrop);

    CLayeredWindowHelper m_layered;
    CBrush m_brKey;
    COLORREF m_crKey = RGB(255, 255, 0);
    CLoginDlg* m_pBackdrop;
    CWebBrowser2 m_browser;
    CPngButton m_btnMinimize;
    CPngButton m_btnClose;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    const fw::MessageMap* GetMessageMap() const override;
    const fw::EventSinkMap* GetEventSinkMap() const override;

    void OnMove(int x, int y);
    LRESULT OnNcHitTest(CPoint point);
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    void OnMinimize();

    void OnBeforeNavigate2(IDispatch* pDisp, VARIANT* URL, VARIANT* Flags, VARIANT* TargetFrameName,
                           VARIANT* PostData, VARIANT* Headers, BOOL* Cancel);
    void OnNavigateComplete2(IDispatch* pDisp, VARIANT* URL);
    void OnDocumentComplete(IDispatch* pDisp, VARIANT* URL);
};
