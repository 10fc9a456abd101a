#include "ui/see_through_label.h"

#include "framework/handles.h"

HBRUSH PaintSeeThroughLabel(CDC* pDC, CWnd* pLabel, COLORREF textColor) {
    pDC->SetBkMode(TRANSPARENT);
    pDC->SetTextColor(textColor);

    HWND parent = ::GetParent(pLabel->m_hWnd);
    RECT rect{};
    pLabel->GetWindowRect(&rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    fw::WindowDC parentDC = fw::WindowDC::Client(parent);
    ::BitBlt(pDC->GetSafeHdc(), 0, 0, rect.right - rect.left, rect.bottom - rect.top, parentDC.get(),
             rect.left, rect.top, SRCCOPY);
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}
