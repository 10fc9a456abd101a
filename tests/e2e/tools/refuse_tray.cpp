// A notification area that refuses every icon. Programs hand their icons to the
// first window of class Shell_TrayWnd; this one, top-most, comes before the
// shell's and answers every request with failure:
//   refuse_tray
// Prints "refusing icons" once it is the window programs find, then "refused"
// for every request it turns down.
#include <windows.h>

#include <cstdio>

namespace {

const wchar_t kTrayClass[] = L"Shell_TrayWnd";

LRESULT CALLBACK RefuseIcons(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        std::printf("refused\n");
        std::fflush(stdout);
        return FALSE;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int wmain() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &RefuseIcons;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kTrayClass;
    if (!::RegisterClassW(&windowClass)) return 1;
    const HWND tray = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kTrayClass, L"", WS_POPUP, 0, 0, 0, 0,
                                        nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!tray || ::FindWindowExW(nullptr, nullptr, kTrayClass, nullptr) != tray) return 1;
    std::printf("refusing icons\n");
    std::fflush(stdout);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    return 0;
}
