// The image button in a real top-level window on the test display: pixels are
// read back from the button's window, clicks counted by its parent.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "support/gdi_objects.h"
#include "support/import_patch.h"
#include "support/win_test.h"
#include "tests/res/test_resource.h"
#include "ui/png_button.h"

namespace {

constexpr COLORREF kBackdrop = RGB(90, 60, 120);
// Rows of the colour-coded test strips; the fourth, never to be seen, is yellow.
constexpr COLORREF kRow0 = RGB(200, 30, 30);
constexpr COLORREF kRow1 = RGB(30, 200, 30);
constexpr COLORREF kRow2 = RGB(30, 30, 200);

constexpr UINT kNoSuchPng = 2999;

constexpr int kFirstId = 101;
constexpr int kSecondId = 102;
constexpr POINT kHostOrigin{200, 150};
constexpr POINT kFarAway{1900, 1060};

const wchar_t kHostClass[] = L"PngButtonTestHost";

void RegisterHostClass() {
    static const ATOM atom = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = ::CreateSolidBrush(kBackdrop);
        wc.lpszClassName = kHostClass;
        return ::RegisterClassExW(&wc);
    }();
    ASSERT_NE(atom, 0);
}

// A visible top-level window in one flat colour that counts its buttons' clicks.
// It has no WS_CLIPCHILDREN, like the dialogs that own the buttons.
class ButtonHost : public CWnd {
public:
    ButtonHost() {
        RegisterHostClass();
        HWND hwnd = ::CreateWindowExW(0, kHostClass, L"button host", WS_POPUP | WS_VISIBLE, kHostOrigin.x,
                                      kHostOrigin.y, 400, 120, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                                      nullptr);
        SubclassWindow(hwnd);
        ::UpdateWindow(hwnd);
    }

    // A plain push button as a template gives it, subclassed into `button`.
    void AddButton(CPngButton& button, int id) {
        HWND hwnd = ::CreateWindowExW(0, L"Button", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 10, 10,
                                      50, 14, m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                      ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(button.SubclassWindow(hwnd));
    }

    // Paints the host and then its buttons, as after an uncovering.
    void Repaint() {
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        test::PumpMessages(30);
    }

    POINT ToScreen(POINT client) const {
        ::ClientToScreen(m_hWnd, &client);
        return client;
    }

    int m_nFirstClicks = 0;
    int m_nSecondClicks = 0;

protected:
    const fw::MessageMap* GetMessageMap() const override {
        static const fw::MessageEntry entries[] = {
            fw::OnCommand<&ButtonHost::OnFirstClicked>(kFirstId),
            fw::OnCommand<&ButtonHost::OnSecondClicked>(kSecondId),
        };
        static const fw::MessageMap map(CWnd::GetMessageMap(), entries);
        return &map;
    }
    void OnFirstClicked() { ++m_nFirstClicks; }
    void OnSecondClicked() { ++m_nSecondClicks; }
};

std::string Hex(COLORREF colour) {
    char text[16];
    static_cast<void>(std::snprintf(text, sizeof(text), "0x%06lX", static_cast<unsigned long>(colour)));
    return text;
}

// Every pixel of a w x h block at the button's top-left corner (every other
// pixel, which still hits each row edge), or the first one that differs.
::testing::AssertionResult BlockIs(HWND hwnd, int w, int h, COLORREF expected) {
    HDC dc = ::GetDC(hwnd);
    ::testing::AssertionResult result = ::testing::AssertionSuccess();
    for (int y = 0; y < h && result; y += (y + 2 < h ? 2 : 1)) {
        for (int x = 0; x < w && result; x += (x + 2 < w ? 2 : 1)) {
            const COLORREF got = ::GetPixel(dc, x, y);
            if (got != expected)
                result = ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << Hex(got)
                                                       << ", expected " << Hex(expected);
        }
    }
    ::ReleaseDC(hwnd, dc);
    return result;
}

SIZE WindowSize(HWND hwnd) {
    const RECT rect = test::WindowRect(hwnd);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

// The window DC the button draws on, as its Graphics holds it.
HDC HeldDC(CPngButton& button) {
    if (!button.m_pGraphics) return nullptr;
    HDC dc = button.m_pGraphics->GetHDC();
    button.m_pGraphics->ReleaseHDC(dc);
    return dc;
}

// Looks, right after a window has handled WM_DESTROY (it still exists then), at
// whether the DC it was given is still attached to it. The system would take a
// forgotten cache DC back itself once the window is gone, so only this moment
// tells a released DC from a reclaimed one.
class DestroyWatch {
public:
    DestroyWatch() : hook_(::SetWindowsHookExW(WH_CALLWNDPROCRET, &Hook, nullptr, ::GetCurrentThreadId())) {
        s_active = this;
    }
    ~DestroyWatch() {
        ::UnhookWindowsHookEx(hook_);
        s_active = nullptr;
    }
    DestroyWatch(const DestroyWatch&) = delete;
    DestroyWatch& operator=(const DestroyWatch&) = delete;

    void Watch(HWND hwnd, HDC dc) {
        hwnd_ = hwnd;
        dc_ = dc;
    }
    bool hooked() const { return hook_ != nullptr; }

    int m_nDestroyed = 0;
    int m_nStillHeld = 0;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        DestroyWatch* self = s_active;
        if (code == HC_ACTION && self && call->message == WM_DESTROY && call->hwnd == self->hwnd_) {
            ++self->m_nDestroyed;
            if (::WindowFromDC(self->dc_) == self->hwnd_) ++self->m_nStillHeld;
        }
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static inline DestroyWatch* s_active = nullptr;
    HHOOK hook_;
    HWND hwnd_ = nullptr;
    HDC dc_ = nullptr;
};

class PngButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::SetCursorPos(kFarAway.x, kFarAway.y);
        test::PumpMessages(30);
    }
    void TearDown() override {
        ::ReleaseCapture();
        ::SetCursorPos(kFarAway.x, kFarAway.y);
    }

