// Identifiers of the test-only resources in test.rc, clear of the client's
// (res/resource.h). Plain numbers only: the resource compiler reads this too.
#pragma once

// PNG images.
#define IDP_TEST_STRIP_74X104   2001    // four colour-coded rows of 26 pixels
#define IDP_TEST_STRIP_40X102   2002    // a height that four does not divide
#define IDP_TEST_STRIP_RGBA     2003    // half-transparent rows
#define IDP_TEST_BROKEN         2004    // a PNG signature and garbage
#define IDP_TEST_SQUARE_40X20   2005    // opaque
#define IDP_TEST_EMPTY          2006    // zero bytes

// The framework's plain test dialog.
#define IDD_TEST                2200
#define IDC_TEST_PUSH           100
#define IDC_TEST_EDIT           101
#define IDC_TEST_OWNER          102
#define IDC_TEST_LABEL          103

// Dialogs hosting a browser (IDC_BROWSER) with broken or unusual state.
#define IDD_TEST_CUT_STATE      3000    // state cut inside an entry's header
#define IDD_TEST_OVERLONG_STATE 3001    // a state length past the end
#define IDD_TEST_UNKNOWN_CLASS  3002    // a class id nobody registered
#define IDD_TEST_OLD_STYLE      3003    // DIALOG, browser between two buttons
#define IDC_TEST_FIRST          1001
#define IDC_TEST_LAST           1002
// Dialogs hosting the in-process recording controls.
#define IDD_TEST_SITE_FIRST     3004    // asks for its site first; four bytes of state
#define IDD_TEST_PLAIN_CONTROL  3005    // the plain kind, without state
