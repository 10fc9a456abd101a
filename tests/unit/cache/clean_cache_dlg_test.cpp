// The progress window run modally for real, its worker purging test folders
// that the shell's Cookies and Cache folders are pointed at.

#include <windows.h>
#include <shlobj.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cache/clean_cache_dlg.h"
#include "cache_fixtures.h"
#include "framework/handles.h"
#include "support/import_patch.h"
#include "support/win_test.h"

using cachetest::ListTree;
using cachetest::MakeFile;
using Paths = std::vector<std::wstring>;

namespace {

const wchar_t kTemplateText[] = L"缓存清理中，请稍后...";

// Runs functions from inside whichever message loop this thread is in.
class LoopTasks {
public:
    LoopTasks() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &LoopTasks::Proc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"CacheTestLoopTasks";
        ::RegisterClassW(&windowClass);
        hwnd_ = ::CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~LoopTasks() { ::DestroyWindow(hwnd_); }
    LoopTasks(const LoopTasks&) = delete;
    LoopTasks& operator=(const LoopTasks&) = delete;

    // Runs after the messages posted to this thread so far.
    void Post(std::function<void()> task) {
        Queue(std::move(task));
        Trigger();
    }
    // Queues `task` to run once Trigger() is called, which any thread may do.
    void Queue(std::function<void()> task) { queued_.push_back(std::move(task)); }
    void Trigger() const { ::PostMessageW(hwnd_, WM_APP, 0, 0); }
    // Runs once `delayMs` have passed.
    void After(UINT delayMs, std::function<void()> task) {
        queued_.push_back(std::move(task));
        ::SetTimer(hwnd_, ++timers_, delayMs, nullptr);
    }
    // Runs `task` with true once `ready` holds, looked at every few
    // milliseconds, or with false once `timeoutMs` have passed.
    void When(std::function<bool()> ready, std::function<void(bool)> task, DWORD timeoutMs = 5000) {
        const DWORD deadline = ::GetTickCount() + timeoutMs;
        After(10, [this, ready = std::move(ready), task = std::move(task), deadline]() mutable {
            if (ready()) return task(true);
            if (static_cast<LONG>(::GetTickCount() - deadline) >= 0) return task(false);
            When(std::move(ready), std::move(task), deadline - ::GetTickCount());
        });
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<LoopTasks*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && (message == WM_APP || message == WM_TIMER)) {
            if (message == WM_TIMER) ::KillTimer(hwnd, wParam);
            std::function<void()> task = std::move(self->queued_.front());
            self->queued_.pop_front();
            task();
            return 0;
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }

    HWND hwnd_ = nullptr;
    std::deque<std::function<void()>> queued_;
    UINT_PTR timers_ = 0;
};

// The window with a hook that runs once OnInitDialog is done.
class ObservedCleanCacheDlg : public CCleanCacheDlg {
public:
    std::function<void(ObservedCleanCacheDlg&)> onOpen;

protected:
    BOOL OnInitDialog() override {
        const BOOL result = CCleanCacheDlg::OnInitDialog();
        if (onOpen) onOpen(*this);
        return result;
    }
};

std::wstring SpecialFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    return ::SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE) ? path : L"";
}

std::wstring WindowText(HWND hwnd) {
    wchar_t text[128] = {};
    ::GetWindowTextW(hwnd, text, 128);
    return text;
}

RECT WorkArea() {
    RECT area{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

// A white window over the whole screen, under whatever opens next.
class WhiteBackdrop {
public:
    WhiteBackdrop() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &::DefWindowProcW;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
        windowClass.lpszClassName = L"CacheTestWhiteBackdrop";
        ::RegisterClassW(&windowClass);
        hwnd_ = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, windowClass.lpszClassName, L"",
                                  WS_POPUP | WS_VISIBLE, 0, 0, ::GetSystemMetrics(SM_CXSCREEN),
                                  ::GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, windowClass.hInstance,
                                  nullptr);
        ::UpdateWindow(hwnd_);
    }
    ~WhiteBackdrop() { ::DestroyWindow(hwnd_); }
    WhiteBackdrop(const WhiteBackdrop&) = delete;
    WhiteBackdrop& operator=(const WhiteBackdrop&) = delete;

private:
    HWND hwnd_ = nullptr;
};

COLORREF ScreenPixel(int x, int y) {
    fw::WindowDC screen = fw::WindowDC::Client(nullptr);
    return ::GetPixel(screen.get(), x, y);
}

