#pragma once
// CGameDialog: the caption-less window the game runs in, a browser under a
// 30-pixel title strip of image buttons, with three display modes, the boss and
// full-screen hotkeys and a notification-area icon.

#include <windows.h>
#include <shellapi.h>
#include <memory>

#include "browser/web_browser.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "ui/png_button.h"

// Callback message of the notification-area icon.
constexpr UINT WM_TRAYNOTIFY = WM_USER + 101;

class CGameDialog : public CDialogEx {
public:
    enum { MODE_FULLSCREEN = 0, MODE_MAXIMIZED = 1, MODE_NORMAL = 2 };
    static constexpr int kStripHeight = 30;

    CGameDialog();

    // Releases the strip bitmap, the hotkeys and the notification-area icon;
    // the hand-off and the application call it right before deleting the object.
    void OnClose();

    void ApplyDisplayMode();
    void ApplyFullScreenGeometry();
    void ApplyMaximizedGeometry();
    void ApplyNormalGeometry();
    void ToggleMaximized();
    void OnFullScreen();
    void ToggleFullScreen();

    void InitTitleStrip();
    void InitStripButtons();
    void ShowTitleStrip(int nCmdShow);
    void LayoutTitleStrip();

    void AddTrayIcon();

    int m_nBossHotKeyId;
    int m_nFullScreenHotKeyId;
    int m_nDisplayMode;
    NOTIFYICONDATAW m_nid{};
    CBitmap m_bmpTitleStrip;
    HICON m_hIcon;
    CWebBrowser2 m_browser;
    CPngButton m_btnClose;
    CPngButton m_btnRestore;
    CPngButton m_btnMinimize;
    CPngButton m_btnFullScreen;
    CPngButton m_btnBoss;
    CPngButton m_btnRefresh;
    CPngButton m_btnServer;
    CPngButton m_btnClean;
    CPngButton m_btnMaximize;
    std::unique_ptr<CToolTipCtrl> m_pToolTip;

protected:
    const fw::MessageMap* GetMessageMap() const override;
    const fw::EventSinkMap* GetEventSinkMap() const override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}

    void OnSize(UINT nType, int cx, int cy);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnLButtonDblClk(UINT nFlags, CPoint point);
    void OnPaint();
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    void OnNavigateComplete2(IDispatch* pDisp, VARIANT* URL);

    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    // The notification area restarted without the icons it held.
    LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam);
    void OnHotKey(UINT nHotKeyId, UINT nKey1, UINT nKey2);
    void OnMinimize();
    void OnBoss();
    void OnCleanCache();
    void OnRefresh();
    // A close asked for from outside (taskbar, Alt+F4) goes through the quit
    // confirmation instead of tearing the window down under the player.
    void OnCloseRequest();
    void OnDestroy();

private:
    // A hotkey's standing: registered, refused by the system (another program
    // holds the key), or nothing to release.
    enum class HotKeyHold { None, Registered, Refused };

    void ToggleVisibility();
    // Registers `vk` without modifiers, reporting a refusal with `failure`.
    HotKeyHold HoldHotKey(int id, UINT vk, const wchar_t* failure);
    void RegisterHotKeys();
    // `reportRefused`: whether a key the system refused is still unregistered,
    // and its failure reported, as while the game goes on.
    void ReleaseHotKeys(bool reportRefused);
    void RemoveTrayIcon();

    CBitmap m_bmpLogo;
    HotKeyHold m_bossHotKeyHold = HotKeyHold::None;
    HotKeyHold m_fullScreenHotKeyHold = HotKeyHold::None;
    bool m_bTrayIconAdded = false;
    // Where the strip was last pressed in the centred window, while the window
    // holds the capture waiting for the press to become a drag.
    POINT m_ptStripPress{};
};
