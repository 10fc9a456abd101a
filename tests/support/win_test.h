#pragma once
// Helpers for tests that drive real windows under Wine.

#include <windows.h>
#include <functional>
#include <iosfwd>

namespace test {

// Dispatches this thread's messages for `ms` milliseconds.
void PumpMessages(DWORD ms);
// Dispatches messages until `done` holds or `timeoutMs` passes; the final value of done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);
// The colour of one pixel of a window's client area, read from its own DC.
COLORREF ClientPixel(HWND hwnd, int x, int y);
// Window rectangle in screen coordinates / relative to the parent's client area.
RECT WindowRect(HWND hwnd);
RECT RectInParent(HWND hwnd);
// Posts a message after `delayMs`, from a timer, to end a modal loop from inside.
void PostLater(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT delayMs);
// Runs `work` from whatever message loop runs after `delayMs` (a modal one, say).
void RunLater(std::function<void()> work, UINT delayMs = 300);
// The top-level window of this process with class `className` and text `title`.
HWND FindOwnWindow(const wchar_t* className, const wchar_t* title);

// Puts the work area somewhere else for the object's lifetime.
class WorkAreaOverride {
public:
    explicit WorkAreaOverride(RECT area);
    ~WorkAreaOverride();
    WorkAreaOverride(const WorkAreaOverride&) = delete;
    WorkAreaOverride& operator=(const WorkAreaOverride&) = delete;

private:
    RECT saved_{};
};

}  // namespace test

// gtest printing of rectangles.
bool operator==(const RECT& a, const RECT& b);
void PrintTo(const RECT& rect, std::ostream* os);
