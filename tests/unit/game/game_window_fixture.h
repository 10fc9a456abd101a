#pragma once
// A real game window from template IDD_GAME, created as the hand-off creates it
// (no parent, so the hidden main window owns it), with the message boxes it
// raises recorded and answered.

#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/handles.h"
#include "game/game_dialog.h"

namespace gametest {

struct HookTraits {
    using Handle = HHOOK;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::UnhookWindowsHookEx(h); }
};
using Hook = fw::UniqueHandle<HookTraits>;

// Every message box of this thread while it lives: its text is recorded and the
// box is closed with OK as soon as it is activated.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    std::vector<std::wstring> texts;

private:
    static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam);
    Hook hook_;
    std::vector<HWND> seen_;
};

// A plain top-level window of this thread, e.g. one that competes for a hotkey.
class PlainWindow {
public:
    explicit PlainWindow(const wchar_t* title = L"plain");
    ~PlainWindow();
    PlainWindow(const PlainWindow&) = delete;
    PlainWindow& operator=(const PlainWindow&) = delete;
    HWND hwnd() const { return hwnd_; }

private:
    HWND hwnd_;
};

// True when another window of the process can take `vk` (and gives it back).
bool HotKeyIsFree(UINT vk);

// Whether the shell still holds the notification-area icon `id` of `hwnd`.
bool TrayIconExists(HWND hwnd, UINT id);

// Pumps through the framework's pre-translation, as the application's loops do.
void PumpThroughFramework(DWORD ms);

// The colours of one column of bitmap resource `id`, top to bottom.
std::vector<COLORREF> BitmapColumn(UINT id, int x);

class GameWindowTest : public testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Shows the window as the hand-off does when a game starts.
    void ShowGame();
    // WM_COMMAND as a click on control `id` sends it.
    void Click(UINT id);
    HWND Item(int id) const { return ::GetDlgItem(game->m_hWnd, id); }
    RECT ClientRect() const;
    // The work area's size at the screen origin.
    static RECT WorkAreaAtOrigin();

    std::unique_ptr<MessageBoxRecorder> boxes;
    std::unique_ptr<CWnd> owner;
    std::unique_ptr<CGameDialog> game;
};

}  // namespace gametest
