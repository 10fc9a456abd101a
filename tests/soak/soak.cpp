// Many round trips between the login windows and the game window, then many
// cache cleanings, in one process with the real windows and browsers. Prints
// the process's memory, kernel handles, GDI objects and windows as it goes and
// fails when they keep growing with the count instead of levelling off.
//
//   soak <round trips> <cleanings>
#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>
#include <ole2.h>
#include <psapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/login_app.h"
#include "browser/custom_occ_manager.h"
#include "browser/external_dispatch.h"
#include "cache/clean_cache_dlg.h"
#include "framework/app.h"
#include "framework/handles.h"
#include "framework/occ_manager.h"
#include "game/game_dialog.h"
#include "login/handoff.h"
#include "login/login_dlg.h"
#include "login/login_panel.h"
#include "login/login_url.h"
#include "res/resource.h"
#include "support/gdi_objects.h"

namespace {

constexpr wchar_t kGameAddress[] = DUSKMERE_LOGIN_URL L"/play?server=1&client=1";
constexpr int kTripsPrintEvery = 50;
constexpr int kCleaningsPrintEvery = 10;
constexpr DWORD kPageTimeoutMs = 20000;
constexpr DWORD kWindowTimeoutMs = 10000;
constexpr int kFilesPerFolder = 6;

// What may still grow over the last three quarters of a phase.
constexpr long long kHandleSlack = 5;
constexpr long long kGdiSlack = 5;
constexpr long long kWindowSlack = 0;
constexpr long long kPrivateSlack = 4 << 20;
// Full-screen surfaces (8 MB each at 1920x1080) come and go in it.
constexpr long long kWorkingSetSlack = 24 << 20;

struct Figures {
    long long workingSet = 0;
    long long privateBytes = 0;
    long long handles = 0;
    long long gdiObjects = 0;
    long long windows = 0;
};

// Wine's GetProcessHandleCount reports 0, so there the handle values are tried
// one by one: they are small multiples of four, reused lowest first.
long long OpenKernelHandles() {
    DWORD count = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &count) && count) return count;
    long long open = 0;
    DWORD flags = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4)
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++open;
    return open;
}

Figures Measure() {
    Figures figures;
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    if (::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory))) {
        figures.workingSet = static_cast<long long>(memory.WorkingSetSize);
        figures.privateBytes = static_cast<long long>(memory.PagefileUsage);
    }
    figures.handles = OpenKernelHandles();
    figures.gdiObjects = test::LiveGdiObjects();
    // Windows of the one user-interface thread: a window left behind shows here.
    ::EnumThreadWindows(::GetCurrentThreadId(), [](HWND, LPARAM count) CALLBACK -> BOOL {
        ++*reinterpret_cast<long long*>(count);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&figures.windows));
    return figures;
}

void Print(const char* phase, int count, ULONGLONG elapsedMs, const Figures& f) {
    std::printf("%-10s %5d %8.1f s %9.1f MB %9.1f MB %8lld %6lld %8lld\n", phase, count,
                static_cast<double>(elapsedMs) / 1000.0, static_cast<double>(f.workingSet) / 1048576.0,
                static_cast<double>(f.privateBytes) / 1048576.0, f.handles, f.gdiObjects, f.windows);
    std::fflush(stdout);
}

// Runs the client's own message loop, which also drops the framework's
// temporary window objects as the product's loop does, until `done` holds.
bool RunLoopUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const UINT_PTR tick = ::SetTimer(nullptr, 0, 10, nullptr);
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    MSG quit{};
    while (!done() && ::GetTickCount64() < end) {
        if (!AfxPumpMessage(&quit)) break;
    }
    ::KillTimer(nullptr, tick);
    return done();
}

bool Fail(const char* what, int count) {
    std::fprintf(stderr, "soak: %s (at %d)\n", what, count);
    return false;
}

// Opens the game address; the game window once its page has completed.
CGameDialog* EnterGameAndWait() {
    EnterGame(kGameAddress);
    CGameDialog* game = theApp.m_pGameDialog;
    if (!game || !RunLoopUntil([game] { return game->m_browser.IsWindowVisible() != FALSE; }, kPageTimeoutMs))
        return nullptr;
    return game;
}

bool RoundTrip(int trip) {
    CGameDialog* game = EnterGameAndWait();
    if (!game) return Fail("the game page did not complete", trip);
    const HWND released = game->m_hWnd;
    ReturnToServerList();
    if (!RunLoopUntil([released] { return !::IsWindow(released); }, kWindowTimeoutMs))
        return Fail("the released game window was not destroyed", trip);
    if (!AfxGetMainWnd()->IsWindowVisible()) return Fail("the login windows did not come back", trip);
    return true;
}

std::wstring SpecialFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    return ::SHGetSpecialFolderPathW(nullptr, path, csidl, TRUE) ? path : L"";
}

void MakeCacheFile(const std::wstring& path) {
    const HANDLE created = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE) return;
    const fw::KernelHandle file(created);
    const char bytes[] = "cached";
    DWORD written = 0;
    ::WriteFile(file.get(), bytes, sizeof(bytes), &written, nullptr);
}

// A few files at the top and in one subfolder; returns their paths.
std::vector<std::wstring> FillFolder(const std::wstring& folder, int round) {
    const std::wstring sub = folder + L"\\soak" + std::to_wstring(round);
    ::CreateDirectoryW(sub.c_str(), nullptr);
    std::vector<std::wstring> made{sub};
    for (int i = 0; i < kFilesPerFolder; ++i) {
        for (const std::wstring& in : {folder, sub}) {
            made.push_back(in + L"\\entry" + std::to_wstring(i) + L".dat");
            MakeCacheFile(made.back());
        }
    }
    return made;
}

