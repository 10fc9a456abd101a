#pragma once
// Common controls under the framework's class names.

#include <windows.h>
#include <commctrl.h>
#include <string>
#include "framework/wnd.h"

class CButton : public CWnd {
public:
    // Owner-drawn buttons draw themselves: the parent's WM_DRAWITEM is reflected here.
    virtual void DrawItem(LPDRAWITEMSTRUCT) {}

protected:
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

class CStatic : public CWnd {};

class CToolTipCtrl : public CWnd {
public:
    BOOL Create(CWnd* parent, DWORD style = 0);
    // A tool identified by the window `tool` (TTF_IDISHWND), without subclassing it.
    BOOL AddTool(CWnd* tool, const wchar_t* text);
    // Text of the tool for window `tool`; empty when it has none.
    std::wstring GetToolText(CWnd* tool) const;
    int GetToolCount() const { return static_cast<int>(::SendMessageW(m_hWnd, TTM_GETTOOLCOUNT, 0, 0)); }
};