    void Press(HWND hwnd, UINT message = WM_LBUTTONDOWN) {
        ::SendMessageW(hwnd, message, MK_LBUTTON, MAKELPARAM(5, 5));
        test::PumpMessages(30);
    }
    void Release(HWND hwnd) {
        ::SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        test::PumpMessages(30);
    }
    // A real left click through the input queue, at a point of the host.
    void ClickAt(POINT client) {
        const POINT screen = host_.ToScreen(client);
        ::SetCursorPos(screen.x, screen.y);
        test::PumpMessages(50);
        INPUT clicks[2]{};
        clicks[0].type = clicks[1].type = INPUT_MOUSE;
        clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        ::SendInput(2, clicks, sizeof(INPUT));
        test::PumpMessages(100);
    }

    ButtonHost host_;
    CPngButton button_;
};

TEST_F(PngButtonTest, DrawsTheRowOfEachStateAndNeverTheFourth) {
    host_.AddButton(button_, kFirstId);
    SetUpPngButton(button_, IDP_TEST_STRIP_74X104);
    const HWND hwnd = button_.m_hWnd;
    EXPECT_NE(button_.m_gdiplusToken, 0u);
    EXPECT_EQ(button_.m_nWidth, 74);
    EXPECT_EQ(button_.m_nStateHeight, 26);
    const SIZE size = WindowSize(hwnd);
    EXPECT_EQ(size.cx, 74);
    EXPECT_EQ(size.cy, 26);

    host_.Repaint();
    EXPECT_TRUE(BlockIs(hwnd, 74, 26, kRow0)) << "normal";

    ::SendMessageW(hwnd, WM_MOUSEHOVER, 0, MAKELPARAM(5, 5));
    test::PumpMessages(30);
    EXPECT_TRUE(BlockIs(hwnd, 74, 26, kRow1)) << "mouse over";

    Press(hwnd);
    EXPECT_TRUE(BlockIs(hwnd, 74, 26, kRow2)) << "pressed while over";
    Release(hwnd);
    EXPECT_TRUE(BlockIs(hwnd, 74, 26, kRow1)) << "released over";
    EXPECT_EQ(host_.m_nFirstClicks, 1);

    ::SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
    test::PumpMessages(30);
    EXPECT_TRUE(BlockIs(hwnd, 74, 26, kRow0)) << "left";
    EXPECT_FALSE(button_.m_bHover);
    EXPECT_FALSE(button_.m_bTracking);
}

