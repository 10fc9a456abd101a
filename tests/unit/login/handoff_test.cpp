// The hand-off between the login windows and the game window, with the real
// windows: one game window at a time, deferred release, and the two confirmations.
#include <windows.h>
#include <commctrl.h>

#include <exdisp.h>
#include <exdispid.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "browser/custom_occ_manager.h"
#include "framework/com.h"
#include "framework/occ_event_sink.h"
#include "framework/occ_manager.h"

#include "app/login_app.h"
#include "framework/app.h"
#include "game/game_dialog.h"
#include "login/handoff.h"
#include "login/login_dlg.h"
#include "login/login_panel.h"
#include "res/resource.h"
#include "support/import_patch.h"
#include "support/win_test.h"

namespace {

class HandOffTest : public testing::Test {
protected:
    // The browsers of the login panel and the game window are hosted as in the client.
    static void SetUpTestSuite() { AfxEnableControlContainer(new CCustomOccManager); }
    void SetUp() override {
        ASSERT_TRUE(backdrop.Create(IDD_LOGIN));
        theApp.m_pMainWnd = &backdrop;
        backdrop.ShowWindow(SW_SHOW);
    }
    void TearDown() override {
        ReleaseGameDialog();
        theApp.m_pMainWnd = nullptr;
        backdrop.DestroyWindow();
        delete backdrop.m_pLoginPanel;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }

    // Answers the next confirmation dialog with `command` once it is up.
    static void AnswerConfirmation(WPARAM command) {
        test::RunLater([command] {
            HWND dialog = ::GetLastActivePopup(theApp.m_pMainWnd->m_hWnd);
            ::PostMessageW(dialog, WM_COMMAND, command, 0);
        });
    }

    CLoginDlg backdrop;
};

}  // namespace

TEST_F(HandOffTest, EnteringCreatesOneGameWindowAndHidesTheLoginWindows) {
    EnterGame(L"http://127.0.0.1:8350/vornak/play?server=1&client=1");
    CGameDialog* game = theApp.m_pGameDialog;
    ASSERT_NE(game, nullptr);
    EXPECT_TRUE(game->IsWindowVisible());
    EXPECT_EQ(::GetWindow(game->m_hWnd, GW_OWNER), backdrop.m_hWnd);
    EXPECT_FALSE(backdrop.IsWindowVisible());
    EXPECT_FALSE(backdrop.m_pLoginPanel->IsWindowVisible());

    EnterGame(L"http://127.0.0.1:8350/vornak/play?server=2&client=1");
    EXPECT_EQ(theApp.m_pGameDialog, game);
    EXPECT_EQ(GetGameDialog(), game);
}

TEST_F(HandOffTest, ReturningHidesTheGameAtOnceAndReleasesItAfterTheCommand) {
    EnterGame(L"http://127.0.0.1:8350/vornak/play?server=1&client=1");
    HWND game = theApp.m_pGameDialog->m_hWnd;

    ReturnToServerList();
    EXPECT_EQ(theApp.m_pGameDialog, nullptr);
    EXPECT_TRUE(::IsWindow(game));  // its command handling may still be on the stack
    EXPECT_FALSE(::IsWindowVisible(game));
    EXPECT_TRUE(backdrop.IsWindowVisible());
    EXPECT_TRUE(backdrop.m_pLoginPanel->IsWindowVisible());

    EXPECT_TRUE(test::PumpUntil([&] { return !::IsWindow(game); }));

    // The next address opens a new window, in its initial mode.
    EnterGame(L"http://127.0.0.1:8350/vornak/play?server=2&client=1");
    ASSERT_NE(theApp.m_pGameDialog, nullptr);
    EXPECT_NE(theApp.m_pGameDialog->m_hWnd, game);
    EXPECT_EQ(theApp.m_pGameDialog->m_nDisplayMode, CGameDialog::MODE_MAXIMIZED);
}

TEST_F(HandOffTest, ConfirmedQuitPostsExitCode16) {
    AnswerConfirmation(IDOK);
    ConfirmQuit();
    MSG msg{};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 16u);
}

