#pragma once
// The hand-off between the login windows and the game window, the screening of
// the addresses their browsers are asked to open, and the two confirmation
// commands that both kinds of window bind.

#include <windows.h>
#include <oaidl.h>

#include <string>

class CGameDialog;

// The browsers' new-window events, which both windows bind to the handlers below.
constexpr DISPID kNewWindow2 = 251;
constexpr DISPID kNewWindow3 = 273;

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

// True for an address that carries the game marker "client=1" (case-sensitive, anywhere).
bool CarriesGameMarker(const std::wstring& address);
// True for a web (http: or https:) address that carries the game marker.
bool IsGameAddress(const std::wstring& address);
// Screens an address a page of either browser is about to open. One that carries
// the game marker never opens where the page asked: the result is true and the
// caller cancels; a web address among those opens in the game window (EnterGame).
bool DivertGameAddress(const std::wstring& address);

// Event handlers, bound as fw::OnEvent<&RefuseNewWindow>(IDC_BROWSER, kNewWindow2):
// a page never opens a browser window of its own, which would escape both the
// game window and the screening. NewWindow2 names no address and is cancelled;
// NewWindow3 is cancelled too, its game address screened as above and any other
// web address opened in the player's default browser.
void RefuseNewWindow(VARIANT* ppDisp, BOOL* Cancel);
void RedirectNewWindow(VARIANT* ppDisp, BOOL* Cancel, VARIANT* dwFlags, VARIANT* bstrUrlContext,
                       VARIANT* bstrUrl);
