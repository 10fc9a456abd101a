// The title strip: right-to-left layout, visibility per display mode, tooltips.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game_window_fixture.h"
#include "support/win_test.h"

using gametest::GameWindowTest;

namespace {

constexpr int kLogo = 1002;
constexpr UINT kRestore = 1011;
constexpr UINT kFullScreen = 1004;

struct Cell {
    int id;
    const char* name;
    int x;
    int width;
};

// Where every button lands in a client area 1000 pixels wide.
const Cell kLayoutAt1000[] = {
    {1001, "close", 968, 30},     {1011, "restore", 939, 29}, {1009, "maximise", 939, 29},
    {1003, "minimise", 910, 29},  {1004, "full screen", 806, 64}, {1005, "boss", 702, 104},
    {1006, "clean", 617, 85},     {1007, "refresh", 537, 80},  {1008, "server", 474, 61},
};

const int kStripControls[] = {1002, 1001, 1009, 1003, 1004, 1005, 1007, 1008, 1006, 1011};

}  // namespace

class TitleStripTest : public GameWindowTest {
protected:
    // The worked layout moved right by `shift` pixels (left for a negative one).
    void ExpectLayoutShiftedBy(int shift) {
        for (const Cell& cell : kLayoutAt1000) {
            const RECT expected{cell.x + shift, 0, cell.x + shift + cell.width, 30};
            EXPECT_EQ(test::RectInParent(Item(cell.id)), expected) << cell.name;
        }
        EXPECT_EQ(test::RectInParent(Item(kLogo)), (RECT{0, 0, 144, 30})) << "logo";
    }

    std::vector<int> VisibleStripControls() {
        std::vector<int> visible;
        for (int id : kStripControls)
            if (::IsWindowVisible(Item(id))) visible.push_back(id);
        return visible;
    }
};

TEST_F(TitleStripTest, NormalWindowPlacesTheButtonsAsTheWorkedLayout) {
    ShowGame();
    Click(kRestore);
    ASSERT_EQ(ClientRect().right, 1000);
    ExpectLayoutShiftedBy(0);
}

TEST_F(TitleStripTest, WorkAreaWindowOnA1920PixelScreenShiftsEveryButtonBy920) {
    ShowGame();
    ASSERT_EQ(ClientRect().right, 1920) << "the tests run on a 1920x1080 display without taskbar at the side";
    ExpectLayoutShiftedBy(920);
}

TEST_F(TitleStripTest, NarrowWindowPushesTheServerButtonOverTheLogoUnclamped) {
    ::MoveWindow(game->m_hWnd, 0, 0, 600, 700, TRUE);
    game->LayoutTitleStrip();
    ExpectLayoutShiftedBy(-400);
    EXPECT_LT(test::RectInParent(Item(1008)).left, test::RectInParent(Item(kLogo)).right);
}

TEST_F(TitleStripTest, EachModeShowsItsOwnSetOfStripControls) {
    ShowGame();
    const std::vector<int> workArea{1002, 1001, 1003, 1004, 1005, 1007, 1008, 1006, 1011};
    const std::vector<int> normal{1002, 1001, 1009, 1003, 1004, 1005, 1007, 1008, 1006};
    EXPECT_EQ(VisibleStripControls(), workArea);
    Click(kRestore);
    EXPECT_EQ(VisibleStripControls(), normal);
    Click(kFullScreen);
    EXPECT_EQ(VisibleStripControls(), std::vector<int>{});
    game->SendMessage(WM_HOTKEY, 1002, MAKELPARAM(0, VK_F11));
    EXPECT_EQ(VisibleStripControls(), workArea);
    EXPECT_EQ(test::RectInParent(Item(1009)), test::RectInParent(Item(1011)));
}

TEST_F(TitleStripTest, OnlyRestoreMaximiseMinimiseAndFullScreenHaveTooltips) {
    ASSERT_TRUE(game->m_pToolTip);
    EXPECT_EQ(game->m_pToolTip->GetToolCount(), 4);
    struct Tip {
        CPngButton* button;
        const wchar_t* text;
    };
    const Tip tips[] = {
        {&game->m_btnRestore, L"还原"},   {&game->m_btnMaximize, L"最大化"},
        {&game->m_btnMinimize, L"最小化"}, {&game->m_btnFullScreen, L"按F11进入/退出全屏"},
        {&game->m_btnClose, L""},         {&game->m_btnBoss, L""},
        {&game->m_btnRefresh, L""},       {&game->m_btnServer, L""},
        {&game->m_btnClean, L""},
    };
    for (const Tip& tip : tips)
        EXPECT_EQ(game->m_pToolTip->GetToolText(tip.button), std::wstring(tip.text))
            << "button " << tip.button->GetDlgCtrlID();
}