// The brightest pixel of a screen rectangle: a pixel of the label's text.
COLORREF BrightestPixel(const RECT& rect) {
    fw::WindowDC screen = fw::WindowDC::Client(nullptr);
    COLORREF brightest = 0;
    int best = -1;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            const COLORREF pixel = ::GetPixel(screen.get(), x, y);
            const int sum = GetRValue(pixel) + GetGValue(pixel) + GetBValue(pixel);
            if (sum > best) {
                best = sum;
                brightest = pixel;
            }
        }
    }
    return brightest;
}

bool ProcessHeapsValid() {
    HANDLE heaps[64];
    const DWORD count = std::min<DWORD>(::GetProcessHeaps(64, heaps), 64);
    for (DWORD i = 0; i < count; ++i)
        if (!::HeapValidate(heaps[i], 0, nullptr)) return false;
    return true;
}

class CleanCacheWindow : public testing::Test {
protected:
    void SetUp() override {
        // WinINet settles where its own cache lives on first use: before the move.
        cachetest::EmptyUrlCache();
        cachetest::MakeFolder(cookies_);
        cachetest::MakeFolder(cache_);
        cookiesRedirect_.emplace(L"Cookies", cookies_);
        cacheRedirect_.emplace(L"Cache", cache_);
        ASSERT_EQ(SpecialFolder(CSIDL_COOKIES), cookies_);
        ASSERT_EQ(SpecialFolder(CSIDL_INTERNET_CACHE), cache_);
    }
    void TearDown() override { cachetest::EmptyUrlCache(); }

    // Enough files for the worker to run for a second or more.
    void MakeLongPurge() { cachetest::MakeNestedTree(cache_, 5000, 50); }

    cachetest::ScratchFolder root_{L"window"};
    const std::wstring cookies_ = root_ / L"Cookies";
    const std::wstring cache_ = root_ / L"Cache";
    std::optional<cachetest::ShellFolderRedirect> cookiesRedirect_;
    std::optional<cachetest::ShellFolderRedirect> cacheRedirect_;
    LoopTasks tasks_;
};

}  // namespace

TEST_F(CleanCacheWindow, CoversTheWorkAreaFromTheScreenOriginAndIgnoresCloseRequests) {
    // A taskbar of 60 pixels at the left: the window still starts at (0, 0).
    const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
    test::WorkAreaOverride taskbarAtLeft(RECT{60, 0, screenWidth, screenHeight});
    ASSERT_EQ(WorkArea(), (RECT{60, 0, screenWidth, screenHeight}));
    MakeLongPurge();

    struct {
        bool alive = false;
        bool workerRunning = false;
        RECT window{};
        RECT client{};
        RECT label{};
        LONG_PTR exStyle = 0;
        COLORREF key = 0;
        BYTE alpha = 0;
        DWORD layeredFlags = 0;
        std::wstring text;
    } seen;

    ObservedCleanCacheDlg dialog;
    dialog.onOpen = [&](ObservedCleanCacheDlg& opened) {
        HWND hwnd = opened.m_hWnd;
        ::PostMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 0);
        ::PostMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
        ::PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
        ::PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
        ::PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
        tasks_.Post([&seen, &opened, hwnd] {
            seen.alive = ::IsWindow(hwnd) && ::IsWindowVisible(hwnd);
            seen.workerRunning = opened.m_hThread != nullptr;
            ::GetWindowRect(hwnd, &seen.window);
            ::GetClientRect(hwnd, &seen.client);
            ::GetWindowRect(opened.m_stText.m_hWnd, &seen.label);
            ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&seen.label), 2);
            seen.exStyle = ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
            ::GetLayeredWindowAttributes(hwnd, &seen.key, &seen.alpha, &seen.layeredFlags);
            seen.text = WindowText(opened.m_stText.m_hWnd);
        });
    };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);

    ASSERT_TRUE(seen.workerRunning) << "the worker finished before the close requests were seen";
    EXPECT_TRUE(seen.alive);
    EXPECT_EQ(seen.window, (RECT{0, 0, screenWidth - 60, screenHeight}));
    // The message is centred in the client area.
    EXPECT_NEAR(seen.label.left + seen.label.right, seen.client.right, 1);
    EXPECT_NEAR(seen.label.top + seen.label.bottom, seen.client.bottom, 1);
    // No taskbar button; layered with the red key at 150 of 255.
    EXPECT_TRUE(seen.exStyle & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(seen.exStyle & WS_EX_APPWINDOW);
    EXPECT_TRUE(seen.exStyle & WS_EX_LAYERED);
    EXPECT_EQ(seen.key, RGB(255, 0, 0));
    EXPECT_EQ(seen.alpha, 150);
    EXPECT_EQ(seen.layeredFlags, static_cast<DWORD>(LWA_COLORKEY | LWA_ALPHA));
    EXPECT_EQ(seen.text, kTemplateText);
    EXPECT_EQ(ListTree(cache_), Paths{});
}

