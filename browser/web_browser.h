#pragma once
// CWebBrowser2: the window object through which a dialog drives its hosted
// web-browser control (dialog control IDC_BROWSER).

#include <windows.h>
#include <oaidl.h>
#include "framework/wnd.h"

struct CCreateContext;

class CWebBrowser2 : public CWnd {
public:
    // CLSID_WebBrowser, {8856F961-340A-11D0-A96B-00C04FD705A2}.
    static const CLSID kClsid;

    BOOL Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                UINT id, CCreateContext* context = nullptr);
    // Dispatch id 104; the four optional arguments are passed by reference.
    void Navigate(LPCWSTR URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                  VARIANT* Headers);
    // DISPID_REFRESH.
    void Refresh();
};
