#include "framework/gdi.h"

#include <cstdlib>

BOOL CFont::CreatePointFont(int pointSize, const wchar_t* faceName) {
    LOGFONTW font{};
    HDC screen = ::GetDC(nullptr);
    // Tenths of a point to device units, as the framework's point fonts do.
    POINT height{0, ::MulDiv(::GetDeviceCaps(screen, LOGPIXELSY), pointSize, 720)};
    ::DPtoLP(screen, &height, 1);
    ::ReleaseDC(nullptr, screen);
    font.lfHeight = -std::abs(height.y);
    font.lfCharSet = DEFAULT_CHARSET;
    ::lstrcpynW(font.lfFaceName, faceName, LF_FACESIZE);
    return Attach(::CreateFontIndirectW(&font));
}
