// Another program holding a function key as a system-wide hotkey until it is
// ended, for the cases where the client finds its key taken:
//   hold_hotkey F11
// Prints "holding F11" once the key is its own; exits with 1 when it is taken.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    unsigned number = 0;
    if (argc != 2 || std::swscanf(argv[1], L"F%u", &number) != 1 || number < 1 || number > 24) {
        std::fprintf(stderr, "usage: hold_hotkey F<1-24>\n");
        return 2;
    }
    if (!::RegisterHotKey(nullptr, 1, 0, VK_F1 + number - 1)) return 1;
    std::printf("holding F%u\n", number);
    std::fflush(stdout);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    }
    return 0;
}