TEST_F(HandOffTest, DeclinedConfirmationsChangeNothing) {
    EnterGame(L"http://127.0.0.1:8350/vornak/play?server=1&client=1");
    CGameDialog* game = theApp.m_pGameDialog;
    AnswerConfirmation(IDCANCEL);
    ConfirmServerList();
    EXPECT_EQ(theApp.m_pGameDialog, game);
    EXPECT_TRUE(game->IsWindowVisible());
    EXPECT_FALSE(backdrop.IsWindowVisible());

    AnswerConfirmation(IDCANCEL);
    ConfirmQuit();
    MSG msg{};
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

namespace {
// A loop nested in whatever shows the backdrop, as a prompt of the login page's
// browser runs one while the page reloads; records whether `game` outlived it.
struct NestedLoopOnShow {
    HWND game;
    bool ran = false;
    bool gameSurvived = false;
};

LRESULT CALLBACK RunNestedLoopOnShow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR data) {
    auto* nested = reinterpret_cast<NestedLoopOnShow*>(data);
    if (message == WM_SHOWWINDOW && wParam && !nested->ran) {
        nested->ran = true;
        test::PumpMessages(100);
        nested->gameSurvived = ::IsWindow(nested->game) != FALSE;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}
}  // namespace

TEST_F(HandOffTest, ConfirmedServerListFromTheGameWindowsOwnButton) {
    EnterGame(L"http://127.0.0.1:8350/vornak/play?server=1&client=1");
    CGameDialog* game = theApp.m_pGameDialog;
    HWND hwnd = game->m_hWnd;
    NestedLoopOnShow nested{hwnd};
    ASSERT_TRUE(::SetWindowSubclass(backdrop.m_hWnd, &RunNestedLoopOnShow, 9, reinterpret_cast<DWORD_PTR>(&nested)));
    AnswerConfirmation(IDOK);
    // As a click of the server button delivers it: inside the window's own handling.
    game->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_SERVER, BN_CLICKED),
                      reinterpret_cast<LPARAM>(game->m_btnServer.m_hWnd));
    ::RemoveWindowSubclass(backdrop.m_hWnd, &RunNestedLoopOnShow, 9);
    EXPECT_EQ(theApp.m_pGameDialog, nullptr);
    EXPECT_TRUE(backdrop.IsWindowVisible());
    ASSERT_TRUE(nested.ran);
    EXPECT_TRUE(nested.gameSurvived) << "deleted while its command was still being handled";
    EXPECT_TRUE(test::PumpUntil([&] { return !::IsWindow(hwnd); }));
}

TEST_F(HandOffTest, WithoutAGameWindowTheLoginWindowsStay) {
    // A resource module without the game window's template.
    HMODULE broken = ::LoadLibraryExW(L"broken_backdrop.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(broken, nullptr);
    HINSTANCE previous = AfxGetResourceHandle();
    AfxSetResourceHandle(broken);
    EnterGame(L"http://127.0.0.1:8350/vornak/play?server=1&client=1");
    AfxSetResourceHandle(previous);
    ::FreeLibrary(broken);

    EXPECT_EQ(theApp.m_pGameDialog, nullptr);
    EXPECT_TRUE(backdrop.IsWindowVisible());
    EXPECT_TRUE(backdrop.m_pLoginPanel->IsWindowVisible());
}

namespace {

// What the client asked the shell to open, through its own import of ShellExecuteW.
std::vector<std::pair<std::wstring, std::wstring>> g_shellOpened;
HINSTANCE WINAPI RecordShellExecute(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, INT) {
    g_shellOpened.emplace_back(verb ? verb : L"", file ? file : L"");
    return reinterpret_cast<HINSTANCE>(42);
}

// Fires an event of `browser`'s control into a real event sink of its site, the
// way the control's own events come. `args` are last to first, as in DISPPARAMS.
void Fire(CWebBrowser2& browser, DISPID dispid, std::vector<VARIANT>& args) {
    ASSERT_NE(browser.m_pCtrlSite, nullptr);
    const auto sink = fw::MakeComObject<COleControlEventSink>(browser.m_pCtrlSite, DIID_DWebBrowserEvents2);
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    EXPECT_EQ(sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                           nullptr),
              S_OK);
}

VARIANT ByRef(VARIANT_BOOL* value) {
    VARIANT v{};
    v.vt = VT_BYREF | VT_BOOL;
    v.pboolVal = value;
    return v;
}

// BeforeNavigate2 with `url`, typed as the control types it; the Cancel it ends with.
VARIANT_BOOL BeforeNavigate(CWebBrowser2& browser, const wchar_t* url) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    BSTR address = ::SysAllocString(url);
    VARIANT urlValue{};
    urlValue.vt = VT_BSTR;
    urlValue.bstrVal = address;
    VARIANT empty[4];
    std::vector<VARIANT> args(7);
    args[0] = ByRef(&cancel);
    for (size_t i = 0; i < 4; ++i) {
        ::VariantInit(&empty[i]);
        args[1 + i].vt = VT_BYREF | VT_VARIANT;
        args[1 + i].pvarVal = &empty[i];
    }
    args[5].vt = VT_BYREF | VT_VARIANT;
    args[5].pvarVal = &urlValue;
    args[6].vt = VT_DISPATCH;
    args[6].pdispVal = nullptr;
    Fire(browser, DISPID_BEFORENAVIGATE2, args);
    ::SysFreeString(address);
    return cancel;
}

