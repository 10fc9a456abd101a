// Modal loops: results, owners, and how a quit message ends nested loops with
// its exit code intact.
#include <gtest/gtest.h>

#include "framework/app.h"
#include "support/win_test.h"
#include "test_dialog.h"
#include "tests/res/test_resource.h"

namespace {

// A visible main window that modal dialogs without a parent are owned by.
class MainWindowScope {
public:
    MainWindowScope() {
        EXPECT_TRUE(main.Create(IDD_TEST));
        main.ShowWindow(SW_SHOW);
        AfxGetApp()->m_pMainWnd = &main;
    }
    ~MainWindowScope() { AfxGetApp()->m_pMainWnd = nullptr; }
    TestDialog main;
};

HWND ActiveTestDialog() {
    return ::FindWindowW(nullptr, L"framework test");
}

}  // namespace

TEST(ModalLoop, ReturnsTheResultGivenToEndDialog) {
    TestDialog dialog;
    test::RunLater([&] { dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}

TEST(ModalLoop, EscapeEndsItWithCancelThroughTheDialogManager) {
    TestDialog dialog;
    test::RunLater([&] {
        HWND edit = ::GetDlgItem(dialog.m_hWnd, IDC_TEST_EDIT);
        ::SetFocus(edit);
        ::PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.calls, std::vector<std::string>{"cancel"});
}

TEST(ModalLoop, AnOverriddenCancelKeepsTheDialogOpen) {
    TestDialog dialog;
    dialog.endOnCancel = false;
    test::RunLater([&] {
        dialog.SendMessage(WM_CLOSE);  // the dialog manager turns it into IDCANCEL
        test::RunLater([&] {
            EXPECT_TRUE(::IsWindow(dialog.m_hWnd));
            dialog.EndDialog(7);
        });
    });
    EXPECT_EQ(dialog.DoModal(), 7);
    EXPECT_EQ(dialog.calls, std::vector<std::string>{"cancel"});
}

TEST(ModalLoop, OwnerIsTheMainWindowAndIsDisabledMeanwhile) {
    MainWindowScope scope;
    TestDialog dialog;
    HWND owner = nullptr;
    BOOL ownerEnabled = TRUE;
    test::RunLater([&] {
        owner = ::GetWindow(dialog.m_hWnd, GW_OWNER);
        ownerEnabled = ::IsWindowEnabled(scope.main.m_hWnd);
        dialog.EndDialog(IDOK);
    });
    dialog.DoModal();
    EXPECT_EQ(owner, scope.main.m_hWnd);
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(::IsWindowEnabled(scope.main.m_hWnd));
}

TEST(ModalLoop, QuitEndsNestedLoopsAndKeepsItsExitCode) {
    TestDialog outer;
    TestDialog inner;
    INT_PTR innerResult = 0;
    test::RunLater([&] {
        test::RunLater([] { ::PostQuitMessage(16); });
        innerResult = inner.DoModal();
    });
    EXPECT_EQ(outer.DoModal(), -1);
    EXPECT_EQ(innerResult, -1);
    EXPECT_EQ(AfxGetLastRetrievedMessage().message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(AfxGetApp()->ExitInstance(), 16);

    // The outermost loop hands the quit on, so whatever runs next sees it too.
    MSG msg{};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 16u);
}

TEST(ModalLoop, MissingTemplateGivesMinusOneAndEnablesNothing) {
    class Missing : public CDialogEx {
    public:
        Missing() : CDialogEx(9999) {}
    } dialog;
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_EQ(ActiveTestDialog(), nullptr);
}

TEST(ModalLoop, WindowDestroyedFromOutsideEndsTheLoop) {
    TestDialog dialog;
    test::RunLater([&] { ::DestroyWindow(dialog.m_hWnd); });
    EXPECT_EQ(dialog.DoModal(), -1);
}
