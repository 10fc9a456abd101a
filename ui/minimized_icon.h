#pragma once

#include "framework/wnd.h"

// Paints a minimised window: background through WM_ICONERASEBKGND, then `icon`
// centred in the client area.
void PaintMinimizedIcon(CWnd& wnd, HICON icon);