// NewWindow3 asking for `url` from a page of `browser`; the Cancel it ends with.
VARIANT_BOOL NewWindow3(CWebBrowser2& browser, const wchar_t* url) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    IDispatch* window = nullptr;
    BSTR address = ::SysAllocString(url);
    BSTR context = ::SysAllocString(L"http://127.0.0.1:8350/vornak/servers");
    std::vector<VARIANT> args(5);
    args[0].vt = VT_BSTR;
    args[0].bstrVal = address;
    args[1].vt = VT_BSTR;
    args[1].bstrVal = context;
    args[2].vt = VT_UI4;
    args[2].ulVal = 0x6;  // NWMF_USERINITED | NWMF_FIRST
    args[3] = ByRef(&cancel);
    args[4].vt = VT_BYREF | VT_DISPATCH;
    args[4].ppdispVal = &window;
    Fire(browser, kNewWindow3, args);
    ::SysFreeString(context);
    ::SysFreeString(address);
    return cancel;
}

VARIANT_BOOL NewWindow2(CWebBrowser2& browser) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    IDispatch* window = nullptr;
    std::vector<VARIANT> args(2);
    args[0] = ByRef(&cancel);
    args[1].vt = VT_BYREF | VT_DISPATCH;
    args[1].ppdispVal = &window;
    Fire(browser, kNewWindow2, args);
    return cancel;
}

}  // namespace

TEST_F(HandOffTest, EveryMarkerAddressIsCancelledAndOnlyWebOnesEnterTheGame) {
    CWebBrowser2& panel = backdrop.m_pLoginPanel->m_browser;
    for (const wchar_t* other : {L"file:///C:/client=1.htm", L"javascript:'client=1'", L"res://ieframe.dll/client=1"}) {
        EXPECT_EQ(BeforeNavigate(panel, other), VARIANT_TRUE) << other;
        EXPECT_EQ(theApp.m_pGameDialog, nullptr) << other;
    }
    EXPECT_EQ(BeforeNavigate(panel, L"http://127.0.0.1:8350/vornak/news"), VARIANT_FALSE);
    EXPECT_EQ(theApp.m_pGameDialog, nullptr);
    EXPECT_TRUE(backdrop.IsWindowVisible());

    EXPECT_EQ(BeforeNavigate(panel, L"http://127.0.0.1:8350/vornak/play?server=1&client=1"), VARIANT_TRUE);
    ASSERT_NE(theApp.m_pGameDialog, nullptr);
    EXPECT_TRUE(theApp.m_pGameDialog->IsWindowVisible());
    EXPECT_FALSE(backdrop.IsWindowVisible());
}

TEST_F(HandOffTest, NewWindowsOfEitherBrowserAreRefusedAndTheirAddressesRouted) {
    g_shellOpened.clear();
    const test::ImportPatch shell("shell32.dll", "ShellExecuteW", reinterpret_cast<const void*>(&RecordShellExecute));
    ASSERT_TRUE(shell.Patched());
    const wchar_t* const game = L"http://127.0.0.1:8350/vornak/play?server=1&client=1";
    const wchar_t* const news = L"https://127.0.0.1:8350/vornak/news";

    // From the login panel: the game address enters the game window.
    CWebBrowser2& panel = backdrop.m_pLoginPanel->m_browser;
    EXPECT_EQ(NewWindow2(panel), VARIANT_TRUE);
    EXPECT_EQ(NewWindow3(panel, L"javascript:'client=1'"), VARIANT_TRUE);
    EXPECT_EQ(theApp.m_pGameDialog, nullptr);
    EXPECT_EQ(NewWindow3(panel, game), VARIANT_TRUE);
    CGameDialog* entered = theApp.m_pGameDialog;
    ASSERT_NE(entered, nullptr);
    EXPECT_TRUE(entered->IsWindowVisible());
    EXPECT_FALSE(backdrop.IsWindowVisible());

    // From the game window: the game address comes back to it, hidden or not;
    // another web address goes to the default browser; the rest nowhere.
    entered->ShowWindow(SW_HIDE);
    EXPECT_EQ(NewWindow2(entered->m_browser), VARIANT_TRUE);
    EXPECT_EQ(NewWindow3(entered->m_browser, game), VARIANT_TRUE);
    EXPECT_EQ(theApp.m_pGameDialog, entered);
    EXPECT_TRUE(entered->IsWindowVisible());
    EXPECT_EQ(NewWindow3(entered->m_browser, news), VARIANT_TRUE);
    EXPECT_EQ(NewWindow3(entered->m_browser, L"file:///C:/news.htm"), VARIANT_TRUE);
    EXPECT_EQ(NewWindow3(panel, L"http://127.0.0.1:8350/vornak/help"), VARIANT_TRUE);

    const std::vector<std::pair<std::wstring, std::wstring>> opened{
        {L"open", news}, {L"open", L"http://127.0.0.1:8350/vornak/help"}};
    EXPECT_EQ(g_shellOpened, opened);
}
