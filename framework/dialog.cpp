#include "framework/dialog.h"

#include "framework/app.h"
#include "framework/occ_container.h"

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (control.m_hWnd) return;
    const COleControlContainer* container = pDX->m_pDlgWnd->m_pCtrlCont.get();
    if (COleControlSite* site = container ? container->FindSite(static_cast<UINT>(id)) : nullptr) {
        control.AttachControlSite(site);
        return;
    }
    control.SubclassDlgItem(static_cast<UINT>(id), pDX->m_pDlgWnd);
}

HWND AfxGetSafeOwner(CWnd* parent, HWND* top) {
    HWND owner = parent ? parent->m_hWnd : nullptr;
    if (!owner && AfxGetMainWnd()) owner = AfxGetMainWnd()->m_hWnd;
    // A popup cannot be owned by a child window.
    while (owner && (::GetWindowLongPtrW(owner, GWL_STYLE) & WS_CHILD)) owner = ::GetParent(owner);
    HWND topLevel = owner;
    for (HWND up = owner; up; up = ::GetParent(up)) topLevel = up;
    if (!parent && owner) owner = ::GetLastActivePopup(owner);
    if (top) *top = (topLevel && topLevel != owner) ? topLevel : nullptr;
    return owner;
}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

const fw::MessageMap* CDialog::GetMessageMap() const {
    static const fw::MessageEntry entries[] = {
        fw::OnCommand<&CDialog::OnOK>(IDOK),
        fw::OnCommand<&CDialog::OnCancel>(IDCANCEL),
    };
    static const fw::MessageMap map(CWnd::GetMessageMap(), entries);
    return &map;
}

HWND CDialog::CreateFromTemplate(HWND owner) {
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(m_nIDTemplate), MAKEINTRESOURCEW(5));
    HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
    const void* dialogTemplate = loaded ? ::LockResource(loaded) : nullptr;
    if (!dialogTemplate) return nullptr;
    fw::SplitDialogTemplate split;
    if (fw::SplitOleControls(dialogTemplate, ::SizeofResource(module, resource), &split) &&
        !split.controls.empty()) {
        dialogTemplate = split.dialog.data();
        m_occControls = std::move(split.controls);
    }
    return ::CreateDialogIndirectParamW(module, static_cast<const DLGTEMPLATE*>(dialogTemplate), owner,
                                        &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
    // From WM_INITDIALOG on, every message reaches the object through its subclass.
    if (message != WM_INITDIALOG) return FALSE;
    auto* self = reinterpret_cast<CDialog*>(lParam);
    if (!self->SubclassWindow(hwnd)) return TRUE;
    try {
        return self->HandleInitDialog();
    } catch (...) {
        return TRUE;
    }
}

BOOL CDialog::HandleInitDialog() {
    const std::vector<fw::OleControlItem> controls = std::move(m_occControls);
    m_occControls.clear();
    if (!controls.empty()) {
        if (COleControlContainer* container = GetControlContainer())
            container->CreateDialogControls(controls, AfxGetResourceHandle(), m_nIDTemplate);
    }
    return OnInitDialog();
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL) {
    CDataExchange dx(this);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::OnPaint() { Default(); }

void CDialog::EndDialog(int result) {
    m_nModalResult = result;
    m_bContinueModal = false;
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    const bool keyboard = msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST;
    const bool mouse = msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST;
    if (!keyboard && !mouse) return FALSE;
    if (msg->hwnd != m_hWnd && !::IsChild(m_hWnd, msg->hwnd)) return FALSE;
    return ::IsDialogMessageW(m_hWnd, msg);
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    m_nIDTemplate = templateId;
    m_pParentWnd = parent;
    HWND owner = parent ? parent->m_hWnd : nullptr;
    if (!owner && AfxGetMainWnd()) owner = AfxGetMainWnd()->m_hWnd;
    return CreateFromTemplate(owner) != nullptr;
}

INT_PTR CDialog::DoModal() {
    HWND top = nullptr;
    HWND owner = AfxGetSafeOwner(m_pParentWnd, &top);
    const bool enableOwner = owner && ::IsWindowEnabled(owner);
    const bool enableTop = top && ::IsWindowEnabled(top);
    if (enableOwner) ::EnableWindow(owner, FALSE);
    if (enableTop) ::EnableWindow(top, FALSE);

    m_bModal = true;
    m_bContinueModal = true;
    m_nModalResult = -1;
    if (CreateFromTemplate(owner) && m_bContinueModal) {
        if (!IsWindowVisible()) ShowWindow(SW_SHOWNORMAL);
        RunModalLoop();
    }

    // The owner is enabled before the dialog goes, so that it gets the activation back.
    if (enableTop) ::EnableWindow(top, TRUE);
    if (enableOwner) ::EnableWindow(owner, TRUE);
    if (m_hWnd) {
        if (owner && ::GetActiveWindow() == m_hWnd) ::SetActiveWindow(owner);
        SetWindowPos(nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        DestroyWindow();
    }
    m_bModal = false;
    return m_nModalResult;
}

INT_PTR CDialog::RunModalLoop() {
    MSG quit{};
    // A window destroyed from outside (with its owner) ends the loop too.
    while (m_bContinueModal && m_hWnd) {
        if (!AfxPumpMessage(&quit)) {
            // Every enclosing loop ends on the same quit, with the same exit code.
            ::PostQuitMessage(static_cast<int>(quit.wParam));
            m_nModalResult = -1;
            break;
        }
    }
    return m_nModalResult;
}

HBRUSH CDialogEx::OnCtlColor(CDC*, CWnd*, UINT) {
    return reinterpret_cast<HBRUSH>(Default());
}