bool Cleaning(int round, const std::wstring& cookies, const std::wstring& cache) {
    std::vector<std::wstring> made = FillFolder(cookies, round);
    const std::vector<std::wstring> inCache = FillFolder(cache, round);
    made.insert(made.end(), inCache.begin(), inCache.end());
    for (const std::wstring& path : made)
        if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            return Fail("could not fill the cache", round);
    {
        // As the game window's clean command runs it.
        CCleanCacheDlg dlg;
        dlg.DoModal();
    }
    for (const std::wstring& path : made)
        if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            return Fail("the cleaning left files behind", round);
    return true;
}

struct Metric {
    const char* name;
    long long Figures::*value;
    long long slack;
};
const Metric kMetrics[] = {
    {"working set", &Figures::workingSet, kWorkingSetSlack},
    {"private bytes", &Figures::privateBytes, kPrivateSlack},
    {"handles", &Figures::handles, kHandleSlack},
    {"GDI objects", &Figures::gdiObjects, kGdiSlack},
    {"windows", &Figures::windows, kWindowSlack},
};

// A leak lifts the peak of every quarter of a phase above the one before. What
// fills once does not: the first quarter warms the caches up, and Wine's cache
// of device contexts grows by a score at a time when many are held at once.
// The windows' full-screen surfaces come and go in the working set all along.
bool LevelledOff(const char* phase, const std::vector<Figures>& steps) {
    const size_t quarter = steps.size() / 4;
    bool ok = true;
    for (const Metric& metric : kMetrics) {
        long long peaks[3] = {};
        for (size_t q = 1; q < 4; ++q) {
            const size_t last = q == 3 ? steps.size() : (q + 1) * quarter;
            for (size_t i = q * quarter; i < last; ++i)
                peaks[q - 1] = std::max(peaks[q - 1], steps[i].*metric.value);
        }
        const bool rising = peaks[0] < peaks[1] && peaks[1] < peaks[2];
        if (!rising || peaks[2] - peaks[0] <= metric.slack) continue;
        std::fprintf(stderr, "soak: %s: %s kept growing: quarter peaks %lld, %lld, %lld (allowed %lld)\n",
                     phase, metric.name, peaks[0], peaks[1], peaks[2], metric.slack);
        ok = false;
    }
    return ok;
}

// Measures after every step; prints at the start, every `printEvery` steps and at the end.
bool RunPhase(const char* phase, int count, int printEvery, const std::function<bool(int)>& step) {
    const ULONGLONG started = ::GetTickCount64();
    Print(phase, 0, 0, Measure());
    std::vector<Figures> steps;
    for (int i = 1; i <= count; ++i) {
        if (!step(i)) return false;
        steps.push_back(Measure());
        if (i % printEvery == 0 || i == count) Print(phase, i, ::GetTickCount64() - started, steps.back());
    }
    return LevelledOff(phase, steps);
}

bool Soak(int trips, int cleanings) {
    CLoginDlg backdrop;
    if (!backdrop.Create(IDD_LOGIN)) return Fail("no login backdrop", 0);
    theApp.m_pMainWnd = &backdrop;
    backdrop.ShowWindow(SW_SHOW);
    CLoginActiveDlg* panel = backdrop.m_pLoginPanel;
    bool ok = panel && RunLoopUntil([panel] { return panel->m_browser.IsWindowVisible() != FALSE; },
                                    kPageTimeoutMs);
    if (!ok) Fail("the login page did not complete", 0);

    std::printf("%-10s %5s %10s %12s %12s %8s %6s %8s\n", "phase", "count", "time", "working set", "private",
                "handles", "GDI", "windows");
    ok = ok && RunPhase("trips", trips, kTripsPrintEvery, RoundTrip);

    const std::wstring cookies = SpecialFolder(CSIDL_COOKIES);
    const std::wstring cache = SpecialFolder(CSIDL_INTERNET_CACHE);
    if (ok && (cookies.empty() || cache.empty())) ok = Fail("no cache folders", 0);
    // The cleaning runs from the game window, which owns it while it runs.
    if (ok && !EnterGameAndWait()) ok = Fail("the game page did not complete", 0);
    if (ok) {
        ok = RunPhase("cleanings", cleanings, kCleaningsPrintEvery,
                      [&](int round) { return Cleaning(round, cookies, cache); });
    }

    ReleaseGameDialog();
    theApp.m_pMainWnd = nullptr;
    backdrop.DestroyWindow();
    delete backdrop.m_pLoginPanel;
    backdrop.m_pLoginPanel = nullptr;
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int trips = argc == 3 ? _wtoi(argv[1]) : 0;
    const int cleanings = argc == 3 ? _wtoi(argv[2]) : 0;
    // Each phase is judged by its quarters.
    if (trips < 4 || cleanings < 4) {
        std::fprintf(stderr, "usage: soak <round trips> <cleanings>, four or more of each\n");
        return 2;
    }

    // The process-wide state the client's start-up prepares.
    ::OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    AfxSetResourceHandle(::GetModuleHandleW(nullptr));
    AfxEnableControlContainer(new CCustomOccManager);
    CImpIDispatch external;
    theApp.m_pExternalDispatch = &external;

    const bool ok = Soak(trips, cleanings);

    theApp.m_pExternalDispatch = nullptr;
    ::OleUninitialize();
    std::printf("soak: %s\n", ok ? "levelled off" : "FAILED");
    return ok ? 0 : 1;
}
