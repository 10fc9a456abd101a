// Entry point of every unit-test program: the process-wide state the client's
// own start-up would have prepared (OLE, common controls, GDI+, resources).
#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include "framework/app.h"

int wmain(int argc, wchar_t** argv) {
    ::OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    AfxSetResourceHandle(::GetModuleHandleW(nullptr));

    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    ::OleUninitialize();
    return result;
}
