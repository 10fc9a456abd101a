#pragma once
// Dialogs created from resource templates, modal and modeless.

#include <windows.h>
#include <vector>
#include "framework/occ_dialog_template.h"
#include "framework/wnd.h"

class CDialog;

// Binds template controls to member objects (DoDataExchange).
class CDataExchange {
public:
    explicit CDataExchange(CDialog* dialog) : m_pDlgWnd(dialog) {}
    CDialog* m_pDlgWnd;
};

// Binds control `id` of the dialog to `control`: an ActiveX control through
// its site, any other control by subclassing it.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // Runs the dialog modally; the result given to EndDialog, or -1 when the
    // dialog could not be created or a quit message ended the loop.
    virtual INT_PTR DoModal();
    // Creates the dialog modeless; without a parent the main window owns it.
    virtual BOOL Create(UINT templateId, CWnd* parent = nullptr);
    void EndDialog(int result);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    BOOL PreTranslateMessage(MSG* msg) override;
    const fw::MessageMap* GetMessageMap() const override;

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    void OnPaint();

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
    HWND CreateFromTemplate(HWND owner);
    BOOL HandleInitDialog();
    INT_PTR RunModalLoop();

    // ActiveX controls taken out of the template, made once the dialog exists.
    std::vector<fw::OleControlItem> m_occControls;
    bool m_bModal = false;
    bool m_bContinueModal = false;
    INT_PTR m_nModalResult = -1;
};

// The framework's extended dialog: a CDialog whose control colouring can be
// asked for by derived classes.
class CDialogEx : public CDialog {
public:
    using CDialog::CDialog;

protected:
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
};

// The owner a dialog without a parent gets: the main window's last active
// popup. *top receives the main window when it differs from that owner.
HWND AfxGetSafeOwner(CWnd* parent, HWND* top);
