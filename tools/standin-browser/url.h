#pragma once
// The little URL handling the control needs: splitting http:// addresses and
// resolving a page's links against the page's own address.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace standin {

struct HttpAddress {
    std::wstring host;
    unsigned short port = 80;
    std::wstring target;  // path and query, never empty, no fragment
};

std::optional<HttpAddress> ParseHttpUrl(std::wstring_view url);
bool IsAboutBlank(std::wstring_view url);
std::wstring ResolveUrl(std::wstring_view base, std::wstring_view reference);

// application/x-www-form-urlencoded: UTF-8, spaces as '+', pairs joined by '&'.
std::string FormUrlEncode(const std::vector<std::pair<std::wstring, std::wstring>>& pairs);

}  // namespace standin
