#pragma once
// Layered top-level windows: per-pixel alpha from a PNG, or a colour key.

#include <windows.h>
#include "ui/png.h"

// The two layered-window functions of User32, bound by name once per process.
class UpdateLayeredTool {
public:
    using UpdateLayeredWindowFn = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF,
                                                BLENDFUNCTION*, DWORD);
    using SetLayeredWindowAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

    UpdateLayeredTool() = default;
    UpdateLayeredTool(const UpdateLayeredTool&) = delete;
    UpdateLayeredTool& operator=(const UpdateLayeredTool&) = delete;
    virtual ~UpdateLayeredTool();

    HMODULE m_hUser32 = nullptr;
    UpdateLayeredWindowFn m_pfnUpdateLayeredWindow = nullptr;
    SetLayeredWindowAttributesFn m_pfnSetLayeredWindowAttributes = nullptr;
};

// The process-wide instance, created (and User32 loaded) on the first call.
UpdateLayeredTool* GetUpdateLayeredTool();

class CLayeredWindowHelper {
public:
    // Gives m_hWnd the image's pixels, size and per-pixel alpha, where it stands.
    void DrawPerPixelAlpha();
    // Pixels of exactly `key` become transparent, all others drawn at `alpha`.
    void SetColorKey(COLORREF key, BYTE alpha);

    CGdiPlusPngResource m_png;
    HWND m_hWnd = nullptr;

private:
    void MakeLayered();
};
