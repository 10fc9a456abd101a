#pragma once
// The hand-off between the login windows and the game window, and the two
// confirmation commands that both kinds of window bind.

class CGameDialog;

// The single game window, created hidden on first use; null when it cannot be made.
CGameDialog* GetGameDialog();
// Opens `address` in the game window and hides the login windows.
void EnterGame(const wchar_t* address);
// Releases the game window and brings back the login windows with a fresh page.
void ReturnToServerList();
// Deletes the game window at once, when no handling of it can be on the stack (at
// teardown): one ReturnToServerList gave up and that still waits, then the
// current one after its close clean-up.
void ReleaseGameDialog();

// Command handlers, bound as fw::OnCommand<&ConfirmQuit>(id): ask, then quit with
// exit code 16 / return to the server list.
void ConfirmQuit();
void ConfirmServerList();