TEST_F(CleanCacheWindow, DimsTheScreenBelowAndShowsTheMessageInCyan) {
    WhiteBackdrop below;
    MakeLongPurge();

    bool displayed = false;
    bool workerRunning = false;
    COLORREF textPixel = 0;
    COLORREF layerPixel = 0;
    std::wstring text;
    ObservedCleanCacheDlg dialog;
    dialog.onOpen = [&](ObservedCleanCacheDlg& opened) {
        const auto label = [&opened] { return test::WindowRect(opened.m_stText.m_hWnd); };
        const auto layer = [label] { return ScreenPixel(label().left + 10, label().top - 100); };
        // The window paints first; the display shows it once Wine has passed
        // it on and the compositor has drawn it, which no message tells.
        tasks_.When(
            [&opened, layer] {
                return !::GetUpdateRect(opened.m_hWnd, nullptr, FALSE) &&
                       !::GetUpdateRect(opened.m_stText.m_hWnd, nullptr, FALSE) && layer() != RGB(255, 255, 255);
            },
            [&, label, layer](bool ready) {
                displayed = ready;
                textPixel = BrightestPixel(label());
                layerPixel = layer();
                text = WindowText(opened.m_stText.m_hWnd);
                workerRunning = opened.m_hThread != nullptr;
            });
    };
    dialog.DoModal();

    ASSERT_TRUE(workerRunning) << "the worker finished before the screen was read";
    EXPECT_TRUE(displayed) << "the display never showed the window";
    EXPECT_EQ(text, kTemplateText);
    // A black layer: opaque where the display has no compositor, else the white
    // below shows through at (255 - 150) / 255.
    const int shown = GetRValue(layerPixel);
    EXPECT_TRUE(shown < 12 || std::abs(shown - 105) < 16) << std::hex << layerPixel;
    EXPECT_NEAR(GetGValue(layerPixel), shown, 4) << std::hex << layerPixel;
    EXPECT_NEAR(GetBValue(layerPixel), shown, 4) << std::hex << layerPixel;
    // Cyan text on it, over the same share of the white.
    EXPECT_NEAR(GetRValue(textPixel), shown, 16) << std::hex << textPixel;
    EXPECT_GT(GetGValue(textPixel), shown + 100) << std::hex << textPixel;
    EXPECT_NEAR(GetGValue(textPixel), GetBValue(textPixel), 30) << std::hex << textPixel;
}

TEST_F(CleanCacheWindow, ClosesItselfOncePurgingIsDone) {
    for (const std::wstring& folder : {cookies_, cache_}) {
        MakeFile(folder + L"\\desktop.ini");
        MakeFile(folder + L"\\entry.txt", FILE_ATTRIBUTE_READONLY);
        MakeFile(folder + L"\\Content.IE5\\ABCD1234\\page[1].htm");
        MakeFile(folder + L"\\Low\\desktop.ini");
    }
    cachetest::AddCacheEntry(L"http://cache-test.example/page.htm", NORMAL_CACHE_ENTRY);
    cachetest::AddCacheEntry(L"Cookie:tester@cache-test.example/", COOKIE_CACHE_ENTRY | NORMAL_CACHE_ENTRY);
    ASSERT_EQ(cachetest::CountCacheEntries(), 2u);

    HWND hwnd = nullptr;
    ObservedCleanCacheDlg dialog;
    dialog.onOpen = [&](const ObservedCleanCacheDlg& opened) { hwnd = opened.m_hWnd; };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);

    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(dialog.m_hThread, nullptr);
    EXPECT_EQ(ListTree(cookies_), (Paths{L"Low", L"Low\\desktop.ini", L"desktop.ini"}));
    EXPECT_EQ(ListTree(cache_), (Paths{L"Low", L"Low\\desktop.ini", L"desktop.ini"}));
    EXPECT_EQ(cachetest::CountCacheEntries(), 0u);
}

namespace {
DWORD WINAPI FailingResumeThread(HANDLE) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return static_cast<DWORD>(-1);
}
}  // namespace

