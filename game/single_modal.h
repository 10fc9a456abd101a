#pragma once
// Our modal windows (the two confirmations, the cleaning window) do not pile
// up. Hotkeys, the notification-area icon and the taskbar's Close still reach
// the game window while one is up, and each would otherwise open another.

#include <windows.h>

#include <vector>

class CDialog;

enum class ModalKind { Confirmation, Cleaning };

// Runs `dialog` modally. A confirmation may open over the cleaning window, so
// that a player can quit a long purge; otherwise, while one of ours is open,
// the innermost open one is brought forward instead and IDCANCEL returned.
INT_PTR DoModalAlone(CDialog& dialog, ModalKind kind);
// Our open modal windows, outermost first.
std::vector<HWND> OpenModalWindows();
