#pragma once
// CPngButton: an owner-drawn push button showing one row of a four-row PNG strip
// (normal, mouse over, pressed, never drawn).

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include "framework/controls.h"

class CPngButton : public CButton {
public:
    CPngButton() = default;
    ~CPngButton() override;

    // Loads strip `id`, sizes the button to one state and prepares drawing.
    void SetPngImage(UINT id);

    ULONG_PTR m_gdiplusToken = 0;
    Gdiplus::Image* m_pImage = nullptr;
    Gdiplus::Graphics* m_pGraphics = nullptr;
    BOOL m_bTracking = FALSE;
    BOOL m_bHover = FALSE;
    int m_nWidth = 0;
    int m_nStateHeight = 0;
};

// What every owner does for each of its buttons, in this order: start GDI+ into
// the button's token (reporting a failure in a message box, then going on) and give
// it strip `stripId`. The owner places the button afterwards.
void SetUpPngButton(CPngButton& button, UINT stripId);