TEST_F(PngButtonTest, StateHeightIsAQuarterRoundedDown) {
    host_.AddButton(button_, kFirstId);
    SetUpPngButton(button_, IDP_TEST_STRIP_40X102);
    const HWND hwnd = button_.m_hWnd;
    const SIZE size = WindowSize(hwnd);
    EXPECT_EQ(size.cx, 40);
    EXPECT_EQ(size.cy, 25);

    // Rows start at 0, 25 and 50; the strip's yellow begins at 75.
    host_.Repaint();
    EXPECT_TRUE(BlockIs(hwnd, 40, 25, kRow0));
    ::SendMessageW(hwnd, WM_MOUSEHOVER, 0, 0);
    test::PumpMessages(30);
    EXPECT_TRUE(BlockIs(hwnd, 40, 25, kRow1));
    Press(hwnd);
    EXPECT_TRUE(BlockIs(hwnd, 40, 25, kRow2));
    Release(hwnd);
}

TEST_F(PngButtonTest, DisabledButtonDrawsLikeAnEnabledOne) {
    host_.AddButton(button_, kFirstId);
    SetUpPngButton(button_, IDP_TEST_STRIP_74X104);
    const HWND hwnd = button_.m_hWnd;
    ::EnableWindow(hwnd, FALSE);
    host_.Repaint();
    EXPECT_TRUE(BlockIs(hwnd, 74, 26, kRow0));
    ::SendMessageW(hwnd, WM_MOUSEHOVER, 0, 0);
    test::PumpMessages(30);
    EXPECT_TRUE(BlockIs(hwnd, 74, 26, kRow1));
}

TEST_F(PngButtonTest, RealCursorRestingOverItShowsTheHoverRow) {
    host_.AddButton(button_, kFirstId);
    SetUpPngButton(button_, IDP_TEST_STRIP_74X104);
    const HWND hwnd = button_.m_hWnd;
    host_.Repaint();

    const POINT over = host_.ToScreen({40, 20});
    ::SetCursorPos(over.x, over.y);
    ASSERT_TRUE(test::PumpUntil([&] { return button_.m_bHover == TRUE; }, 3000));
    test::PumpMessages(30);
    EXPECT_TRUE(button_.m_bTracking);
    EXPECT_TRUE(BlockIs(hwnd, 74, 26, kRow1));

    ::SetCursorPos(kFarAway.x, kFarAway.y);
    ASSERT_TRUE(test::PumpUntil([&] { return button_.m_bHover == FALSE; }, 3000));
    test::PumpMessages(30);
    EXPECT_FALSE(button_.m_bTracking);
    EXPECT_TRUE(BlockIs(hwnd, 74, 26, kRow0));
}

TEST_F(PngButtonTest, DoubleClickIsTwoClicks) {
    host_.AddButton(button_, kFirstId);
    SetUpPngButton(button_, IDP_TEST_STRIP_74X104);
    const HWND hwnd = button_.m_hWnd;
    host_.Repaint();

    Press(hwnd);
    Release(hwnd);
    Press(hwnd, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(BlockIs(hwnd, 74, 26, kRow2)) << "the second click presses the button again";
    Release(hwnd);
    EXPECT_EQ(host_.m_nFirstClicks, 2);
}

TEST_F(PngButtonTest, HandCursorAndClicksOverTheWholeWiderWindow) {
    host_.AddButton(button_, kFirstId);
    SetUpPngButton(button_, IDP_TEST_STRIP_74X104);
    const HWND hwnd = button_.m_hWnd;
    button_.MoveWindow(10, 10, 256, 26, TRUE);
    host_.Repaint();

    // Only the strip's own 74 x 26 at the left is painted.
    EXPECT_TRUE(BlockIs(hwnd, 74, 26, kRow0));
    EXPECT_EQ(test::ClientPixel(hwnd, 74, 13), kBackdrop);
    EXPECT_EQ(test::ClientPixel(hwnd, 200, 13), kBackdrop);

    const HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    ASSERT_NE(::GetCursor(), hand);
    const POINT over = host_.ToScreen({10 + 200, 10 + 13});
    ::SetCursorPos(over.x, over.y);
    EXPECT_TRUE(test::PumpUntil([&] { return ::GetCursor() == hand; }, 2000));

    // Whatever the hit-test code and mouse message.
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(::SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTBORDER, WM_RBUTTONDOWN)),
              TRUE);
    EXPECT_EQ(::GetCursor(), hand);

    ClickAt({10 + 250, 10 + 20});
    EXPECT_EQ(host_.m_nFirstClicks, 1);
}

