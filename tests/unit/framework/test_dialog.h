#pragma once
// A dialog on test template IDD_TEST that records what reached its handlers.

#include <string>
#include <vector>

#include "framework/controls.h"
#include "framework/dialog.h"
#include "tests/res/test_resource.h"

class RecordingButton : public CButton {
public:
    void DrawItem(LPDRAWITEMSTRUCT item) override { drawn.push_back(item->CtlID); }
    std::vector<UINT> drawn;
};

class TestDialog : public CDialogEx {
public:
    explicit TestDialog(CWnd* parent = nullptr) : CDialogEx(IDD_TEST, parent) {}

    std::vector<std::string> calls;
    std::vector<UINT> ctlColors;
    RecordingButton m_btnOwner;
    CStatic m_stLabel;
    bool endOnCancel = true;
    LRESULT hitTest = 0;

protected:
    const fw::MessageMap* GetMessageMap() const override;
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, IDC_TEST_OWNER, m_btnOwner);
        DDX_Control(pDX, IDC_TEST_LABEL, m_stLabel);
    }
    void OnCancel() override {
        calls.push_back("cancel");
        if (endOnCancel) CDialogEx::OnCancel();
    }

    void OnPush() { calls.push_back("push"); }
    LRESULT OnNcHitTest(CPoint) {
        hitTest = Default();
        return HTCAPTION;
    }
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT kind) {
        ctlColors.push_back(kind);
        return CDialogEx::OnCtlColor(pDC, pWnd, kind);
    }
};

// A derived dialog whose table overrides one entry of its base.
class DerivedTestDialog : public TestDialog {
protected:
    const fw::MessageMap* GetMessageMap() const override;
    void OnPushDerived() { calls.push_back("derived push"); }
};
