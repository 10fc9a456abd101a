#include "cache_fixtures.h"

#include <shlobj.h>
#include <wininet.h>
#include <algorithm>
#include <cstring>
#include <cwctype>

#include "framework/handles.h"

namespace cachetest {

namespace {

struct UrlCacheFindTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::FindCloseUrlCache(h); }
};
struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::RegCloseKey(h); }
};
using UrlCacheFind = fw::UniqueHandle<UrlCacheFindTraits>;
using RegistryKey = fw::UniqueHandle<RegistryKeyTraits>;

constexpr wchar_t kUserShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::wstring TempFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH, path);
    std::wstring folder(path, length);
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder;
}

void MakeParents(const std::wstring& path) {
    for (size_t slash = path.find(L'\\', 3); slash != std::wstring::npos; slash = path.find(L'\\', slash + 1))
        ::CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
}

// Calls visit(relativePath, findData) for everything under root, parents first.
void Walk(const std::wstring& root, const std::wstring& prefix,
          const std::function<void(const std::wstring&, const WIN32_FIND_DATAW&)>& visit) {
    WIN32_FIND_DATAW data;
    fw::FindHandle find(::FindFirstFileW((root + L"\\*").c_str(), &data));
    if (!find) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring relative = prefix.empty() ? name : prefix + L'\\' + name;
        visit(relative, data);
        const DWORD kind = data.dwFileAttributes;
        if ((kind & FILE_ATTRIBUTE_DIRECTORY) && !(kind & FILE_ATTRIBUTE_REPARSE_POINT))
            Walk(root + L'\\' + name, relative, visit);
    } while (::FindNextFileW(find.get(), &data));
}

std::vector<BYTE> EntryBuffer(DWORD size) { return std::vector<BYTE>(size ? size : 1); }

}  // namespace

namespace {
std::wstring UniqueTempPath(const wchar_t* name) {
    static int serial = 0;
    return TempFolder() + L"\\duskmere-" + name + L'-' + std::to_wstring(::GetCurrentProcessId()) + L'-' +
           std::to_wstring(++serial);
}
}  // namespace

ScratchFolder::ScratchFolder(const wchar_t* name) : path_(UniqueTempPath(name)) {
    RemoveTree(path_);
    ::CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

namespace {
fw::KernelHandle CreateForWriting(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (file == INVALID_HANDLE_VALUE) return fw::KernelHandle();
    return fw::KernelHandle(file);
}
void WriteSomething(const fw::KernelHandle& file) {
    DWORD written = 0;
    ::WriteFile(file.get(), "cached", 6, &written, nullptr);
}
}  // namespace

void MakeFile(const std::wstring& path, DWORD attributes) {
    fw::KernelHandle file = CreateForWriting(path);
    if (!file && ::GetLastError() == ERROR_PATH_NOT_FOUND) {
        MakeParents(path);
        file = CreateForWriting(path);
    }
    if (!file) return;
    WriteSomething(file);
    file.reset();
    if (attributes) ::SetFileAttributesW(path.c_str(), attributes);
}

void MakeFolder(const std::wstring& path) {
    MakeParents(path);
    ::CreateDirectoryW(path.c_str(), nullptr);
}

void MakeNestedTree(const std::wstring& root, int count, int filesPerFolder) {
    for (int i = 0; i < count; ++i) {
        // Folder k is gK/4 nested k%4 levels deep: every level has files and a subfolder.
        const int k = i / filesPerFolder;
        std::wstring folder = root + L"\\g" + std::to_wstring(k / 4);
        for (int level = 1; level <= k % 4; ++level) folder += L"\\s" + std::to_wstring(level);
        MakeFile(folder + L"\\f" + std::to_wstring(i) + L".dat", i % 10 == 0 ? FILE_ATTRIBUTE_READONLY : 0);
    }
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> ListTree(const std::wstring& root) {
    std::vector<std::wstring> paths;
    Walk(root, L"", [&](const std::wstring& relative, const WIN32_FIND_DATAW&) { paths.push_back(relative); });
    std::sort(paths.begin(), paths.end());
    return paths;
}

void RemoveTree(const std::wstring& root) {
    {
        WIN32_FIND_DATAW data;
        fw::FindHandle find(::FindFirstFileW((root + L"\\*").c_str(), &data));
        if (find) {
            do {
                const std::wstring name = data.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring path = root + L'\\' + name;
                const DWORD kind = data.dwFileAttributes;
                // Writable first, also a folder: its children go next.
                if (kind & FILE_ATTRIBUTE_READONLY)
                    ::SetFileAttributesW(path.c_str(), kind & ~FILE_ATTRIBUTE_READONLY);
                if (!(kind & FILE_ATTRIBUTE_DIRECTORY))
                    ::DeleteFileW(path.c_str());
                else if (!(kind & FILE_ATTRIBUTE_REPARSE_POINT))
                    RemoveTree(path);
            } while (::FindNextFileW(find.get(), &data));
        }
    }
    ::RemoveDirectoryW(root.c_str());
}

bool RunOnHost(const std::wstring& commandLine, const std::wstring& folder, const std::function<bool()>& done) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    // Wine forks a unix program without making a process object, and hands
    // back for its two handles whatever its stack held there, which may be a
    // live handle of this process: they are not ours to close.
    PROCESS_INFORMATION unused{};
    std::wstring command = commandLine;
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                          &startup, &unused))
        return false;
    for (int i = 0; i < 500 && !done(); ++i) ::Sleep(10);
    return done();
}

