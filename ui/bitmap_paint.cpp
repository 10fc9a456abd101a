#include "ui/bitmap_paint.h"

#include "framework/handles.h"

bool StretchBitmap(HDC dc, const CBitmap& bitmap, int width, int height) {
    BITMAP info{};
    if (!bitmap.GetBitmap(&info)) return false;
    fw::MemoryDC memory(dc);
    memory.SelectBitmap(bitmap);
    ::StretchBlt(dc, 0, 0, width, height, memory.get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    return true;
}

void PaintDialogBackground(CWnd& dialog, const CBitmap& bitmap) {
    if (dialog.IsIconic()) {
        // Nothing to draw, but an update region left valid would bring WM_PAINT back at once.
        ::ValidateRect(dialog.m_hWnd, nullptr);
        return;
    }
    dialog.SetWindowPos(dialog.m_hWnd, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    CPaintDC dc(dialog.m_hWnd);
    RECT client{};
    dialog.GetClientRect(&client);
    StretchBitmap(dc.GetSafeHdc(), bitmap, client.right, client.bottom);
    dialog.Default();
}
