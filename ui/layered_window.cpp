#include "ui/layered_window.h"

#include "framework/handles.h"

namespace {
UpdateLayeredTool* g_updateLayeredTool = nullptr;
}

UpdateLayeredTool::~UpdateLayeredTool() {
    if (m_hUser32) ::FreeLibrary(m_hUser32);
}

UpdateLayeredTool* GetUpdateLayeredTool() {
    if (g_updateLayeredTool) return g_updateLayeredTool;
    auto* tool = new UpdateLayeredTool();
    tool->m_hUser32 = ::LoadLibraryW(L"User32.DLL");
    if (tool->m_hUser32) {
        tool->m_pfnUpdateLayeredWindow = reinterpret_cast<UpdateLayeredTool::UpdateLayeredWindowFn>(
            reinterpret_cast<void*>(::GetProcAddress(tool->m_hUser32, "UpdateLayeredWindow")));
        tool->m_pfnSetLayeredWindowAttributes =
            reinterpret_cast<UpdateLayeredTool::SetLayeredWindowAttributesFn>(
                reinterpret_cast<void*>(::GetProcAddress(tool->m_hUser32, "SetLayeredWindowAttributes")));
    }
    g_updateLayeredTool = tool;
    return tool;
}

void CLayeredWindowHelper::MakeLayered() {
    const LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
    if (!(style & WS_EX_LAYERED)) ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, style | WS_EX_LAYERED);
}

void CLayeredWindowHelper::DrawPerPixelAlpha() {
    if (!m_png.m_pImage || !::IsWindow(m_hWnd)) return;
    fw::WindowDC windowDC = fw::WindowDC::Client(m_hWnd);
    RECT rect{};
    ::GetWindowRect(m_hWnd, &rect);
    POINT destination{rect.left, rect.top};

    const int width = static_cast<int>(m_png.Width());
    const int height = static_cast<int>(m_png.Height());
    // Declared before the memory DC, so the DC lets go of it before it is deleted.
    fw::Bitmap bitmap(::CreateCompatibleBitmap(windowDC.get(), width, height));
    fw::MemoryDC memoryDC(windowDC.get());
    memoryDC.SelectBitmap(bitmap.get());
    {
        Gdiplus::Graphics graphics(memoryDC.get());
        const Gdiplus::Point corners[3] = {{0, 0}, {width, 0}, {0, height}};
        graphics.DrawImage(m_png.m_pImage, corners, 3);
    }
    MakeLayered();
    if (auto update = GetUpdateLayeredTool()->m_pfnUpdateLayeredWindow) {
        SIZE size{width, height};
        POINT source{0, 0};
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        update(m_hWnd, windowDC.get(), &destination, &size, memoryDC.get(), &source, 0, &blend, ULW_ALPHA);
    }
}

void CLayeredWindowHelper::SetColorKey(COLORREF key, BYTE alpha) {
    MakeLayered();
    if (auto set = GetUpdateLayeredTool()->m_pfnSetLayeredWindowAttributes)
        set(m_hWnd, key, alpha, LWA_COLORKEY | LWA_ALPHA);
}
