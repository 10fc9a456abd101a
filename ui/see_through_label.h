#pragma once
// A static control that shows the parent's on-screen pixels under itself and draws
// its text over them without a background. Called from the parent's WM_CTLCOLOR
// handler for the label; returns the brush to give back (the stock hollow brush).

#include "framework/wnd.h"

HBRUSH PaintSeeThroughLabel(CDC* pDC, CWnd* pLabel, COLORREF textColor);
