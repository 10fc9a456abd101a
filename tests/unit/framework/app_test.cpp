// Application services: the message box caption, owner choice and exit code.
#include <gtest/gtest.h>

#include "app/login_app.h"
#include "framework/dialog.h"
#include "support/win_test.h"

TEST(Application, MessageBoxCarriesTheExecutableNameAsCaption) {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    name.erase(name.find_last_of(L'.'));

    wchar_t caption[64] = {};
    test::RunLater([&] {
        HWND box = test::FindOwnWindow(L"#32770", nullptr);
        ::GetWindowTextW(box, caption, 64);
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(AfxMessageBox(L"RegisterHotKey F10 false"), IDOK);
    EXPECT_EQ(std::wstring(caption), name);
}

TEST(Application, ExitCodeIsZeroUnlessTheLastMessageWasAQuit) {
    MSG msg{};
    ::PostMessageW(nullptr, WM_NULL, 5, 0);
    ASSERT_TRUE(AfxPumpMessage(&msg));
    EXPECT_EQ(theApp.ExitInstance(), 0);
}

TEST(Application, NoMainWindowMeansNoOwner) {
    HWND top = reinterpret_cast<HWND>(1);
    EXPECT_EQ(AfxGetSafeOwner(nullptr, &top), nullptr);
    EXPECT_EQ(top, nullptr);
}
