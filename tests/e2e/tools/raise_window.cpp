// Brings the top-level window captioned exactly <caption> to the top of Wine's
// own stacking, without activating it:
//   raise_window "Wine System Tray"
// While a full-screen window holds the pointer, Wine sends a click to the
// window its stacking puts on top, whatever X shows there.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: raise_window <caption>\n");
        return 2;
    }
    const HWND window = ::FindWindowW(nullptr, argv[1]);
    if (!window) return 1;
    return ::SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE) ? 0 : 1;
}
