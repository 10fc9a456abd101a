#include "framework/controls.h"

#include <string>

BOOL CButton::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
    if (message != WM_DRAWITEM) return FALSE;
    DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    *result = TRUE;
    return TRUE;
}

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style) {
    HWND hwnd = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | style, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent->m_hWnd,
                                  nullptr, nullptr, nullptr);
    return hwnd ? SubclassWindow(hwnd) : FALSE;
}

namespace {
TTTOOLINFOW ToolFor(HWND parent, HWND tool, wchar_t* text) {
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.uFlags = TTF_IDISHWND;
    info.hwnd = parent;
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = text;
    return info;
}
}  // namespace

BOOL CToolTipCtrl::AddTool(CWnd* tool, const wchar_t* text) {
    TTTOOLINFOW info = ToolFor(::GetParent(tool->m_hWnd), tool->m_hWnd, const_cast<wchar_t*>(text));
    return static_cast<BOOL>(::SendMessageW(m_hWnd, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)));
}

std::wstring CToolTipCtrl::GetToolText(CWnd* tool) const {
    wchar_t text[256] = {};
    TTTOOLINFOW info = ToolFor(::GetParent(tool->m_hWnd), tool->m_hWnd, text);
    ::SendMessageW(m_hWnd, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&info));
    return text;
}
