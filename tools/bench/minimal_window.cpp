// The smallest program that shows what the client's start-up ends with: one
// caption-less 980x668 window, centred. The start-up benchmark times it
// against the client under the same Wine to tell Wine's share from ours.

#include <windows.h>

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"DuskmereBench";
    if (!::RegisterClassExW(&windowClass)) return 1;

    constexpr int kWidth = 980;
    constexpr int kHeight = 668;
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
    const int y = (::GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
    if (!::CreateWindowExW(0, windowClass.lpszClassName, L"Duskmere-bench", WS_POPUP | WS_VISIBLE, x, y, kWidth,
                           kHeight, nullptr, nullptr, instance, nullptr))
        return 1;

    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
