#pragma once
// A blocking HTTP request through WinINet, run on a worker thread. WinINet, as
// the real control uses, so that pages land in the user's Temporary Internet
// Files and cookies in the user's cookie store, where the cache cleaner finds them.

#include <windows.h>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

struct FetchRequest {
    std::wstring url;
    std::string postBody;  // a POST when `post` is set
    bool post = false;
    bool reload = false;   // a refresh: revalidate instead of trusting the cache
    std::wstring headers;  // sent as given, each line ending in CRLF
};

struct FetchResult {
    bool ok = false;
    DWORD status = 0;      // the last response's HTTP status, 0 without one
    std::wstring finalUrl;  // where the server's redirects ended
    std::string body;     // the entity body when ok
    std::wstring reason;  // why it failed when not ok
    std::wstring cookieSent;                  // the Cookie header the request carried
    std::vector<std::wstring> cookiesReceived;  // its Set-Cookie headers
};

FetchResult HttpFetch(const FetchRequest& request, DWORD timeoutMs);

}  // namespace standin