TEST_F(PngButtonTest, RgbaStripIsBlendedOverWhatTheWindowShows) {
    host_.AddButton(button_, kFirstId);
    SetUpPngButton(button_, IDP_TEST_STRIP_RGBA);
    host_.Repaint();
    // Blue at alpha 128 over the host's colour: no background of its own.
    const COLORREF got = test::ClientPixel(button_.m_hWnd, 15, 15);
    EXPECT_NEAR(GetRValue(got), 45, 3);
    EXPECT_NEAR(GetGValue(got), 30, 3);
    EXPECT_NEAR(GetBValue(got), 187, 3);
}

TEST_F(PngButtonTest, UndecodableStripGivesAnEmptyButtonThatStillClicks) {
    host_.AddButton(button_, kFirstId);
    SetUpPngButton(button_, IDP_TEST_BROKEN);
    const HWND hwnd = button_.m_hWnd;
    const SIZE size = WindowSize(hwnd);
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(size.cy, 0);

    button_.MoveWindow(10, 10, 40, 20, TRUE);
    host_.Repaint();
    EXPECT_TRUE(BlockIs(hwnd, 40, 20, kBackdrop));
    Press(hwnd);
    Release(hwnd);
    EXPECT_EQ(host_.m_nFirstClicks, 1);
}

TEST_F(PngButtonTest, StripThatCannotBeLoadedLeavesTheButtonWithoutImage) {
    for (const UINT id : {kNoSuchPng, UINT{IDP_TEST_EMPTY}}) {
        SCOPED_TRACE(id);
        CPngButton button;
        host_.AddButton(button, kFirstId);
        SetUpPngButton(button, id);
        EXPECT_EQ(button.m_pImage, nullptr);
        EXPECT_EQ(button.m_nWidth, 0);
        button.MoveWindow(10, 10, 40, 20, TRUE);
        host_.Repaint();
        EXPECT_TRUE(BlockIs(button.m_hWnd, 40, 20, kBackdrop));
    }
}

namespace {
// GDI+ out of memory for Graphics objects only: the strip still loads.
void* WINGDIPAPI GdipAllocNoGraphics(size_t size) {
    // The real one, not through the patched import.
    using Alloc = void*(WINGDIPAPI*)(size_t);
    static const auto alloc = reinterpret_cast<Alloc>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"gdiplus.dll"), "GdipAlloc")));
    return size == sizeof(Gdiplus::Graphics) ? nullptr : alloc(size);
}
}  // namespace

TEST_F(PngButtonTest, WithoutAGraphicsObjectTheButtonDrawsNothingButClicks) {
    static_assert(sizeof(Gdiplus::Graphics) != sizeof(Gdiplus::Image));
    host_.AddButton(button_, kFirstId);
    {
        test::ImportPatch noGraphics("gdiplus.dll", "GdipAlloc", reinterpret_cast<const void*>(&GdipAllocNoGraphics));
        ASSERT_TRUE(noGraphics.Patched());
        SetUpPngButton(button_, IDP_TEST_STRIP_74X104);
    }
    EXPECT_NE(button_.m_pImage, nullptr);
    EXPECT_EQ(button_.m_pGraphics, nullptr);
    const HWND hwnd = button_.m_hWnd;
    const SIZE size = WindowSize(hwnd);
    host_.Repaint();
    EXPECT_TRUE(BlockIs(hwnd, size.cx, size.cy, kBackdrop));
    Press(hwnd);
    Release(hwnd);
    EXPECT_EQ(host_.m_nFirstClicks, 1);
}

