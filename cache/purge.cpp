// The purge worker: the URL cache, the cookie folder and the temporary-file folder.

#include "cache/clean_cache_dlg.h"

#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>
#include <cwctype>
#include <memory>
#include <new>
#include <string>
#include <string_view>

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

void DeleteWithShell(const std::wstring& path) {
    // A list of one name: the terminator c_str() adds is the list's second.
    std::wstring from = path;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR;
    ::SHFileOperationW(&operation);
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool SameText(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

// `path` made absolute and long-named, without "." or ".." parts or a trailing
// backslash; empty when that fails.
std::wstring FullPath(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) return {};
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);
    }
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

// True when `folder` is `guarded` or one of the folders it lies in.
bool HoldsOrIs(const std::wstring& folder, const std::wstring& guarded) {
    if (guarded.size() < folder.size()) return false;
    if (!SameText(folder, std::wstring_view(guarded).substr(0, folder.size()))) return false;
    return guarded.size() == folder.size() || guarded[folder.size()] == L'\\';
}

// The shell folder's path as a folder the purge may empty, or empty. Its path
// comes from the user's own settings, which may be damaged or redirected: only
// an absolute path of a real folder below a root qualifies, never the profile,
// the Windows folder or a folder holding either, nor a link to elsewhere.
std::wstring CacheFolder(int csidl) {
    wchar_t shell[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, shell, csidl, FALSE)) return {};
    // Relative paths ("", "\\Cache", "C:Cache") would depend on the current folder.
    const std::wstring_view given(shell);
    const bool drive = given.size() >= 3 && given[1] == L':' && IsSeparator(given[2]);
    const bool unc = given.size() >= 2 && IsSeparator(given[0]) && IsSeparator(given[1]);
    if (!drive && !unc) return {};
    std::wstring folder = FullPath(shell);
    if (!IsBelowRoot(folder)) return {};

    wchar_t profile[MAX_PATH] = {};
    wchar_t windows[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, profile)) ||
        !::GetWindowsDirectoryW(windows, MAX_PATH))
        return {};
    for (const wchar_t* guarded : {profile, windows}) {
        const std::wstring full = FullPath(guarded);
        if (full.empty() || HoldsOrIs(folder, full)) return {};
    }
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return {};
    return folder;
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
    const std::wstring base(folder);
    WIN32_FIND_DATAW data;
    fw::FindHandle find(::FindFirstFileW((base + L"\\*.*").c_str(), &data));
    if (!find) return FALSE;
    do {
        if (!IsSpared(data.cFileName)) {
            const std::wstring path = base + L'\\' + data.cFileName;
            const DWORD queried = ::GetFileAttributesW(path.c_str());
            const DWORD attributes = queried == INVALID_FILE_ATTRIBUTES ? 0 : queried;
            // A junction or symbolic link is removed itself and never followed:
            // what it points to lies outside the cache. Its read-only bit stays,
            // since changing it would change the target's.
            const bool link =
                ((data.dwFileAttributes | attributes) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (!link && (attributes & FILE_ATTRIBUTE_READONLY))
                ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (!link) PurgeFolder(path.c_str());
                ::RemoveDirectoryW(path.c_str());
            } else {
                DeleteWithShell(path);
            }
        }
        if (m_bStop) break;
    } while (::FindNextFileW(find.get(), &data));
    return TRUE;
}

unsigned __stdcall CleanCacheThreadProc(void* param) {
    auto* dialog = static_cast<CCleanCacheDlg*>(param);
    try {
        dialog->PurgeUrlCache(CCleanCacheDlg::PURGE_COOKIES);
        if (const std::wstring folder = CacheFolder(CSIDL_COOKIES); !folder.empty())
            dialog->PurgeFolder(folder.c_str());
        dialog->PurgeUrlCache(CCleanCacheDlg::PURGE_CONTENT);
        if (const std::wstring folder = CacheFolder(CSIDL_INTERNET_CACHE); !folder.empty())
            dialog->PurgeFolder(folder.c_str());
    } catch (const std::bad_alloc&) {
        // What is left stays; the window must close all the same.
    }
    ::CloseHandle(dialog->m_hThread);
    dialog->m_hThread = nullptr;
    ::PostMessageW(dialog->m_hCloseTarget, WM_CLOSE, 0, 0);
    return 0;
}
