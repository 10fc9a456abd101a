#include "ui/minimized_icon.h"

void PaintMinimizedIcon(CWnd& wnd, HICON icon) {
    CPaintDC dc(wnd.m_hWnd);
    wnd.SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT rect{};
    wnd.GetClientRect(&rect);
    const int x = (rect.right - rect.left - iconWidth + 1) / 2;
    const int y = (rect.bottom - rect.top - iconHeight + 1) / 2;
    ::DrawIcon(dc.GetSafeHdc(), x, y, icon);
}
