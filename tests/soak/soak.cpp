// Many round trips between the login windows and the game window, then many
// cache cleanings, in one process with the real windows and browsers. Prints
// the process's memory, kernel handles, GDI objects and windows as it goes and
// fails when, after a warm-up, any of them keeps growing with the count.
//
//   soak <round trips> <cleanings>
#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>
#include <ole2.h>
#include <psapi.h>
#include <shlobj.h>

#include <array>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
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

// How long nothing may arrive in the queue for the process to count as quiet.
constexpr DWORD kQuietMs = 50;

// What each figure may still grow by per step once warmed up (the least-squares
// slope over the second half of a phase). A leak of one object or window
// a step is 1; the working set breathes with the full-screen surfaces.
constexpr double kObjectsPerStep = 0.25;
constexpr double kPrivateBytesPerStep = 64 << 10;
constexpr double kWorkingSetPerStep = 1 << 20;

// The GDI object types GetObjectType tells apart, by its numbers.
constexpr const char* kGdiTypes[] = {nullptr, "pens", "brushes", "DCs", "metafile DCs", "palettes", "fonts",
                                     "bitmaps", "regions", "metafiles", "memory DCs", "extended pens",
                                     "enhanced-metafile DCs", "enhanced metafiles", "colour spaces"};
static_assert(std::size(kGdiTypes) == OBJ_COLORSPACE + 1, "one name for each type GetObjectType gives");

struct Figures {
    long long workingSet = 0;
    long long privateBytes = 0;
    long long handles = 0;
    std::array<int, OBJ_COLORSPACE + 1> gdi{};
    long long windows = 0;

    long long GdiObjects() const {
        long long total = 0;
        for (const int count : gdi) total += count;
        return total;
    }
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

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<long long*>(count);
    return TRUE;
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
    figures.gdi = test::LiveGdiObjectsByType();
    // Windows of the one user-interface thread: a window left behind shows here.
    ::EnumThreadWindows(::GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&figures.windows));
    return figures;
}

void Print(const char* phase, int count, ULONGLONG elapsedMs, const Figures& f) {
    std::printf("%-10s %5d %8.1f s %9.1f MB %9.1f MB %8lld %6lld %8lld\n", phase, count,
                static_cast<double>(elapsedMs) / 1000.0, static_cast<double>(f.workingSet) / 1048576.0,
                static_cast<double>(f.privateBytes) / 1048576.0, f.handles, f.GdiObjects(), f.windows);
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

// Runs the loop until the process is quiet: nothing has arrived in the queue
// for a while. Figures taken then leave out what is only passing through (a
// page on its way, device contexts of a paint in progress).
bool PumpUntilQuiet() {
    const ULONGLONG end = ::GetTickCount64() + kPageTimeoutMs;
    MSG quit{};
    while (::GetTickCount64() < end) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
            if (!AfxPumpMessage(&quit)) return false;
        if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, kQuietMs, QS_ALLINPUT) == WAIT_TIMEOUT) return true;
    }
    return false;
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

// Least-squares slope of the figure over the steps, per step.
double Slope(const std::vector<Figures>& steps, const std::function<double(const Figures&)>& value) {
    const double n = static_cast<double>(steps.size());
    double sumX = 0, sumY = 0, sumXY = 0, sumXX = 0;
    for (size_t i = 0; i < steps.size(); ++i) {
        const double x = static_cast<double>(i), y = value(steps[i]);
        sumX += x;
        sumY += y;
        sumXY += x * y;
        sumXX += x * x;
    }
    return (n * sumXY - sumX * sumY) / (n * sumXX - sumX * sumX);
}

struct Metric {
    std::string name;
    std::function<double(const Figures&)> value;
    double perStep;
};

std::vector<Metric> Metrics() {
    std::vector<Metric> metrics = {
        {"working set", [](const Figures& f) { return static_cast<double>(f.workingSet); }, kWorkingSetPerStep},
        {"private bytes", [](const Figures& f) { return static_cast<double>(f.privateBytes); }, kPrivateBytesPerStep},
        {"handles", [](const Figures& f) { return static_cast<double>(f.handles); }, kObjectsPerStep},
        {"windows", [](const Figures& f) { return static_cast<double>(f.windows); }, kObjectsPerStep},
    };
    for (size_t type = 1; type < std::size(kGdiTypes); ++type)
        metrics.push_back({std::string("GDI ") + kGdiTypes[type],
                           [type](const Figures& f) { return static_cast<double>(f.gdi[type]); }, kObjectsPerStep});
    return metrics;
}

// A leak shows as a figure that keeps rising with the count once the first half
// of a phase has filled what fills once (caches of pages and fonts, and Wine's
// cache of device contexts, each with its region, which grows with the most
// DCs ever held at once: on a loaded machine over the first ten cleanings).
bool LevelledOff(const char* phase, const std::vector<Figures>& steps) {
    const std::vector<Figures> warm(steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2), steps.end());
    bool ok = true;
    for (const Metric& metric : Metrics()) {
        const double slope = Slope(warm, metric.value);
        if (slope < metric.perStep) continue;
        std::fprintf(stderr, "soak: %s: %s kept growing: %.2f a step over the last %zu steps (allowed %.2f), "
                     "from %.0f to %.0f\n", phase, metric.name.c_str(), slope, warm.size(), metric.perStep,
                     metric.value(warm.front()), metric.value(warm.back()));
        ok = false;
    }
    return ok;
}

// Measures at a quiet moment after every step; prints at the start, every
// `printEvery` steps and at the end.
bool RunPhase(const char* phase, int count, int printEvery, const std::function<bool(int)>& step) {
    const ULONGLONG started = ::GetTickCount64();
    if (!PumpUntilQuiet()) return Fail("the process never became quiet", 0);
    Print(phase, 0, 0, Measure());
    std::vector<Figures> steps;
    for (int i = 1; i <= count; ++i) {
        if (!step(i)) return false;
        if (!PumpUntilQuiet()) return Fail("the process never became quiet", i);
        steps.push_back(Measure());
        // A walk that finds nothing would judge nothing.
        if (steps.back().handles == 0 || steps.back().GdiObjects() == 0)
            return Fail("no kernel handles or GDI objects could be counted", i);
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
    // Each phase is judged over its second half, by a slope of several steps.
    if (trips < 8 || cleanings < 8) {
        std::fprintf(stderr, "usage: soak <round trips> <cleanings>, eight or more of each\n");
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
