#include "tools/standin-browser/http_fetch.h"

#include <wininet.h>
#include <shlobj.h>

#include <cwctype>
#include <mutex>
#include <set>

#include "framework/handles.h"
#include "tools/standin-browser/event_log.h"
#include "tools/standin-browser/url.h"

namespace standin {

namespace {

constexpr size_t kMaxResponseBytes = size_t{16} * 1024 * 1024;
constexpr wchar_t kUserAgent[] = L"Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 6.1; StandInBrowser)";

struct InternetTraits {
    using Handle = HINTERNET;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::InternetCloseHandle(h); }
};
using Internet = fw::UniqueHandle<InternetTraits>;

bool IsLoopback(std::wstring_view host) {
    return host == L"127.0.0.1" || host == L"localhost" || host == L"[::1]" || host == L"::1";
}

std::wstring Lower(std::wstring_view s) {
    std::wstring out(s);
    for (auto& c : out) c = static_cast<wchar_t>(std::towlower(c));
    return out;
}

// The cookies a request carries, kept in WinINet's store. Wine's WinINet keeps
// every cookie in memory once read, so a persistent cookie whose entry or file
// the cache cleaner deleted would still be sent; Windows reads the store, and
// there it is gone. So the stand-in writes and reads the store itself, and
// leaves out a persistent cookie whose file has gone.
class CookieJar {
public:
    void Store(const std::wstring& url, const std::wstring& setCookie) {
        ::InternetSetCookieW(url.c_str(), nullptr, setCookie.c_str());
        const size_t eq = setCookie.find(L'=');
        if (eq == std::wstring::npos) return;
        const std::wstring lower = Lower(setCookie);
        const bool persistent =
            lower.find(L"expires=") != std::wstring::npos || lower.find(L"max-age=") != std::wstring::npos;
        const Key key{HostOf(url), setCookie.substr(0, eq)};
        const std::lock_guard<std::mutex> lock(mutex_);
        dropped_.erase(key);
        if (persistent) persistent_.insert(key);
    }

    // The Cookie header's value for a request to url.
    std::wstring For(const std::wstring& url) {
        const std::wstring host = HostOf(url);
        std::wstring out;
        const std::wstring all = StoreValue(url);
        const std::lock_guard<std::mutex> lock(mutex_);
        for (size_t start = 0; start < all.size();) {
            size_t end = all.find(L';', start);
            if (end == std::wstring::npos) end = all.size();
            std::wstring pair = all.substr(start, end - start);
            while (!pair.empty() && pair.front() == L' ') pair.erase(0, 1);
            start = end + 1;
            const Key key{host, pair.substr(0, pair.find(L'='))};
            if (persistent_.count(key) && !FileHolds(pair)) {
                persistent_.erase(key);
                dropped_.insert(key);
            }
            if (pair.empty() || dropped_.count(key)) continue;
            if (!out.empty()) out += L"; ";
            out += pair;
        }
        return out;
    }

private:
    using Key = std::pair<std::wstring, std::wstring>;

    static std::wstring HostOf(const std::wstring& url) {
        const auto address = ParseHttpUrl(url);
        return address ? Lower(address->host) : std::wstring();
    }

    static std::wstring StoreValue(const std::wstring& url) {
        DWORD size = 0;
        if (!::InternetGetCookieW(url.c_str(), nullptr, nullptr, &size) || size == 0) return {};
        std::wstring cookie(size, L'\0');
        if (!::InternetGetCookieW(url.c_str(), nullptr, cookie.data(), &size)) return {};
        cookie.resize(wcsnlen(cookie.c_str(), cookie.size()));
        return cookie;
    }

    // Whether a file of the cookie store still holds name=value: Wine's files
    // keep each cookie as its name, then its value, on lines of their own.
    static bool FileHolds(const std::wstring& pair) {
        const size_t eq = pair.find(L'=');
        if (eq == std::wstring::npos) return false;
        const std::string wanted = Utf8(pair.substr(0, eq)) + "\n" + Utf8(pair.substr(eq + 1)) + "\n";
        wchar_t folder[MAX_PATH];
        if (!::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_COOKIES, FALSE)) return false;
        const std::wstring pattern = std::wstring(folder) + L"\\*.txt";
        WIN32_FIND_DATAW found{};
        const fw::FindHandle find(::FindFirstFileW(pattern.c_str(), &found));
        if (!find) return false;
        bool holds = false;
        do {
            const std::wstring path = std::wstring(folder) + L"\\" + found.cFileName;
            const HANDLE opened = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_EXISTING, 0, nullptr);
            if (opened == INVALID_HANDLE_VALUE) continue;
            const fw::KernelHandle file(opened);
            std::string text(size_t{64} * 1024, '\0');
            DWORD got = 0;
            if (::ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &got, nullptr)) {
                text.resize(got);
                holds = text.compare(0, wanted.size(), wanted) == 0 || text.find("*\n" + wanted) != std::string::npos;
            }
        } while (!holds && ::FindNextFileW(find.get(), &found));
        return holds;
    }

    std::mutex mutex_;
    std::set<Key> persistent_;
    std::set<Key> dropped_;
};