namespace {
std::wstring UnixRelative(std::wstring path) {
    std::replace(path.begin(), path.end(), L'\\', L'/');
    return path;
}
}  // namespace

bool MakeHostReadOnly(const std::wstring& in, const std::wstring& relative) {
    const std::wstring path = in + L'\\' + relative;
    return RunOnHost(L"/bin/chmod a-w " + UnixRelative(relative), in, [&] {
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    });
}

bool MakeHostSymlink(const std::wstring& in, const std::wstring& name, const std::wstring& target) {
    return RunOnHost(L"/bin/ln -s " + UnixRelative(target) + L' ' + name, in, [&] { return Exists(in + L'\\' + name); });
}

bool RemoveHostSymlink(const std::wstring& in, const std::wstring& name) {
    // Exists() follows the link; a dangling or removed one both read as gone,
    // so ask the folder listing instead.
    const auto listed = [&] {
        const auto entries = ListTree(in);
        return std::find(entries.begin(), entries.end(), name) != entries.end();
    };
    return RunOnHost(L"/bin/rm -f " + name, in, [&] { return !listed(); });
}

HostLink::HostLink(std::wstring in, std::wstring name, const std::wstring& target)
    : in_(std::move(in)), name_(std::move(name)), made_(MakeHostSymlink(in_, name_, target)) {}

HostLink::~HostLink() {
    if (made_) RemoveHostSymlink(in_, name_);
}

std::wstring UnixPath(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    const auto toUnix =
        reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* unix = toUnix ? toUnix(path.c_str()) : nullptr;
    if (!unix) return {};
    std::wstring wide(unix, unix + std::strlen(unix));
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return wide;
}

namespace {
std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    return length && length < MAX_PATH ? value : L"";
}

bool DriveShown(wchar_t letter) {
    const wchar_t root[] = {letter, L':', L'\\', 0};
    return ::GetFileAttributesW(root) != INVALID_FILE_ATTRIBUTES;
}

// Whether the folder's final path goes through `letter`. Wine turns a unix
// path back into a drive letter through a table it rereads at most once a
// second: until then a new letter opens, but a folder reached through it
// keeps its old final path and volume serial, so that one folder would have
// two identities within a test.
bool ResolvedThrough(const std::wstring& folder, wchar_t letter) {
    const HANDLE opened = ::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return false;
    const fw::KernelHandle owned(opened);
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetFinalPathNameByHandleW(owned.get(), path, MAX_PATH, 0);
    // "\\?\Y:\..."
    return length >= 6 && length < MAX_PATH && std::towlower(path[4]) == letter && path[5] == L':';
}
}  // namespace

ScratchDrive::ScratchDrive(const std::wstring& mapped) : target_(mapped.empty() ? folder_.Path() : mapped) {
    const std::wstring prefix = Environment(L"WINEPREFIX");
    const std::wstring target = UnixPath(target_);
    if (prefix.empty() || target.empty()) return;
    dosdevices_ = prefix + L"/dosdevices/";
    for (const wchar_t letter : {L'y', L'x', L'w'}) {
        if (DriveShown(letter) || (::GetLogicalDrives() & (1u << (letter - L'a')))) continue;
        if (RunOnHost(L"/bin/ln -s " + target + L' ' + dosdevices_ + letter + L':', folder_.Path(),
                      [&] { return DriveShown(letter) && ResolvedThrough(target_, letter); }))
            letter_ = static_cast<wchar_t>(letter - L'a' + L'A');
        return;
    }
}

ScratchDrive::~ScratchDrive() {
    if (!letter_) return;
    const wchar_t letter = static_cast<wchar_t>(letter_ - L'A' + L'a');
    RunOnHost(L"/bin/rm -f " + dosdevices_ + letter + L':', folder_.Path(),
              [&] { return !DriveShown(letter) && !ResolvedThrough(target_, letter); });
}

CurrentFolder::CurrentFolder(const std::wstring& folder) {
    wchar_t saved[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, saved);
    saved_ = saved;
    ::SetCurrentDirectoryW(folder.c_str());
}

