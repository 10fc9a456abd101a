#pragma once
// A blocking HTTP/1.0 GET over plain sockets, run on a worker thread. Plain
// sockets rather than WinINet, so fetching leaves nothing in the URL cache.

#include <windows.h>
#include <string>
#include <string_view>

namespace standin {

struct FetchResult {
    bool ok = false;
    std::string body;     // the entity body when ok
    std::wstring reason;  // why it failed when not ok
};

FetchResult HttpGet(std::wstring_view url, DWORD timeoutMs);

}  // namespace standin
