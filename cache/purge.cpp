// The purge worker: the URL cache, the cookie folder and the temporary-file folder.

#include "cache/clean_cache_dlg.h"

#include <shlobj.h>
#include <wininet.h>
#include <algorithm>
#include <cwctype>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct UrlCacheFindTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::FindCloseUrlCache(h); }
};
using UrlCacheFind = fw::UniqueHandle<UrlCacheFindTraits>;

INTERNET_CACHE_ENTRY_INFOW* Entry(const std::unique_ptr<BYTE[]>& buffer) {
    return reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.get());
}

bool IsSpared(const wchar_t* name) {
    const std::wstring_view n(name);
    return n == L"." || n == L".." || n == L"desktop.ini";
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool SameText(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

// What `fill(buffer, size)` writes, for the calls that return the length
// written, or when the buffer is too small the size needed, or 0 on failure.
template <class Fill>
std::wstring Filled(Fill fill) {
    std::wstring text(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = fill(text.data(), static_cast<DWORD>(text.size()));
        if (length == 0) return {};
        const bool fits = length < text.size();
        text.resize(length);
        if (fits) return text;
    }
}

// `path` made absolute and long-named, without "." or ".." parts or a trailing
// backslash; empty when that fails.
std::wstring FullPath(const std::wstring& path) {
    std::wstring full = Filled([&](wchar_t* buffer, DWORD size) {
        return ::GetFullPathNameW(path.c_str(), size, buffer, nullptr);
    });
    if (full.empty()) return {};
    std::wstring longer(full.size() + MAX_PATH, L'\0');
    const DWORD length = ::GetLongPathNameW(full.c_str(), longer.data(), static_cast<DWORD>(longer.size()));
    if (length > 0 && length < longer.size()) full.assign(longer.c_str(), length);
    while (full.size() > 1 && full.back() == L'\\') full.pop_back();
    return full;
}

// True for "X:\a..." and "\\server\share\a...": a folder below a drive root or a
// share, in the form FullPath gives.
bool IsBelowRoot(const std::wstring& full) {
    if (full.size() > 3 && std::iswalpha(full[0]) && full[1] == L':' && full[2] == L'\\') return true;
    // No device paths ("\\?\", "\\.\"): a server and a share name, then a folder.
    if (full.size() < 3 || full.compare(0, 2, L"\\\\") != 0 || full[2] == L'?' || full[2] == L'.') return false;
    const size_t share = full.find(L'\\', 2);
    if (share == std::wstring::npos || share == 2) return false;
    const size_t folder = full.find(L'\\', share + 1);
    return folder != std::wstring::npos && folder > share + 1 && folder + 1 < full.size();
}

struct FileTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
using File = fw::UniqueHandle<FileTraits>;

struct TaskMemoryTraits {
    using Handle = wchar_t*;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle p) { ::CoTaskMemFree(p); }
};
using TaskString = fw::UniqueHandle<TaskMemoryTraits>;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

File OpenFolder(const wchar_t* path) {
    return File(::CreateFileW(path, FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// The path the system resolves an open file to ("\\?\X:\..." or
// "\\?\UNC\..."), links and other drive names undone; empty when unknown.
std::wstring FinalPath(HANDLE file) {
    return Filled([&](wchar_t* buffer, DWORD size) { return ::GetFinalPathNameByHandleW(file, buffer, size, 0); });
}

// What a file is, whatever name it was opened by.
struct FileId {
    DWORD volume;
    DWORD high;
    DWORD low;
    bool operator==(const FileId& other) const {
        return volume == other.volume && high == other.high && low == other.low;
    }
};

bool IdOf(HANDLE file, FileId& id) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(file, &info)) return false;
    id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}

// Protected folders as identities, with the resolved paths already added.
struct Guarded {
    std::vector<FileId> ids;
    std::vector<std::wstring> paths;
};

// Adds `folder` and every folder it lies in, found from its resolved path, so
// that no other name for them passes. The walk ends at a folder already added,
// whose parents are in too: the protected folders share most of theirs, and
// each identity costs Wine a volume query.
void AddWithParents(Guarded& guarded, const std::wstring& folder) {
    File at = OpenFolder(folder.c_str());
    std::wstring path = at ? FinalPath(at.get()) : std::wstring();
    while (at && !path.empty()) {
        if (std::any_of(guarded.paths.begin(), guarded.paths.end(),
                        [&](const std::wstring& added) { return SameText(added, path); }))
            break;
        guarded.paths.push_back(path);
        FileId id;
        if (IdOf(at.get(), id)) guarded.ids.push_back(id);
        // "\\?\X:\" and "\\?\UNC\server" have no parent left; the latter fails to open.
        const size_t slash = path.find_last_of(L'\\', path.size() - 2);
        if (slash == std::wstring::npos || slash <= 3) break;
        path.resize(slash);
        if (path.back() == L':') path.push_back(L'\\');
        at = OpenFolder(path.c_str());
    }
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    wchar_t* path = nullptr;
    const HRESULT result = ::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path);
    const TaskString owned(path);
    return SUCCEEDED(result) ? path : L"";
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    return length < MAX_PATH ? value : L"";
}

// Folders the purge must never empty, as identities: every drive root, the
// profile, the user's documents and application-data folders, the shared
// folders, the system's folders and this program's own, each with every
// folder that holds it. One that cannot be opened adds nothing.
std::vector<FileId> ProtectedFolders() {
    // An empty removable drive must not ask for a disk.
    DWORD errorMode = 0;
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &errorMode);
    Guarded ids;
    const DWORD drives = ::GetLogicalDrives();
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter)
        if (drives & (1u << (letter - L'A'))) AddWithParents(ids, std::wstring{letter, L':', L'\\'});
    for (REFKNOWNFOLDERID id :
         {FOLDERID_Profile, FOLDERID_Desktop, FOLDERID_Documents, FOLDERID_Pictures, FOLDERID_Downloads,
          FOLDERID_RoamingAppData, FOLDERID_LocalAppData, FOLDERID_Public, FOLDERID_ProgramData,
          FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX86, FOLDERID_System})
        AddWithParents(ids, KnownFolder(id));
    // A 32-bit program is shown the 32-bit Program Files under both names.
    AddWithParents(ids, Environment(L"ProgramW6432"));
    // GetWindowsDirectoryW names a folder of the user's own on a terminal server.
    wchar_t windows[MAX_PATH] = {};
    if (::GetSystemWindowsDirectoryW(windows, MAX_PATH)) AddWithParents(ids, windows);
    wchar_t program[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        std::wstring folder(program, length);
        folder.resize(folder.find_last_of(L'\\') + 1);
        AddWithParents(ids, folder);
    }
    ::SetThreadErrorMode(errorMode, nullptr);
    return std::move(ids.ids);
}

