#pragma once
// Our modal windows (the two confirmations, the cleaning window) run one at a
// time. Hotkeys, the notification-area icon and the taskbar's Close still reach
// the game window while one is up, and each would otherwise open another.

#include <windows.h>

class CDialog;

// Runs `dialog` modally; while another of ours is open, brings that one forward
// instead and returns IDCANCEL.
INT_PTR DoModalAlone(CDialog& dialog);
// The modal window of ours that is open, or null.
HWND OpenModalWindow();
