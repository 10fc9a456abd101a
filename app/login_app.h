#pragma once
// The application object: start-up, the login backdrop's modal loop, teardown.

#include <windows.h>
#include "framework/app.h"

class CGameDialog;
class CImpIDispatch;

class CLoginApp : public CWinApp {
public:
    CLoginApp();

    BOOL InitInstance() override;
    int ExitInstance() override;

    ULONG_PTR m_gdiplusToken = 0;
    CImpIDispatch* m_pExternalDispatch = nullptr;
    CGameDialog* m_pGameDialog = nullptr;
};

extern CLoginApp theApp;
