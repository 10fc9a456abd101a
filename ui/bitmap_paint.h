#pragma once
// Windows whose look is a bitmap stretched over (part of) their client area.

#include "framework/wnd.h"

// Stretches the whole of `bitmap` over (0, 0, width, height) of `dc`; false, and
// nothing drawn, when no bitmap is held (it may have been released already).
bool StretchBitmap(HDC dc, const CBitmap& bitmap, int width, int height);

// The paint handler of a caption-less dialog drawn from one bitmap: nothing (but
// the update region validated) while minimised; otherwise the dialog comes to the top of its siblings and the bitmap
// covers the whole client area, under the child controls too (the dialogs have no
// WS_CLIPCHILDREN, and their see-through labels show what is painted here), then
// default processing.
void PaintDialogBackground(CWnd& dialog, const CBitmap& bitmap);
