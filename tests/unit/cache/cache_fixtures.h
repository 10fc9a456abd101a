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
// The host's path of a file or folder of the prefix; empty when unknown.
std::wstring UnixPath(const std::wstring& path);
// Removes such a link with the host's rm: Wine's own deletions go through links.
bool RemoveHostSymlink(const std::wstring& in, const std::wstring& name);

// The host's link `name` in folder `in` to `target`, for the object's
// lifetime; removed by the host, since Wine's deletions would go through it.
class HostLink {
public:
    HostLink(std::wstring in, std::wstring name, const std::wstring& target);
    ~HostLink();
    HostLink(const HostLink&) = delete;
    HostLink& operator=(const HostLink&) = delete;
    bool Made() const { return made_; }

private:
    std::wstring in_;
    std::wstring name_;
    bool made_;
};

// A spare drive letter of the prefix mapped to a scratch folder (a link in
// its dosdevices folder), so that a test can name a drive root that holds
// nothing of the host's, or to `mapped`, a folder of the prefix, which then
// has a second name. Letter() is 0 when no letter could be mapped.
class ScratchDrive {
public:
    explicit ScratchDrive(const std::wstring& mapped = {});
    ~ScratchDrive();
    ScratchDrive(const ScratchDrive&) = delete;
    ScratchDrive& operator=(const ScratchDrive&) = delete;

    wchar_t Letter() const { return letter_; }
    // "Y:\"
    std::wstring Root() const { return std::wstring(1, letter_) + L":\\"; }

private:
    ScratchFolder folder_{L"drive"};
    std::wstring target_;
    std::wstring dosdevices_;
    wchar_t letter_ = 0;
};

// Makes `folder` the current folder for the object's lifetime.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::wstring& folder);
    ~CurrentFolder();
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::wstring saved_;
};

// The prefix's profile folder, with its links to the host's home (Desktop,
// Documents, ...) replaced by plain folders; empty when a link is left anywhere
// in it, so that nothing purging the profile can reach the host.
std::wstring ProfileWithoutLinks();

// URL-cache entries, committed with the given CacheEntryType bits.
void AddCacheEntry(const std::wstring& url, DWORD type);
bool HasCacheEntry(const std::wstring& url);
// The URLs of the entries a fresh walk lists with `pattern` ("Cookie:": cookies).
std::vector<std::wstring> ListedCacheUrls(const wchar_t* pattern);
// Deletes every entry of the URL cache, cookies included.
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
