#include "game_window_fixture.h"

#include <algorithm>

#include "browser/custom_occ_manager.h"
#include "framework/app.h"
#include "framework/occ_manager.h"
#include "res/resource.h"
#include "support/win_test.h"

namespace gametest {

namespace {

thread_local MessageBoxRecorder* t_recorder = nullptr;

// The first non-empty text of a static control of `dialog`: a message box's text.
std::wstring StaticText(HWND dialog) {
    std::wstring found;
    ::EnumChildWindows(dialog, [](HWND child, LPARAM lp) CALLBACK -> BOOL {
        wchar_t cls[32] = {};
        wchar_t text[512] = {};
        ::GetClassNameW(child, cls, 32);
        ::GetWindowTextW(child, text, 512);
        if (lstrcmpiW(cls, L"Static") != 0 || !text[0]) return TRUE;
        *reinterpret_cast<std::wstring*>(lp) = text;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace

MessageBoxRecorder::MessageBoxRecorder()
    : hook_(::SetWindowsHookExW(WH_CBT, &MessageBoxRecorder::CbtProc, nullptr, ::GetCurrentThreadId())) {
    t_recorder = this;
}

MessageBoxRecorder::~MessageBoxRecorder() { t_recorder = nullptr; }

LRESULT CALLBACK MessageBoxRecorder::CbtProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && t_recorder) {
        HWND box = reinterpret_cast<HWND>(wParam);
        wchar_t cls[16] = {};
        ::GetClassNameW(box, cls, 16);
        auto& seen = t_recorder->seen_;
        // Our own dialogs have window objects; a system message box has none.
        if (lstrcmpW(cls, L"#32770") == 0 && !CWnd::FromHandlePermanent(box) &&
            std::find(seen.begin(), seen.end(), box) == seen.end()) {
            seen.push_back(box);
            t_recorder->texts.push_back(StaticText(box));
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

PlainWindow::PlainWindow(const wchar_t* title)
    : hwnd_(::CreateWindowExW(0, L"Static", title, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr)) {}

PlainWindow::~PlainWindow() { ::DestroyWindow(hwnd_); }

bool HotKeyIsFree(UINT vk) {
    PlainWindow other(L"hotkey rival");
    if (!::RegisterHotKey(other.hwnd(), 1, 0, vk)) return false;
    ::UnregisterHotKey(other.hwnd(), 1);
    return true;
}

bool TrayIconExists(HWND hwnd, UINT id) {
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof(nid);
    nid.hWnd = hwnd;
    nid.uID = id;
    nid.uFlags = NIF_TIP;
    lstrcpyW(nid.szTip, L"Duskmere");
    return ::Shell_NotifyIconW(NIM_MODIFY, &nid) != FALSE;
}

void PumpThroughFramework(DWORD ms) {
    const ULONGLONG end = ::GetTickCount64() + ms;
    while (::GetTickCount64() < end) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!AfxPreTranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::vector<COLORREF> BitmapColumn(UINT id, int x) {
    fw::Bitmap bitmap(::LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id)));
    BITMAP info{};
    if (!bitmap || !::GetObjectW(bitmap.get(), sizeof(info), &info)) return {};
    BITMAPINFO request{};
    request.bmiHeader.biSize = sizeof(request.bmiHeader);
    request.bmiHeader.biWidth = info.bmWidth;
    request.bmiHeader.biHeight = -info.bmHeight;
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 32;
    request.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> pixels(static_cast<size_t>(info.bmWidth) * info.bmHeight);
    fw::WindowDC screen = fw::WindowDC::Client(nullptr);
    ::GetDIBits(screen.get(), bitmap.get(), 0, info.bmHeight, pixels.data(), &request, DIB_RGB_COLORS);
    std::vector<COLORREF> column;
    for (int y = 0; y < info.bmHeight; ++y) {
        const DWORD bgrx = pixels[static_cast<size_t>(y) * info.bmWidth + x];
        column.push_back(RGB((bgrx >> 16) & 0xFF, (bgrx >> 8) & 0xFF, bgrx & 0xFF));
    }
    return column;
}

void GameWindowTest::SetUpTestSuite() {
    // Hosted as the application hosts it; the manager stays until the process ends.
    if (!AfxGetOccManager()) AfxEnableControlContainer(new CCustomOccManager);
}

void GameWindowTest::SetUp() {
    boxes = std::make_unique<MessageBoxRecorder>();
    HWND main = ::CreateWindowExW(0, L"Static", L"test main window", WS_POPUP, 0, 0, 200, 100, nullptr,
                                  nullptr, nullptr, nullptr);
    owner = std::make_unique<CWnd>();
    ASSERT_TRUE(owner->SubclassWindow(main));
    AfxGetApp()->m_pMainWnd = owner.get();

    game = std::make_unique<CGameDialog>();
    ASSERT_TRUE(game->Create(IDD_GAME, nullptr));
    ASSERT_NE(game->m_browser.m_hWnd, nullptr)
        << "the game window has no web-browser control: none is registered in this prefix";
    game->ShowWindow(SW_HIDE);
}

void GameWindowTest::TearDown() {
    if (game) game->OnClose();
    game.reset();
    owner.reset();
    AfxGetApp()->m_pMainWnd = nullptr;
    test::PumpMessages(50);
    EXPECT_EQ(boxes->texts, std::vector<std::wstring>{}) << "message boxes nobody expected";
    boxes.reset();
}

void GameWindowTest::ShowGame() {
    game->ShowWindow(SW_SHOWNORMAL);
    game->SetActiveWindow();
    test::PumpMessages(100);
}

void GameWindowTest::Click(UINT id) {
    game->SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(static_cast<int>(id))));
}

RECT GameWindowTest::ClientRect() const {
    RECT rect{};
    ::GetClientRect(game->m_hWnd, &rect);
    return rect;
}

RECT GameWindowTest::WorkAreaAtOrigin() {
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return RECT{0, 0, work.right - work.left, work.bottom - work.top};
}

}  // namespace gametest
