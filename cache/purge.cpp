// The purge worker: the URL cache, the cookie folder and the temporary-file folder.

#include "cache/clean_cache_dlg.h"

#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>
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

}  // namespace

BOOL CCleanCacheDlg::PurgeUrlCache(int mode) {
    // Every entry gets a buffer of its own size, found by a probe: entries have
    // no size limit.
    DWORD size = 0;
    ::FindFirstUrlCacheEntryW(nullptr, nullptr, &size);
    auto buffer = std::make_unique<BYTE[]>(size);
    UrlCacheFind find(::FindFirstUrlCacheEntryW(nullptr, Entry(buffer), &size));
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
        wchar_t folder[MAX_PATH];
        dialog->PurgeUrlCache(CCleanCacheDlg::PURGE_COOKIES);
        if (::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_COOKIES, FALSE)) dialog->PurgeFolder(folder);
        dialog->PurgeUrlCache(CCleanCacheDlg::PURGE_CONTENT);
        if (::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_INTERNET_CACHE, FALSE))
            dialog->PurgeFolder(folder);
    } catch (const std::bad_alloc&) {
        // What is left stays; the window must close all the same.
    }
    ::CloseHandle(dialog->m_hThread);
    dialog->m_hThread = nullptr;
    ::PostMessageW(dialog->m_hCloseTarget, WM_CLOSE, 0, 0);
    return 0;
}