CurrentFolder::~CurrentFolder() { ::SetCurrentDirectoryW(saved_.c_str()); }

std::wstring ProfileWithoutLinks() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    const std::wstring profile = path;
    std::vector<std::wstring> links;
    const auto findLinks = [&] {
        links.clear();
        Walk(profile, L"", [&](const std::wstring& relative, const WIN32_FIND_DATAW& data) {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) links.push_back(relative);
        });
    };
    findLinks();
    for (const std::wstring& link : links) {
        const size_t slash = link.rfind(L'\\');
        const std::wstring in = slash == std::wstring::npos ? profile : profile + L'\\' + link.substr(0, slash);
        RemoveHostSymlink(in, link.substr(slash + 1));
        std::wstring folder = profile;
        folder.append(1, L'\\').append(link);
        ::CreateDirectoryW(folder.c_str(), nullptr);
    }
    findLinks();
    return links.empty() ? profile : L"";
}

void AddCacheEntry(const std::wstring& url, DWORD type) {
    wchar_t file[MAX_PATH] = {};
    if (!::CreateUrlCacheEntryW(url.c_str(), 0, L"txt", file, 0)) return;
    if (fw::KernelHandle content = CreateForWriting(file)) WriteSomething(content);
    FILETIME never{};
    ::CommitUrlCacheEntryW(url.c_str(), file, never, never, type, nullptr, 0, nullptr, nullptr);
}

bool HasCacheEntry(const std::wstring& url) {
    DWORD size = 0;
    if (::GetUrlCacheEntryInfoW(url.c_str(), nullptr, &size)) return true;
    return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

namespace {
std::vector<std::wstring> CacheUrls() {
    std::vector<std::wstring> urls;
    // Windows lists content without a pattern, Wine everything: both, once each.
    for (const wchar_t* pattern : {static_cast<const wchar_t*>(nullptr), L"Cookie:"}) {
        const std::vector<std::wstring> listed = ListedCacheUrls(pattern);
        urls.insert(urls.end(), listed.begin(), listed.end());
    }
    std::sort(urls.begin(), urls.end());
    urls.erase(std::unique(urls.begin(), urls.end()), urls.end());
    return urls;
}
}  // namespace

std::vector<std::wstring> ListedCacheUrls(const wchar_t* pattern) {
    std::vector<std::wstring> urls;
    DWORD size = 0;
    ::FindFirstUrlCacheEntryW(pattern, nullptr, &size);
    std::vector<BYTE> buffer = EntryBuffer(size);
    const auto entry = [&] { return reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data()); };
    UrlCacheFind find(::FindFirstUrlCacheEntryW(pattern, entry(), &size));
    if (!find) return urls;
    do {
        urls.emplace_back(entry()->lpszSourceUrlName);
        size = 0;
        ::FindNextUrlCacheEntryW(find.get(), nullptr, &size);
        buffer = EntryBuffer(size);
    } while (size && ::FindNextUrlCacheEntryW(find.get(), entry(), &size));
    return urls;
}

void EmptyUrlCache() {
    for (const std::wstring& url : CacheUrls()) ::DeleteUrlCacheEntryW(url.c_str());
}

size_t CountCacheEntries() { return CacheUrls().size(); }

ShellFolderRedirect::ShellFolderRedirect(const wchar_t* valueName, const std::wstring& folder)
    : name_(valueName), saved_{SavedValue(kUserShellFolders), SavedValue(kShellFolders)} {
    for (SavedValue& saved : saved_) {
        HKEY opened = nullptr;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, saved.key, 0, nullptr, 0, KEY_QUERY_VALUE, nullptr, &opened,
                              nullptr) != ERROR_SUCCESS)
            continue;
        RegistryKey key(opened);
        DWORD size = 0;
        saved.present = ::RegQueryValueExW(key.get(), valueName, nullptr, &saved.type, nullptr, &size) == ERROR_SUCCESS;
        saved.data.resize(size);
        if (saved.present) ::RegQueryValueExW(key.get(), valueName, nullptr, &saved.type, saved.data.data(), &size);
    }
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kUserShellFolders, 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS) return;
    RegistryKey key(opened);
    ::RegSetValueExW(key.get(), valueName, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                     static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
}

ShellFolderRedirect::~ShellFolderRedirect() {
    for (const SavedValue& saved : saved_) {
        HKEY opened = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, saved.key, 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS) continue;
        RegistryKey key(opened);
        if (saved.present)
            ::RegSetValueExW(key.get(), name_.c_str(), 0, saved.type, saved.data.data(),
                             static_cast<DWORD>(saved.data.size()));
        else
            ::RegDeleteValueW(key.get(), name_.c_str());
    }
}

}  // namespace cachetest
