// Identifiers of the client's resources, shared by duskmere.rc and the code.
// Plain numbers only: the resource compiler's preprocessor reads this too.
#pragma once

// Dialog templates (a browser's initial state is the DLGINIT of its template).
#define IDD_LOGIN               102
#define IDD_GAME                131
#define IDD_LOGIN_PANEL         132
#define IDD_CONFIRM             172
#define IDD_CLEAN_CACHE         173

#define IDI_APP                 128

// Bitmaps: title strip background and logo, dialog backgrounds.
#define IDB_STRIP               136
#define IDB_LOGO                141
#define IDB_CONFIRM             177
#define IDB_CLEAN_CACHE         187

// PNG images: the login backdrop and the image buttons' state strips.
#define IDP_BACKDROP            155
#define IDP_PANEL_CLOSE         160
#define IDP_PANEL_MINIMIZE      162
#define IDP_BOSS                164
#define IDP_CLOSE               166
#define IDP_FULLSCREEN          167
#define IDP_MAXIMIZE            168
#define IDP_MINIMIZE            169
#define IDP_REFRESH             170
#define IDP_SERVER              171
#define IDP_OK                  175
#define IDP_CANCEL              176
#define IDP_RESTORE             189
#define IDP_CLEAN               1000

// The web-browser control, in every window that shows web content.
#define IDC_BROWSER             1000

// Game window (IDD_GAME): logo and title strip buttons.
#define IDC_CLOSE               1001
#define IDC_LOGO                1002
#define IDC_MINIMIZE            1003
#define IDC_FULLSCREEN          1004
#define IDC_BOSS                1005
#define IDC_CLEAN               1006
#define IDC_REFRESH             1007
#define IDC_SERVER              1008
#define IDC_MAXIMIZE            1009
#define IDC_RESTORE             1011
// The notification-area menu's one item.
#define ID_TRAY_EXIT            1013

// Login panel (IDD_LOGIN_PANEL).
#define IDC_PANEL_CLOSE         1005
#define IDC_PANEL_MINIMIZE      1006

// Confirmation dialog (IDD_CONFIRM).
#define IDC_CONFIRM_TITLE       1002
#define IDC_CONFIRM_TEXT        1003
#define IDC_CONFIRM_OK          1008
#define IDC_CONFIRM_CANCEL      1009

// Cache-cleaning progress window (IDD_CLEAN_CACHE).
#define IDC_CLEAN_TEXT          1002
#define IDC_CLEAN_FRAME         1009
