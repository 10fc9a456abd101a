// PurgeFolder on real folders of the prefix.

#include <gtest/gtest.h>

#include <string_view>

#include "cache/clean_cache_dlg.h"
#include "cache_fixtures.h"

using cachetest::ListTree;
using cachetest::MakeFile;
using cachetest::MakeFolder;
using Paths = std::vector<std::wstring>;

TEST(PurgeFolder, EmptiesTheFolderButKeepsItAndEveryDesktopIni) {
    cachetest::ScratchFolder root(L"purge");
    MakeFile(root / L"desktop.ini");
    MakeFile(root / L"page.htm");
    MakeFile(root / L"desktop.ini.bak");
    MakeFile(root / L"xdesktop.ini");
    MakeFile(root / L"keep\\desktop.ini");
    MakeFile(root / L"keep\\image.png");
    MakeFile(root / L"keep\\deeper\\desktop.ini");
    MakeFile(root / L"keep\\deeper\\script.js");
    MakeFile(root / L"gone\\Desktop.ini");
    MakeFolder(root / L"empty");

    CCleanCacheDlg dialog;
    EXPECT_TRUE(dialog.PurgeFolder(root.Path().c_str()));

    EXPECT_EQ(ListTree(root.Path()),
              (Paths{L"desktop.ini", L"keep", L"keep\\deeper", L"keep\\deeper\\desktop.ini", L"keep\\desktop.ini"}));
}

TEST(PurgeFolder, DeletesReadOnlyFilesAndFolders) {
    cachetest::ScratchFolder root(L"purge");
    MakeFile(root / L"locked.txt", FILE_ATTRIBUTE_READONLY);
    MakeFile(root / L"locked\\inner.txt", FILE_ATTRIBUTE_READONLY);
    MakeFolder(root / L"locked\\sub");
    ASSERT_TRUE(cachetest::MakeHostReadOnly(root.Path(), L"locked\\sub"));
    ASSERT_TRUE(cachetest::MakeHostReadOnly(root.Path(), L"locked"));
    for (const wchar_t* name : {L"locked.txt", L"locked", L"locked\\inner.txt", L"locked\\sub"})
        ASSERT_TRUE(::GetFileAttributesW((root / name).c_str()) & FILE_ATTRIBUTE_READONLY) << name;

    CCleanCacheDlg dialog;
    dialog.PurgeFolder(root.Path().c_str());

    EXPECT_EQ(ListTree(root.Path()), Paths{});
    EXPECT_TRUE(cachetest::Exists(root.Path()));
}

TEST(PurgeFolder, ReportsAFolderThatCannotBeSearched) {
    cachetest::ScratchFolder root(L"purge");
    CCleanCacheDlg dialog;
    EXPECT_FALSE(dialog.PurgeFolder((root / L"missing").c_str()));
    EXPECT_TRUE(dialog.PurgeFolder(root.Path().c_str()));
}

TEST(PurgeFolder, LeavesWhatALinkedFolderHolds) {
    cachetest::ScratchFolder root(L"purge");
    MakeFile(root / L"outside\\precious.txt");
    MakeFile(root / L"outside\\inner\\more.txt", FILE_ATTRIBUTE_READONLY);
    MakeFile(root / L"cache\\page.htm");
    const Paths outside = ListTree(root / L"outside");
    cachetest::HostLink link(root / L"cache", L"linked", L"..\\outside");
    ASSERT_TRUE(link.Made());
    ASSERT_TRUE(::GetFileAttributesW((root / L"cache\\linked").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    // Wine shows no reparse bit on a link to a file, and deletes what it points to.
    cachetest::HostLink fileLink(root / L"cache", L"page-link.htm", L"..\\outside\\precious.txt");
    ASSERT_TRUE(fileLink.Made());

    CCleanCacheDlg dialog;
    dialog.PurgeFolder((root / L"cache").c_str());

    EXPECT_EQ(ListTree(root / L"outside"), outside);
    EXPECT_TRUE(::GetFileAttributesW((root / L"outside\\inner\\more.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(cachetest::Exists(root / L"cache\\page.htm"));
}

namespace {
// The folder whose subfolder "swap" SwapForLink replaces with a link to
// "outside" beside it once the purge has listed it; the real one goes "aside".
std::wstring g_swapIn;

void SwapForLink(const wchar_t* path) {
    const std::wstring_view entry(path);
    if (entry.size() < 5 || entry.substr(entry.size() - 5) != L"\\swap") return;
    const std::wstring in = g_swapIn;
    ::MoveFileW((in + L"\\swap").c_str(), (in.substr(0, in.rfind(L'\\')) + L"\\aside").c_str());
    cachetest::MakeHostSymlink(in, L"swap", L"..\\outside");
}
}  // namespace

TEST(PurgeFolder, NeverFollowsAFolderSwappedForALinkOnceListed) {
    cachetest::ScratchFolder root(L"purge");
    MakeFile(root / L"outside\\precious.txt");
    MakeFolder(root / L"outside\\empty");
    MakeFile(root / L"cache\\swap\\page.htm");
    MakeFile(root / L"cache\\other.htm");
    const Paths outside = ListTree(root / L"outside");

    CCleanCacheDlg dialog;
    g_swapIn = root / L"cache";
    CCleanCacheDlg::s_pfnBetweenFindAndOpen = &SwapForLink;
    dialog.PurgeFolder((root / L"cache").c_str());
    CCleanCacheDlg::s_pfnBetweenFindAndOpen = nullptr;

    ASSERT_TRUE(cachetest::Exists(root / L"aside\\page.htm")) << "the folder was not swapped";
    EXPECT_EQ(ListTree(root / L"outside"), outside);
    // The link goes where it can be deleted as itself.
    const Paths left = ListTree(root / L"cache");
    EXPECT_TRUE(left.empty() || left == Paths{L"swap"});
    cachetest::RemoveHostSymlink(root / L"cache", L"swap");
}

TEST(PurgeFolder, StopFlagEndsTheWalkAfterOneEntry) {
    cachetest::ScratchFolder root(L"purge");
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt", L"d\\e.txt", L"f\\g.txt"}) MakeFile(root / name);
    const size_t before = ListTree(root.Path()).size();

    CCleanCacheDlg dialog;
    dialog.m_bStop = TRUE;
    EXPECT_TRUE(dialog.PurgeFolder(root.Path().c_str()));

    // The first entry may be "." (nothing deleted) or one of the above.
    EXPECT_GE(ListTree(root.Path()).size() + 1, before);
}

namespace {
// Leaves `value` in the stack space the next call at this depth will use.
__attribute__((noinline)) void FillStackWith(HANDLE value) {
    volatile HANDLE area[4096];
    for (volatile HANDLE& slot : area) slot = value;
}
}  // namespace

// The links above are made by host programs, which Wine starts without
// process handles: whatever the stack held is handed back in their place.
TEST(HostProgram, LeavesTheHandlesOfThisProcessOpen) {
    cachetest::ScratchFolder root(L"purge");
    const fw::KernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    FillStackWith(event.get());
    ASSERT_TRUE(cachetest::RunOnHost(L"/bin/touch ran", root.Path(), [&] { return cachetest::Exists(root / L"ran"); }));

    DWORD flags = 0;
    EXPECT_TRUE(::GetHandleInformation(event.get(), &flags));
}
