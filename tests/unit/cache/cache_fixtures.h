#pragma once
// Real folders, URL-cache entries and shell-folder settings for the cache tests.

#include <windows.h>
#include <functional>
#include <string>
#include <vector>

namespace cachetest {

// A fresh folder under the temp folder, removed with its contents at the end.
class ScratchFolder {
public:
    explicit ScratchFolder(const wchar_t* name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    // Full path of `relative` (backslash-separated) inside the folder.
    std::wstring operator/(const std::wstring& relative) const { return path_ + L'\\' + relative; }

private:
    std::wstring path_;
};

// Makes a file holding a few bytes with the given attributes
// (FILE_ATTRIBUTE_READONLY, ...), or a folder; missing parents are made too.
void MakeFile(const std::wstring& path, DWORD attributes = 0);
void MakeFolder(const std::wstring& path);
// `count` files spread over nested folders: file k of folder d lies in
// d0\d1\... so every level holds files and subfolders.
void MakeNestedTree(const std::wstring& root, int count, int filesPerFolder);
bool Exists(const std::wstring& path);
// Everything under root, as sorted relative paths; links are listed, not entered.
std::vector<std::wstring> ListTree(const std::wstring& root);
// Deletes everything under root and root itself, walking it with plain
// DeleteFileW and RemoveDirectoryW; links to folders are left for the caller.
void RemoveTree(const std::wstring& root);

// Runs a host program (Wine starts unix programs too) in `folder`; true once
// `done` holds, which is polled for a few seconds: Wine gives no exit code.
bool RunOnHost(const std::wstring& commandLine, const std::wstring& folder, const std::function<bool()>& done);
// Takes the write permission off `relative` (a folder under `in`): Wine keeps
// no read-only bit that SetFileAttributesW puts on a folder, but shows a
// folder without write permission as read-only.
bool MakeHostReadOnly(const std::wstring& in, const std::wstring& relative);
// A unix symbolic link `name` in folder `in` pointing to `target` (relative
// to `in`), made by the host's ln, which Wine starts for us; waits until it shows.
bool MakeHostSymlink(const std::wstring& in, const std::wstring& name, const std::wstring& target);
// Removes such a link with the host's rm: Wine's own deletions go through links.
bool RemoveHostSymlink(const std::wstring& in, const std::wstring& name);

// URL-cache entries, committed with the given CacheEntryType bits.
void AddCacheEntry(const std::wstring& url, DWORD type);
bool HasCacheEntry(const std::wstring& url);
// Deletes every entry of the URL cache.
void EmptyUrlCache();
size_t CountCacheEntries();

// Points a shell folder of the current user ("Cookies", "Cache") somewhere
// else for the object's lifetime, through the registry value the shell reads.
// The shell copies what it resolves into its legacy key; that is put back too.
class ShellFolderRedirect {
public:
    ShellFolderRedirect(const wchar_t* valueName, const std::wstring& folder);
    ~ShellFolderRedirect();
    ShellFolderRedirect(const ShellFolderRedirect&) = delete;
    ShellFolderRedirect& operator=(const ShellFolderRedirect&) = delete;

private:
    struct SavedValue {
        explicit SavedValue(const wchar_t* keyPath) : key(keyPath) {}
        const wchar_t* key;
        bool present = false;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    std::wstring name_;
    SavedValue saved_[2];
};

}  // namespace cachetest