TEST_F(CleanCacheWindow, EndsAtOnceWhenTheWorkerCannotBeResumed) {
    MakeFile(cache_ + L"\\page.htm");
    std::optional<test::ImportPatch> failingResume;
    failingResume.emplace("kernel32.dll", "ResumeThread", reinterpret_cast<const void*>(&FailingResumeThread));
    ASSERT_TRUE(failingResume->Patched());

    bool stuck = false;
    ObservedCleanCacheDlg dialog;
    dialog.onOpen = [&](ObservedCleanCacheDlg& opened) {
        // A window left waiting for its worker: let the worker run so that it ends.
        tasks_.After(3000, [&] {
            if (!opened.m_hWnd || !opened.m_hThread) return;
            stuck = true;
            failingResume.reset();
            ::ResumeThread(opened.m_hThread);
        });
    };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    failingResume.reset();

    EXPECT_FALSE(stuck) << "the window waited for a worker that never ran";
    EXPECT_EQ(dialog.m_hThread, nullptr);
    EXPECT_TRUE(cachetest::Exists(cache_ + L"\\page.htm"));
}

TEST_F(CleanCacheWindow, TimerHandlerCyclesTheDots) {
    std::vector<std::wstring> texts;
    ObservedCleanCacheDlg dialog;
    dialog.onOpen = [&](ObservedCleanCacheDlg& opened) {
        for (int i = 0; i < 4; ++i) {
            opened.SendMessage(WM_TIMER, 1);
            texts.push_back(WindowText(opened.m_stText.m_hWnd));
        }
    };
    dialog.DoModal();
    EXPECT_EQ(texts, (Paths{L"缓存清理中,请稍后.", L"缓存清理中,请稍后..", L"缓存清理中,请稍后",
                            L"缓存清理中,请稍后."}));
}

TEST_F(CleanCacheWindow, StopFlagSetBeforeTheStartLooksAtOneItemPerStep) {
    for (int i = 0; i < 5; ++i)
        cachetest::AddCacheEntry(L"http://cache-test.example/stop" + std::to_wstring(i), NORMAL_CACHE_ENTRY);
    for (const std::wstring& folder : {cookies_, cache_}) {
        MakeFile(folder + L"\\one.txt");
        MakeFile(folder + L"\\two.txt");
        MakeFile(folder + L"\\sub\\three.txt");
    }
    const size_t cookiesBefore = ListTree(cookies_).size();
    const size_t cacheBefore = ListTree(cache_).size();

    ObservedCleanCacheDlg dialog;
    dialog.m_bStop = TRUE;
    // Still ends through the worker's close request.
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);

    // The cookie step's one entry is no cookie; the content step deletes its one.
    EXPECT_EQ(cachetest::CountCacheEntries(), 4u);
    // Each folder step handles one entry, which may be "." and delete nothing.
    EXPECT_GE(ListTree(cookies_).size() + 1, cookiesBefore);
    EXPECT_GE(ListTree(cache_).size() + 1, cacheBefore);
}

namespace {
// Triggers `tasks` from the worker once it has done with some entries of a
// folder, for the object's lifetime.
class TriggerWhilePurging {
public:
    explicit TriggerWhilePurging(const LoopTasks& tasks) {
        s_tasks = &tasks;
        s_reached = 0;
        CCleanCacheDlg::s_pfnBetweenFindAndOpen = &Reached;
    }
    ~TriggerWhilePurging() { CCleanCacheDlg::s_pfnBetweenFindAndOpen = nullptr; }
    TriggerWhilePurging(const TriggerWhilePurging&) = delete;
    TriggerWhilePurging& operator=(const TriggerWhilePurging&) = delete;

private:
    static void Reached(const wchar_t*) {
        if (++s_reached == 20) s_tasks->Trigger();
    }
    static inline const LoopTasks* s_tasks = nullptr;
    static inline std::atomic<int> s_reached{0};
};
}  // namespace

