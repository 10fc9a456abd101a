#include "support/win_test.h"

#include <ostream>
#include <utility>
#include <vector>

namespace test {

void PumpMessages(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (!done()) {
        if (::GetTickCount64() >= end) return done();
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

COLORREF ClientPixel(HWND hwnd, int x, int y) {
    HDC dc = ::GetDC(hwnd);
    const COLORREF color = ::GetPixel(dc, x, y);
    ::ReleaseDC(hwnd, dc);
    return color;
}

RECT WindowRect(HWND hwnd) {
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    return rect;
}

RECT RectInParent(HWND hwnd) {
    RECT rect = WindowRect(hwnd);
    ::MapWindowPoints(nullptr, ::GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

namespace {
struct Pending {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    UINT_PTR timer;
};
std::vector<Pending>& PendingPosts() {
    static std::vector<Pending> posts;
    return posts;
}
void CALLBACK PostNow(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    auto& posts = PendingPosts();
    for (auto it = posts.begin(); it != posts.end(); ++it) {
        if (it->timer != timer) continue;
        ::PostMessageW(it->hwnd, it->message, it->wParam, it->lParam);
        posts.erase(it);
        return;
    }
}
}  // namespace

void PostLater(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT delayMs) {
    const UINT_PTR timer = ::SetTimer(nullptr, 0, delayMs, &PostNow);
    PendingPosts().push_back({hwnd, message, wParam, lParam, timer});
}

namespace {
std::vector<std::pair<UINT_PTR, std::function<void()>>>& LaterWork() {
    static std::vector<std::pair<UINT_PTR, std::function<void()>>> work;
    return work;
}
void CALLBACK RunNow(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    auto& all = LaterWork();
    for (auto it = all.begin(); it != all.end(); ++it) {
        if (it->first != timer) continue;
        auto work = std::move(it->second);
        all.erase(it);
        work();
        return;
    }
}
}  // namespace

void RunLater(std::function<void()> work, UINT delayMs) {
    const UINT_PTR timer = ::SetTimer(nullptr, 0, delayMs, &RunNow);
    LaterWork().emplace_back(timer, std::move(work));
}

HWND FindOwnWindow(const wchar_t* className, const wchar_t* title) {
    struct Search {
        const wchar_t* className;
        const wchar_t* title;
        HWND found;
    } search{className, title, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), [](HWND hwnd, LPARAM lp) CALLBACK -> BOOL {
        auto* s = reinterpret_cast<Search*>(lp);
        wchar_t cls[64] = {};
        wchar_t text[256] = {};
        ::GetClassNameW(hwnd, cls, 64);
        ::GetWindowTextW(hwnd, text, 256);
        if ((!s->className || lstrcmpW(cls, s->className) == 0) && (!s->title || lstrcmpW(text, s->title) == 0)) {
            s->found = hwnd;
            return FALSE;
        }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

WorkAreaOverride::WorkAreaOverride(RECT area) {
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &saved_, 0);
    ::SystemParametersInfoW(SPI_SETWORKAREA, 0, &area, 0);
}

WorkAreaOverride::~WorkAreaOverride() { ::SystemParametersInfoW(SPI_SETWORKAREA, 0, &saved_, 0); }

}  // namespace test

bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void PrintTo(const RECT& rect, std::ostream* os) {
    *os << "(" << rect.left << ", " << rect.top << ")-(" << rect.right << ", " << rect.bottom << ") "
        << (rect.right - rect.left) << "x" << (rect.bottom - rect.top);
}
