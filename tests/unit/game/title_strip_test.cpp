// The title strip: right-to-left layout, visibility per display mode, tooltips.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game_window_fixture.h"
#include "res/resource.h"
#include "support/win_test.h"

using gametest::GameWindowTest;

namespace {

struct Cell {
    int id;
    const char* name;
    int x;
    int width;
};

// Where every button lands in a client area 1000 pixels wide.
const Cell kLayoutAt1000[] = {
    {IDC_CLOSE, "close", 968, 30},       {IDC_RESTORE, "restore", 939, 29},        {IDC_MAXIMIZE, "maximise", 939, 29},
    {IDC_MINIMIZE, "minimise", 910, 29}, {IDC_FULLSCREEN, "full screen", 806, 64}, {IDC_BOSS, "boss", 702, 104},
    {IDC_CLEAN, "clean", 617, 85},       {IDC_REFRESH, "refresh", 537, 80},        {IDC_SERVER, "server", 474, 61},
};

const int kStripControls[] = {IDC_LOGO, IDC_CLOSE,   IDC_MAXIMIZE, IDC_MINIMIZE, IDC_FULLSCREEN,
                              IDC_BOSS, IDC_REFRESH, IDC_SERVER,   IDC_CLEAN,    IDC_RESTORE};

}  // namespace

class TitleStripTest : public GameWindowTest {
protected:
    // The worked layout moved right by `shift` pixels (left for a negative one).
    void ExpectLayoutShiftedBy(int shift) {
        for (const Cell& cell : kLayoutAt1000) {
            const RECT expected{cell.x + shift, 0, cell.x + shift + cell.width, 30};
            EXPECT_EQ(test::RectInParent(Item(cell.id)), expected) << cell.name;
        }
        EXPECT_EQ(test::RectInParent(Item(IDC_LOGO)), (RECT{0, 0, 144, 30})) << "logo";
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
    Click(IDC_RESTORE);
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
    EXPECT_LT(test::RectInParent(Item(IDC_SERVER)).left, test::RectInParent(Item(IDC_LOGO)).right);
}

TEST_F(TitleStripTest, EachModeShowsItsOwnSetOfStripControls) {
    ShowGame();
    const std::vector<int> workArea{IDC_LOGO,    IDC_CLOSE,  IDC_MINIMIZE, IDC_FULLSCREEN, IDC_BOSS,
                                    IDC_REFRESH, IDC_SERVER, IDC_CLEAN,    IDC_RESTORE};
    const std::vector<int> normal{IDC_LOGO, IDC_CLOSE,   IDC_MAXIMIZE, IDC_MINIMIZE, IDC_FULLSCREEN,
                                  IDC_BOSS, IDC_REFRESH, IDC_SERVER,   IDC_CLEAN};
    EXPECT_EQ(VisibleStripControls(), workArea);
    Click(IDC_RESTORE);
    EXPECT_EQ(VisibleStripControls(), normal);
    Click(IDC_FULLSCREEN);
    EXPECT_EQ(VisibleStripControls(), std::vector<int>{});
    game->SendMessage(WM_HOTKEY, 1002, MAKELPARAM(0, VK_F11));
    EXPECT_EQ(VisibleStripControls(), workArea);
    EXPECT_EQ(test::RectInParent(Item(IDC_MAXIMIZE)), test::RectInParent(Item(IDC_RESTORE)));
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