TEST_F(PngButtonTest, LaterStripLiesOnTopAndTakesTheClicks) {
    CPngButton other;
    host_.AddButton(button_, kFirstId);
    host_.AddButton(other, kSecondId);
    const POINT overlap{200, 20};
    struct Order {
        CPngButton* earlier;
        CPngButton* later;
        const int* laterClicks;
    };
    for (const Order& order : {Order{&button_, &other, &host_.m_nSecondClicks},
                               Order{&other, &button_, &host_.m_nFirstClicks}}) {
        SetUpPngButton(*order.earlier, IDP_TEST_STRIP_74X104);
        SetUpPngButton(*order.later, IDP_TEST_STRIP_74X104);
        button_.MoveWindow(10, 10, 256, 26, TRUE);
        other.MoveWindow(120, 10, 256, 26, TRUE);
        EXPECT_EQ(::ChildWindowFromPoint(host_.m_hWnd, overlap), order.later->m_hWnd);

        const int before = *order.laterClicks;
        const int total = host_.m_nFirstClicks + host_.m_nSecondClicks;
        ClickAt(overlap);
        EXPECT_EQ(*order.laterClicks, before + 1);
        EXPECT_EQ(host_.m_nFirstClicks + host_.m_nSecondClicks, total + 1);
    }
}

TEST_F(PngButtonTest, SecondStripReplacesTheFirst) {
    host_.AddButton(button_, kFirstId);
    SetUpPngButton(button_, IDP_TEST_STRIP_74X104);
    const HWND hwnd = button_.m_hWnd;
    const HDC first = HeldDC(button_);
    ASSERT_EQ(::WindowFromDC(first), hwnd);

    button_.SetPngImage(IDP_TEST_STRIP_40X102);
    const SIZE size = WindowSize(hwnd);
    EXPECT_EQ(size.cx, 40);
    EXPECT_EQ(size.cy, 25);
    const HDC second = HeldDC(button_);
    EXPECT_EQ(::WindowFromDC(second), hwnd);
    // Either the first DC went back and was handed out again, or it is free.
    EXPECT_TRUE(first == second || ::WindowFromDC(first) == nullptr);
    host_.Repaint();
    EXPECT_TRUE(BlockIs(hwnd, 40, 25, kRow0));

    const int live = test::LiveGdiObjects();
    for (int i = 0; i < 50; ++i) button_.SetPngImage(i % 2 ? IDP_TEST_STRIP_74X104 : IDP_TEST_STRIP_40X102);
    EXPECT_EQ(test::LiveGdiObjects(), live);
}

TEST_F(PngButtonTest, WindowDCIsReleasedWhenTheWindowGoes) {
    DestroyWatch watch;
    ASSERT_TRUE(watch.hooked());
    // The window destroyed under a living object, then an object destroyed with its window.
    host_.AddButton(button_, kFirstId);
    SetUpPngButton(button_, IDP_TEST_STRIP_74X104);
    watch.Watch(button_.m_hWnd, HeldDC(button_));
    button_.DestroyWindow();
    EXPECT_EQ(button_.m_pGraphics, nullptr);
    EXPECT_EQ(button_.m_pImage, nullptr);

    auto owned = std::make_unique<CPngButton>();
    host_.AddButton(*owned, kSecondId);
    SetUpPngButton(*owned, IDP_TEST_STRIP_74X104);
    watch.Watch(owned->m_hWnd, HeldDC(*owned));
    owned.reset();

    EXPECT_EQ(watch.m_nDestroyed, 2);
    EXPECT_EQ(watch.m_nStillHeld, 0);
}

TEST_F(PngButtonTest, CreateDestroyCyclesLeakNoDCsOrGdiObjects) {
    constexpr int kCycles = 200;
    DestroyWatch watch;
    ASSERT_TRUE(watch.hooked());
    // One cycle first, so that caches filled on first use are not counted.
    auto cycle = [&](int i) {
        auto button = std::make_unique<CPngButton>();
        host_.AddButton(*button, kFirstId);
        SetUpPngButton(*button, IDP_TEST_STRIP_74X104);
        ::RedrawWindow(button->m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        watch.Watch(button->m_hWnd, HeldDC(*button));
        if (i % 2) button->DestroyWindow();
    };
    cycle(0);
    const int live = test::LiveGdiObjects();
    for (int i = 1; i <= kCycles; ++i) cycle(i);
    test::PumpMessages(30);
    EXPECT_EQ(watch.m_nDestroyed, kCycles + 1);
    EXPECT_EQ(watch.m_nStillHeld, 0);
    EXPECT_EQ(test::LiveGdiObjects(), live);
}

}  // namespace
