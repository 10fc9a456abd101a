// Prints what the visible top-level windows captioned exactly <caption> say:
// one line per window, the texts of its child windows joined by " | ".
//   window_texts duskmere
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring Text(HWND hwnd) {
    wchar_t text[512] = {};
    ::GetWindowTextW(hwnd, text, 512);
    return text;
}

void Print(const std::wstring& line) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, utf8.data(), size, nullptr, nullptr);
    std::printf("%s\n", utf8.c_str());
}

BOOL CALLBACK AddChildText(HWND child, LPARAM lParam) {
    auto& line = *reinterpret_cast<std::wstring*>(lParam);
    if (!line.empty()) line += L" | ";
    line += Text(child);
    return TRUE;
}

BOOL CALLBACK PrintIfCaptioned(HWND hwnd, LPARAM lParam) {
    if (::IsWindowVisible(hwnd) && Text(hwnd) == reinterpret_cast<const wchar_t*>(lParam)) {
        std::wstring line;
        ::EnumChildWindows(hwnd, &AddChildText, reinterpret_cast<LPARAM>(&line));
        Print(line);
    }
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_texts <caption>\n");
        return 2;
    }
    ::EnumWindows(&PrintIfCaptioned, reinterpret_cast<LPARAM>(argv[1]));
    return 0;
}
