// Layered windows: per-pixel alpha from a PNG, and colour keys.
#include <gtest/gtest.h>

#include "framework/app.h"
#include "framework/dialog.h"
#include "support/win_test.h"
#include "tests/res/test_resource.h"
#include "ui/layered_window.h"

namespace {

// A plain top-level window to make layered.
class TopLevel {
public:
    TopLevel() {
        hwnd = ::CreateWindowExW(0, L"Static", L"layered", WS_POPUP | WS_VISIBLE, 100, 120, 300, 200,
                                 nullptr, nullptr, nullptr, nullptr);
    }
    ~TopLevel() {
        if (::IsWindow(hwnd)) ::DestroyWindow(hwnd);
    }
    LONG_PTR ExStyle() const { return ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE); }
    HWND hwnd;
};

// Pretends User32 lacks the two functions for the lifetime of the object.
class WithoutLayeredFunctions {
public:
    WithoutLayeredFunctions()
        : tool_(GetUpdateLayeredTool()),
          update_(tool_->m_pfnUpdateLayeredWindow),
          set_(tool_->m_pfnSetLayeredWindowAttributes) {
        tool_->m_pfnUpdateLayeredWindow = nullptr;
        tool_->m_pfnSetLayeredWindowAttributes = nullptr;
    }
    ~WithoutLayeredFunctions() {
        tool_->m_pfnUpdateLayeredWindow = update_;
        tool_->m_pfnSetLayeredWindowAttributes = set_;
    }

private:
    UpdateLayeredTool* tool_;
    UpdateLayeredTool::UpdateLayeredWindowFn update_;
    UpdateLayeredTool::SetLayeredWindowAttributesFn set_;
};

}  // namespace

TEST(UpdateLayeredTool, OneInstanceWithBothFunctionsBound) {
    UpdateLayeredTool* tool = GetUpdateLayeredTool();
    EXPECT_EQ(GetUpdateLayeredTool(), tool);
    EXPECT_NE(tool->m_hUser32, nullptr);
    EXPECT_NE(tool->m_pfnUpdateLayeredWindow, nullptr);
    EXPECT_NE(tool->m_pfnSetLayeredWindowAttributes, nullptr);
}

TEST(PerPixelAlpha, WindowTakesTheImageSizeWhereItStands) {
    TopLevel window;
    CLayeredWindowHelper helper;
    helper.m_hWnd = window.hwnd;
    ASSERT_TRUE(helper.m_png.Load(MAKEINTRESOURCEW(IDP_TEST_SQUARE_40X20), AfxGetResourceHandle()));
    helper.DrawPerPixelAlpha();
    EXPECT_EQ(test::WindowRect(window.hwnd), (RECT{100, 120, 140, 140}));
    EXPECT_TRUE(window.ExStyle() & WS_EX_LAYERED);
}

TEST(PerPixelAlpha, NothingHappensWithoutImageOrWindow) {
    TopLevel window;
    CLayeredWindowHelper helper;
    helper.m_hWnd = window.hwnd;
    helper.DrawPerPixelAlpha();  // empty holder
    EXPECT_FALSE(window.ExStyle() & WS_EX_LAYERED);
    EXPECT_EQ(test::WindowRect(window.hwnd), (RECT{100, 120, 400, 320}));

    CLayeredWindowHelper noWindow;
    ASSERT_TRUE(noWindow.m_png.Load(MAKEINTRESOURCEW(IDP_TEST_SQUARE_40X20), AfxGetResourceHandle()));
    noWindow.DrawPerPixelAlpha();  // m_hWnd null

    HWND gone = ::CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ::DestroyWindow(gone);
    noWindow.m_hWnd = gone;
    noWindow.DrawPerPixelAlpha();  // destroyed window
    EXPECT_FALSE(::IsWindow(gone));
}

TEST(ColorKey, AppliesKeyAndOpacityAgainOnAnAlreadyLayeredWindow) {
    TopLevel window;
    CLayeredWindowHelper helper;
    helper.m_hWnd = window.hwnd;
    helper.SetColorKey(RGB(255, 0, 0), 150);
    const LONG_PTR style = window.ExStyle();
    EXPECT_TRUE(style & WS_EX_LAYERED);

    helper.SetColorKey(RGB(255, 255, 0), 255);
    EXPECT_EQ(window.ExStyle(), style);
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(::GetLayeredWindowAttributes(window.hwnd, &key, &alpha, &flags));
    EXPECT_EQ(key, RGB(255, 255, 0));
    EXPECT_EQ(alpha, 255);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY | LWA_ALPHA));
}

TEST(ColorKey, WithoutTheUser32FunctionsTheWindowIsStillMadeLayered) {
    TopLevel keyed;
    TopLevel alpha;
    WithoutLayeredFunctions missing;

    CLayeredWindowHelper keyHelper;
    keyHelper.m_hWnd = keyed.hwnd;
    keyHelper.SetColorKey(RGB(255, 0, 0), 150);
    EXPECT_TRUE(keyed.ExStyle() & WS_EX_LAYERED);
    COLORREF key = 0;
    BYTE opacity = 0;
    DWORD flags = 0;
    EXPECT_FALSE(::GetLayeredWindowAttributes(keyed.hwnd, &key, &opacity, &flags) && flags != 0);

    CLayeredWindowHelper alphaHelper;
    alphaHelper.m_hWnd = alpha.hwnd;
    ASSERT_TRUE(alphaHelper.m_png.Load(MAKEINTRESOURCEW(IDP_TEST_SQUARE_40X20), AfxGetResourceHandle()));
    alphaHelper.DrawPerPixelAlpha();
    EXPECT_TRUE(alpha.ExStyle() & WS_EX_LAYERED);
    EXPECT_EQ(test::WindowRect(alpha.hwnd), (RECT{100, 120, 400, 320}));  // no update: size unchanged
}