TEST_F(CleanCacheWindow, QuitWhilePurgingEndsTheWindowAndWaitsForTheWorker) {
    cachetest::MakeNestedTree(cookies_, 4000, 50);
    const size_t before = ListTree(cookies_).size();

    // The quit comes once the worker is purging the folder, whenever that starts.
    const TriggerWhilePurging quitWhilePurging(tasks_);
    tasks_.Queue([] { ::PostQuitMessage(16); });
    fw::KernelHandle worker;
    // On the heap, so that a worker outliving the object would write to freed
    // heap memory, which the heaps' validation finds once Wine fills freed
    // blocks (WINEDEBUG=warn+heap).
    auto dialog = std::make_unique<ObservedCleanCacheDlg>();
    dialog->onOpen = [&](ObservedCleanCacheDlg& opened) {
        HANDLE copy = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), opened.m_hThread, ::GetCurrentProcess(), &copy, SYNCHRONIZE,
                          FALSE, 0);
        worker.reset(copy);
    };
    EXPECT_EQ(dialog->DoModal(), -1);
    // The loop passes the quit on to the loops around it.
    MSG quit{};
    EXPECT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    ASSERT_TRUE(worker);
    ASSERT_EQ(::WaitForSingleObject(worker.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the worker finished before the quit";

    dialog.reset();
    // The object went only once the worker had.
    EXPECT_EQ(::WaitForSingleObject(worker.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_TRUE(ProcessHeapsValid());
    EXPECT_EQ(quit.wParam, 16u);
    const size_t left = ListTree(cookies_).size();
    EXPECT_GT(left, 0u);
    EXPECT_LT(left, before);
    test::PumpMessages(300);
    EXPECT_EQ(ListTree(cookies_).size(), left);
}

TEST_F(CleanCacheWindow, LeavesAShellFolderThatIsNoCacheFolderAndPurgesTheOther) {
    cachetest::ScratchDrive drive;
    ASSERT_NE(drive.Letter(), 0) << "no spare drive letter to map";
    // A relative path names a folder of the current drive: make that the scratch drive.
    cachetest::CurrentFolder onScratchDrive(drive.Root());
    const std::wstring profile = cachetest::ProfileWithoutLinks();
    ASSERT_FALSE(profile.empty()) << "the profile still links to the host";
    const std::wstring outside = root_ / L"outside";
    MakeFile(outside + L"\\canary.txt");
    cachetest::HostLink link(root_.Path(), L"linked", L"outside");
    ASSERT_TRUE(link.Made());
    // Other names for the profile: through a linked folder further up, and on
    // a second drive letter.
    const size_t slash = profile.rfind(L'\\');
    const std::wstring user = profile.substr(slash);
    cachetest::HostLink users(root_.Path(), L"users", cachetest::UnixPath(profile.substr(0, slash)));
    ASSERT_TRUE(users.Made());
    cachetest::ScratchDrive usersDrive(profile.substr(0, slash));
    ASSERT_NE(usersDrive.Letter(), 0) << "no second spare drive letter to map";
    const std::wstring documents = SpecialFolder(CSIDL_PERSONAL);
    const std::wstring desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
    wchar_t shortDocuments[MAX_PATH] = {};
    ASSERT_NE(::GetShortPathNameW(documents.c_str(), shortDocuments, MAX_PATH), 0u);

    struct Case {
        const wchar_t* shellFolder;
        std::wstring path;
        std::wstring canary;
    };
    const Case cases[] = {
        // Wine's shell refuses an empty value; "." stands for any relative one.
        {L"Cookies", L".", drive.Root() + L"canary.txt"},
        {L"Cache", drive.Root(), drive.Root() + L"canary.txt"},
        {L"Cache", profile, profile + L"\\duskmere-canary.txt"},
        {L"Cookies", root_ / L"linked", outside + L"\\canary.txt"},
        {L"Cache", root_.Path() + L"\\users" + user, profile + L"\\duskmere-canary.txt"},
        {L"Cookies", usersDrive.Root() + user.substr(1), profile + L"\\duskmere-canary.txt"},
        {L"Cache", L"\\\\?\\" + profile, profile + L"\\duskmere-canary.txt"},
        {L"Cookies", documents, documents + L"\\duskmere-canary.txt"},
        {L"Cache", shortDocuments, documents + L"\\duskmere-canary.txt"},
        {L"Cookies", desktop, desktop + L"\\duskmere-canary.txt"},
    };
    for (const Case& c : cases) {
        MakeFile(c.canary);
        MakeFile(cookies_ + L"\\cookie.txt");
        MakeFile(cache_ + L"\\page.htm");
        const bool cookies = std::wstring_view(c.shellFolder) == L"Cookies";
        std::optional<cachetest::ShellFolderRedirect>& redirect = cookies ? cookiesRedirect_ : cacheRedirect_;
        redirect.reset();
        redirect.emplace(c.shellFolder, c.path);

        CCleanCacheDlg dialog;
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);

        EXPECT_TRUE(cachetest::Exists(c.canary)) << c.shellFolder << L" at \"" << c.path << L"\"";
        EXPECT_FALSE(cachetest::Exists(cookies ? cache_ + L"\\page.htm" : cookies_ + L"\\cookie.txt"))
            << "the other folder was left too";
        ::DeleteFileW(c.canary.c_str());
        redirect.reset();
        redirect.emplace(c.shellFolder, cookies ? cookies_ : cache_);
    }
}
