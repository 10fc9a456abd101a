#pragma once
// CPngButton: an owner-drawn push button showing one row of a four-row PNG strip
// (normal, mouse over, pressed, never drawn). Its images show no focus: an owner
// whose buttons are no tab stops (ModifyStyle(WS_TABSTOP, 0)) gets buttons that
// never keep the keyboard focus either, so that Space or Enter never fires one
// the player cannot see is chosen.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include "framework/controls.h"
#include "framework/handles.h"

class CPngButton : public CButton {
public:
    CPngButton() = default;
    ~CPngButton() override;

    // Loads strip `id`, sizes the button to one state and prepares drawing. A strip
    // that cannot be loaded leaves the button without image: it draws nothing.
    void SetPngImage(UINT id);

    // Draws the row of the current state through m_pGraphics, never through the
    // DC of the request.
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

    ULONG_PTR m_gdiplusToken = 0;
    Gdiplus::Image* m_pImage = nullptr;
    Gdiplus::Graphics* m_pGraphics = nullptr;
    BOOL m_bTracking = FALSE;
    BOOL m_bHover = FALSE;
    int m_nWidth = 0;
    int m_nStateHeight = 0;

protected:
    const fw::MessageMap* GetMessageMap() const override;
    void PreSubclassWindow() override;
    // A double click reaches the system button as a second press.
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    void OnMouseMove(UINT flags, CPoint point);
    void OnMouseHover(UINT flags, CPoint point);
    void OnMouseLeave();
    void OnLButtonDown(UINT flags, CPoint point);
    BOOL OnSetCursor(CWnd* pWnd, UINT hitTest, UINT message);
    void OnSetFocus(CWnd* pOldWnd);
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnDestroy();

private:
    // Image and Graphics go before the window DC the Graphics draws on.
    void ReleaseStrip();

    fw::WindowDC m_windowDC;
};

// What every owner does for each of its buttons, in this order: start GDI+ into
// the button's token (reporting a failure in a message box, then going on) and give
// it strip `stripId`. The owner places the button afterwards.
void SetUpPngButton(CPngButton& button, UINT stripId);