CookieJar& Cookies() {
    static CookieJar jar;
    return jar;
}

std::vector<std::wstring> SetCookies(HINTERNET request) {
    std::vector<std::wstring> out;
    for (DWORD index = 0;;) {
        wchar_t buffer[4096];
        DWORD size = sizeof buffer;
        if (!::HttpQueryInfoW(request, HTTP_QUERY_SET_COOKIE, buffer, &size, &index)) break;
        out.emplace_back(buffer, size / sizeof(wchar_t));
    }
    return out;
}

DWORD StatusOf(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof status;
    ::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
    return status;
}

}  // namespace

namespace {

bool IsRedirect(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::wstring LocationOf(HINTERNET request) {
    wchar_t buffer[2048];
    DWORD size = sizeof buffer;
    if (!::HttpQueryInfoW(request, HTTP_QUERY_LOCATION, buffer, &size, nullptr)) return {};
    return std::wstring(buffer, size / sizeof(wchar_t));
}

}  // namespace

// Redirects are followed here rather than by WinINet, so that the cookies a
// redirecting answer sets (a login's 303) are stored and sent on the next hop.
FetchResult HttpFetch(const FetchRequest& first, DWORD timeoutMs) {
    constexpr int kMaxRedirects = 10;
    FetchResult result;
    FetchRequest request = first;
    const Internet session(::InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session) {
        result.reason = L"The network is not available.";
        return result;
    }
    for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        ::InternetSetOptionW(session.get(), option, &timeoutMs, sizeof timeoutMs);
    }
    for (int hop = 0;; ++hop) {
        result.finalUrl = request.url;
        const auto address = ParseHttpUrl(request.url);
        if (!address) {
            result.reason = L"The address is not an http:// address.";
            return result;
        }
        if (!IsLoopback(address->host)) {
            result.reason = L"The stand-in fetches loopback addresses only.";
            return result;
        }
        const std::wstring cookie = Cookies().For(request.url);
        if (hop == 0) result.cookieSent = cookie;
        const Internet connection(::InternetConnectW(session.get(), address->host.c_str(), address->port, nullptr,
                                                     nullptr, INTERNET_SERVICE_HTTP, 0, 0));
        // A browser's request: cached and with cookies; never an automatic login dialog.
        DWORD flags = INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTH |
                      INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTO_REDIRECT;
        if (request.reload) flags |= INTERNET_FLAG_RELOAD;
        if (!request.post) flags |= INTERNET_FLAG_RESYNCHRONIZE;
        const wchar_t* accept[] = {L"*/*", nullptr};
        const Internet http(connection ? ::HttpOpenRequestW(connection.get(), request.post ? L"POST" : L"GET",
                                                            address->target.c_str(), nullptr, nullptr, accept,
                                                            flags, 0)
                                       : nullptr);
        if (!http) {
            result.reason = L"The server could not be reached.";
            return result;
        }
        std::wstring headers = request.headers;
        if (!cookie.empty()) headers += L"Cookie: " + cookie + L"\r\n";
        const BOOL sent = ::HttpSendRequestW(http.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                                             request.post ? const_cast<char*>(request.postBody.data()) : nullptr,
                                             static_cast<DWORD>(request.postBody.size()));
        if (!sent) {
            result.reason = ::GetLastError() == ERROR_INTERNET_TIMEOUT ? L"The server did not answer in time."
                                                                      : L"The server could not be reached.";
            return result;
        }
        for (auto& received : SetCookies(http.get())) {
            Cookies().Store(request.url, received);
            result.cookiesReceived.push_back(std::move(received));
        }
        result.status = StatusOf(http.get());
        const std::wstring location = IsRedirect(result.status) ? LocationOf(http.get()) : std::wstring();
        if (!location.empty() && hop < kMaxRedirects) {
            // 303, and 301/302 after a POST, continue with a GET, as browsers do.
            if (result.status == 303 || ((result.status == 301 || result.status == 302) && request.post)) {
                request.post = false;
                request.postBody.clear();
                request.headers.clear();
            }
            request.url = ResolveUrl(request.url, location);
            continue;
        }

        std::string body;
        char buffer[8192];
        for (;;) {
            DWORD got = 0;
            if (!::InternetReadFile(http.get(), buffer, sizeof buffer, &got)) {
                result.reason = L"The connection was reset.";
                return result;
            }
            if (got == 0) break;
            body.append(buffer, got);
            if (body.size() > kMaxResponseBytes) break;
        }
        if (result.status < 200 || result.status > 299) {
            result.reason = L"The server answered with status " + std::to_wstring(result.status) + L".";
            return result;
        }
        result.ok = true;
        result.body = std::move(body);
        return result;
    }
}

}  // namespace standin
