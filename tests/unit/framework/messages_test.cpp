// Message tables: routing by message and command id, default processing,
// control-colour requests and reflected notifications.
#include <gtest/gtest.h>

#include "support/win_test.h"
#include "test_dialog.h"
#include "tests/res/test_resource.h"

namespace {
int g_freeCommandCalls = 0;
void FreeCommand() { ++g_freeCommandCalls; }
}  // namespace

const fw::MessageMap* TestDialog::GetMessageMap() const {
    static const fw::MessageEntry entries[] = {
        fw::OnCommand<&TestDialog::OnPush>(IDC_TEST_PUSH),
        fw::OnCommand<&FreeCommand>(200),
        fw::OnMessage<WM_NCHITTEST, &TestDialog::OnNcHitTest>(),
        fw::OnMessage<fw::WM_CTLCOLOR, &TestDialog::OnCtlColor>(),
    };
    static const fw::MessageMap map(CDialogEx::GetMessageMap(), entries);
    return &map;
}

const fw::MessageMap* DerivedTestDialog::GetMessageMap() const {
    static const fw::MessageEntry entries[] = {
        fw::OnCommand<&DerivedTestDialog::OnPushDerived>(IDC_TEST_PUSH),
    };
    static const fw::MessageMap map(TestDialog::GetMessageMap(), entries);
    return &map;
}

class MessageTableTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dialog.Create(IDD_TEST)); }
    TestDialog dialog;
};

TEST_F(MessageTableTest, CommandReachesItsHandlerOnlyForItsIdAndCode) {
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_TEST_PUSH, BN_CLICKED), 0);
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_TEST_PUSH, BN_SETFOCUS), 0);
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_TEST_EDIT, BN_CLICKED), 0);
    EXPECT_EQ(dialog.calls, std::vector<std::string>{"push"});
}

TEST_F(MessageTableTest, FreeFunctionCommandIsCalled) {
    g_freeCommandCalls = 0;
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(200, BN_CLICKED), 0);
    EXPECT_EQ(g_freeCommandCalls, 1);
}

TEST_F(MessageTableTest, DefaultGivesTheSystemResultToTheHandler) {
    RECT rect = test::WindowRect(dialog.m_hWnd);
    RECT client{};
    ::GetClientRect(dialog.m_hWnd, &client);
    POINT inside{client.right / 2, client.bottom / 2};
    ::ClientToScreen(dialog.m_hWnd, &inside);
    const LRESULT result = dialog.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(inside.x, inside.y));
    EXPECT_EQ(dialog.hitTest, HTCLIENT);
    EXPECT_EQ(result, HTCAPTION);
    EXPECT_LT(rect.left, inside.x);
}

TEST_F(MessageTableTest, EveryControlColourRequestReachesOneHandlerWithItsKind) {
    HDC dc = ::GetDC(dialog.m_hWnd);
    HWND label = ::GetDlgItem(dialog.m_hWnd, IDC_TEST_LABEL);
    dialog.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label));
    dialog.SendMessage(WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label));
    dialog.SendMessage(WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(dialog.m_hWnd));
    ::ReleaseDC(dialog.m_hWnd, dc);
    EXPECT_EQ(dialog.ctlColors, (std::vector<UINT>{CTLCOLOR_STATIC, CTLCOLOR_BTN, CTLCOLOR_DLG}));
}

TEST_F(MessageTableTest, DrawItemIsReflectedToTheOwnerDrawnControl) {
    dialog.ShowWindow(SW_SHOW);
    ::InvalidateRect(dialog.m_btnOwner.m_hWnd, nullptr, TRUE);
    ::UpdateWindow(dialog.m_btnOwner.m_hWnd);
    ASSERT_FALSE(dialog.m_btnOwner.drawn.empty());
    EXPECT_EQ(dialog.m_btnOwner.drawn.back(), 102u);
}

TEST_F(MessageTableTest, DataExchangeBindsControlsById) {
    EXPECT_EQ(dialog.m_btnOwner.m_hWnd, ::GetDlgItem(dialog.m_hWnd, IDC_TEST_OWNER));
    EXPECT_EQ(CWnd::FromHandlePermanent(dialog.m_btnOwner.m_hWnd), &dialog.m_btnOwner);
    EXPECT_EQ(CWnd::FromHandlePermanent(dialog.m_hWnd), &dialog);
}

TEST(MessageTableInheritance, DerivedEntryWinsOverTheBaseOne) {
    DerivedTestDialog dialog;
    ASSERT_TRUE(dialog.Create(IDD_TEST));
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_TEST_PUSH, BN_CLICKED), 0);
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"derived push", "cancel"}));
}

TEST(WindowLifetime, DestroyingTheObjectDestroysItsWindowWithoutCallingBack) {
    HWND hwnd = nullptr;
    {
        TestDialog dialog;
        ASSERT_TRUE(dialog.Create(IDD_TEST));
        hwnd = dialog.m_hWnd;
    }
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), nullptr);
}

TEST(WindowLifetime, DestroyedWindowLeavesTheObjectDetached) {
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create(IDD_TEST));
    HWND button = dialog.m_btnOwner.m_hWnd;
    ::DestroyWindow(dialog.m_hWnd);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_EQ(dialog.m_btnOwner.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(button), nullptr);
}