// The shell folder's path as a folder the purge may empty, or empty. Its path
// comes from the user's own settings, which may be damaged or redirected: only
// an absolute path of a real folder below a root qualifies, not a link, and
// never a protected folder or one holding a protected folder, under any of
// its names (links further up, other drive letters, shares, short names):
// `guarded` holds them, from ProtectedFolders.
std::wstring CacheFolder(int csidl, const std::vector<FileId>& guarded) {
    wchar_t shell[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, shell, csidl, FALSE)) return {};
    // Relative paths ("", "\\Cache", "C:Cache") would depend on the current folder.
    const std::wstring_view given(shell);
    const bool drive = given.size() >= 3 && given[1] == L':' && IsSeparator(given[2]);
    const bool unc = given.size() >= 2 && IsSeparator(given[0]) && IsSeparator(given[1]);
    if (!drive && !unc) return {};
    std::wstring folder = FullPath(shell);
    if (!IsBelowRoot(folder)) return {};

    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return {};
    const File opened = OpenFolder(folder.c_str());
    FileId id;
    if (!opened || !IdOf(opened.get(), id)) return {};
    if (std::find(guarded.begin(), guarded.end(), id) != guarded.end()) return {};
    return folder;
}

// Takes the read-only bit off, which deleting the file needs.
void ClearReadOnly(HANDLE file, FILE_BASIC_INFO basic) {
    basic.FileAttributes &= ~FILE_ATTRIBUTE_READONLY;
    if (!basic.FileAttributes) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof(basic));
}

// Deletes the file open as `file`, through a handle reopened from it rather
// than by name. (A handle with delete access held while a folder is listed
// makes Wine's listing fail.)
void DeleteThrough(HANDLE file) {
    const File deleting(
        ::ReOpenFile(file, DELETE, kShareAll, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS));
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (deleting)
        ::SetFileInformationByHandle(deleting.get(), FileDispositionInfo, &disposition, sizeof(disposition));
}

bool EmptyFolder(const std::wstring& path, const std::atomic<BOOL>& stop);

