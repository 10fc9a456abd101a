// The title strip of the game window: logo, nine image buttons, their tooltips,
// visibility per display mode and the right-to-left layout.

#include "game/game_dialog.h"

#include "framework/app.h"
#include "res/resource.h"

namespace {

constexpr int kLogoWidth = 144;

struct StripButton {
    CPngButton CGameDialog::*button;
    UINT strip;
    const wchar_t* tip;
};

// In the order their GDI+ start-ups and tooltips are made.
constexpr StripButton kStripButtons[] = {
    {&CGameDialog::m_btnClose, IDP_CLOSE, nullptr},
    {&CGameDialog::m_btnRestore, IDP_RESTORE, L"还原"},
    {&CGameDialog::m_btnMaximize, IDP_MAXIMIZE, L"最大化"},
    {&CGameDialog::m_btnMinimize, IDP_MINIMIZE, L"最小化"},
    {&CGameDialog::m_btnFullScreen, IDP_FULLSCREEN, L"按F11进入/退出全屏"},
    {&CGameDialog::m_btnBoss, IDP_BOSS, nullptr},
    {&CGameDialog::m_btnRefresh, IDP_REFRESH, nullptr},
    {&CGameDialog::m_btnServer, IDP_SERVER, nullptr},
    {&CGameDialog::m_btnClean, IDP_CLEAN, nullptr},
};

}  // namespace

void CGameDialog::InitTitleStrip() {
    InitStripButtons();
    LayoutTitleStrip();

    CWnd* logo = GetDlgItem(IDC_LOGO);
    m_bmpLogo.LoadBitmap(AfxGetInstanceHandle(), IDB_LOGO);
    logo->ModifyStyle(0, SS_BITMAP | SS_CENTERIMAGE);
    logo->SendMessage(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(m_bmpLogo.GetSafeHandle()));
    logo->MoveWindow(0, 0, kLogoWidth, kStripHeight);
}

void CGameDialog::InitStripButtons() {
    for (const StripButton& entry : kStripButtons) {
        CPngButton& button = this->*entry.button;
        // Tab and the focus stay in the page: the strip is for the mouse only.
        button.ModifyStyle(WS_TABSTOP, 0);
        SetUpPngButton(button, entry.strip);
        if (entry.tip) m_pToolTip->AddTool(&button, entry.tip);
    }
}

void CGameDialog::ShowTitleStrip(int nCmdShow) {
    GetDlgItem(IDC_LOGO)->ShowWindow(nCmdShow);
    for (CPngButton* button : {&m_btnClose, &m_btnMinimize, &m_btnFullScreen, &m_btnBoss, &m_btnRefresh,
                               &m_btnServer, &m_btnClean})
        button->ShowWindow(nCmdShow);
    if (nCmdShow == SW_SHOW) {
        const bool normal = m_nDisplayMode == MODE_NORMAL;
        m_btnMaximize.ShowWindow(normal ? SW_SHOW : SW_HIDE);
        m_btnRestore.ShowWindow(normal ? SW_HIDE : SW_SHOW);
    } else {
        m_btnRestore.ShowWindow(nCmdShow);
        m_btnMaximize.ShowWindow(nCmdShow);
    }
}

void CGameDialog::LayoutTitleStrip() {
    RECT client{};
    GetClientRect(&client);
    auto place = [](CPngButton& button, int x, int width) { button.MoveWindow(x, 0, width, kStripHeight); };

    // From the right edge leftwards; nothing is clamped on a narrow window.
    int x = client.right - 2 - m_btnClose.m_nWidth;
    place(m_btnClose, x, m_btnClose.m_nWidth);
    x -= m_btnRestore.m_nWidth;
    place(m_btnRestore, x, m_btnRestore.m_nWidth);
    // Maximise and restore take turns in one place.
    place(m_btnMaximize, x, m_btnRestore.m_nWidth);
    x -= m_btnMinimize.m_nWidth;
    place(m_btnMinimize, x, m_btnMinimize.m_nWidth);
    x -= 40 + m_btnFullScreen.m_nWidth;
    place(m_btnFullScreen, x, m_btnFullScreen.m_nWidth);
    // These three give up their images' 2-pixel margins and touch.
    for (CPngButton* button : {&m_btnBoss, &m_btnClean, &m_btnRefresh}) {
        x -= button->m_nWidth - 2;
        place(*button, x, button->m_nWidth - 2);
    }
    x -= 2 + m_btnServer.m_nWidth;
    place(m_btnServer, x, m_btnServer.m_nWidth);
    Invalidate(TRUE);
}