// Deletes the entry `path` names, emptying it first if it is a folder. Every
// check is made on the handle that deletes it, and `path` is a resolved path
// that the handle must resolve to: an entry, or a folder above it, replaced
// by a link after it was listed is never followed.
void PurgeEntry(const std::wstring& path, const std::atomic<BOOL>& stop) {
    if (CCleanCacheDlg::s_pfnBetweenFindAndOpen) CCleanCacheDlg::s_pfnBetweenFindAndOpen(path.c_str());
    const File entry(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                   nullptr));
    // Not GetFileInformationByHandle: its volume query costs Wine a round trip
    // to the mount manager for every file.
    FILE_BASIC_INFO basic;
    if (!entry || !::GetFileInformationByHandleEx(entry.get(), FileBasicInfo, &basic, sizeof(basic))) return;
    // A junction or symbolic link goes itself, never what it points to, and
    // keeps its read-only bit, which may be its target's.
    if (!(basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        // Some systems (Wine) open what a link points to even when asked for
        // the link: a handle that resolves elsewhere is left alone.
        if (!SameText(FinalPath(entry.get()), path)) return;
        if (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) ClearReadOnly(entry.get(), basic);
        if (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) EmptyFolder(path, stop);
    }
    DeleteThrough(entry.get());
}

// Deletes what the folder at the resolved `path` holds, except "desktop.ini"
// files, until `stop` is set; false when it cannot be searched.
bool EmptyFolder(const std::wstring& path, const std::atomic<BOOL>& stop) {
    WIN32_FIND_DATAW data;
    fw::FindHandle find(::FindFirstFileW((path + L"\\*").c_str(), &data));
    if (!find) return false;
    do {
        if (!IsSpared(data.cFileName)) PurgeEntry(path + L'\\' + data.cFileName, stop);
        if (stop) break;
    } while (::FindNextFileW(find.get(), &data));
    return true;
}

}  // namespace

BOOL CCleanCacheDlg::PurgeUrlCache(int mode) {
    // Without a pattern the walk lists content entries only; cookies are listed
    // under their container's prefix (Wine matches it exactly, Windows in any case).
    const wchar_t* pattern = mode == PURGE_COOKIES ? L"Cookie:" : nullptr;
    // Every entry gets a buffer of its own size, found by a probe: entries have
    // no size limit.
    DWORD size = 0;
    ::FindFirstUrlCacheEntryW(pattern, nullptr, &size);
    auto buffer = std::make_unique<BYTE[]>(size);
    UrlCacheFind find(::FindFirstUrlCacheEntryW(pattern, Entry(buffer), &size));
    if (!find) return FALSE;
    for (;;) {
        const INTERNET_CACHE_ENTRY_INFOW* entry = Entry(buffer);
        const bool cookie = (entry->CacheEntryType & COOKIE_CACHE_ENTRY) != 0;
        if ((mode == PURGE_COOKIES && cookie) || (mode == PURGE_CONTENT && !cookie))
            ::DeleteUrlCacheEntryW(entry->lpszSourceUrlName);

        size = 0;
        ::FindNextUrlCacheEntryW(find.get(), nullptr, &size);
        buffer.reset();
        buffer = std::make_unique<BYTE[]>(size);
        if (m_bStop) break;
        // Also fails when the cache changed between probe and fetch.
        if (!::FindNextUrlCacheEntryW(find.get(), Entry(buffer), &size)) break;
    }
    return TRUE;
}

BOOL CCleanCacheDlg::PurgeFolder(const wchar_t* folder) {
    const File opened = OpenFolder(folder);
    if (!opened) return FALSE;
    std::wstring path = FinalPath(opened.get());
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return !path.empty() && EmptyFolder(path, m_bStop);
}

unsigned __stdcall CleanCacheThreadProc(void* param) {
    auto* dialog = static_cast<CCleanCacheDlg*>(param);
    try {
        dialog->PurgeUrlCache(CCleanCacheDlg::PURGE_COOKIES);
        const std::vector<FileId> guarded = ProtectedFolders();
        if (const std::wstring folder = CacheFolder(CSIDL_COOKIES, guarded); !folder.empty())
            dialog->PurgeFolder(folder.c_str());
        dialog->PurgeUrlCache(CCleanCacheDlg::PURGE_CONTENT);
        if (const std::wstring folder = CacheFolder(CSIDL_INTERNET_CACHE, guarded); !folder.empty())
            dialog->PurgeFolder(folder.c_str());
    } catch (const std::bad_alloc&) {
        // What is left stays; the window must close all the same.
    }
    ::CloseHandle(dialog->m_hThread);
    dialog->m_hThread = nullptr;
    ::PostMessageW(dialog->m_hCloseTarget, WM_CLOSE, 0, 0);
    return 0;
}
