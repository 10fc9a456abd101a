#include "tools/standin-browser/url.h"

#include <cctype>
#include <cwctype>
#include <vector>

#include "tools/standin-browser/event_log.h"

namespace standin {

namespace {

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::towlower(text[i]) != std::towlower(prefix[i])) return false;
    }
    return true;
}

std::wstring_view Trim(std::wstring_view s) {
    while (!s.empty() && std::iswspace(s.front())) s.remove_prefix(1);
    while (!s.empty() && std::iswspace(s.back())) s.remove_suffix(1);
    return s;
}

std::wstring_view WithoutFragment(std::wstring_view s) {
    const size_t hash = s.find(L'#');
    return hash == std::wstring_view::npos ? s : s.substr(0, hash);
}

bool HasScheme(std::wstring_view s) {
    for (size_t i = 0; i < s.size(); ++i) {
        const wchar_t c = s[i];
        if (c == L':') return i > 0;
        const bool schemeChar = std::iswalpha(c) || (i > 0 && (std::iswdigit(c) || c == L'+' ||
                                                               c == L'-' || c == L'.'));
        if (!schemeChar) return false;
    }
    return false;
}

// Removes "." and ".." segments from an absolute path.
std::wstring NormalisePath(std::wstring_view path) {
    std::vector<std::wstring_view> segments;
    size_t start = 1;
    while (start <= path.size()) {
        size_t end = path.find(L'/', start);
        if (end == std::wstring_view::npos) end = path.size();
        const std::wstring_view segment = path.substr(start, end - start);
        const bool last = end == path.size();
        if (segment == L"..") {
            if (!segments.empty()) segments.pop_back();
            if (last) segments.emplace_back();
        } else if (segment == L".") {
            if (last) segments.emplace_back();
        } else {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::wstring out;
    for (const auto& segment : segments) {
        out += L'/';
        out += segment;
    }
    return out.empty() ? L"/" : out;
}

}  // namespace

std::optional<HttpAddress> ParseHttpUrl(std::wstring_view url) {
    url = WithoutFragment(Trim(url));
    constexpr std::wstring_view scheme = L"http://";
    if (!StartsWithNoCase(url, scheme)) return std::nullopt;
    url.remove_prefix(scheme.size());
    const size_t slash = url.find_first_of(L"/?");
    const std::wstring_view authority = url.substr(0, slash);
    HttpAddress address;
    address.target = slash == std::wstring_view::npos ? L"/" : std::wstring(url.substr(slash));
    if (address.target.front() == L'?') address.target.insert(0, 1, L'/');

    const size_t colon = authority.rfind(L':');
    address.host = std::wstring(authority.substr(0, colon));
    if (colon != std::wstring_view::npos) {
        const std::wstring_view digits = authority.substr(colon + 1);
        if (digits.empty() || digits.size() > 5) return std::nullopt;
        unsigned long port = 0;
        for (const wchar_t c : digits) {
            if (!std::iswdigit(c)) return std::nullopt;
            port = port * 10 + static_cast<unsigned long>(c - L'0');
        }
        if (port == 0 || port > 65535) return std::nullopt;
        address.port = static_cast<unsigned short>(port);
    }
    if (address.host.empty()) return std::nullopt;
    return address;
}

bool IsAboutBlank(std::wstring_view url) {
    url = Trim(url);
    return url.size() == 11 && StartsWithNoCase(url, L"about:blank");
}

std::wstring ResolveUrl(std::wstring_view base, std::wstring_view reference) {
    reference = Trim(reference);
    if (HasScheme(reference)) return std::wstring(reference);

    base = WithoutFragment(Trim(base));
    const size_t schemeEnd = base.find(L"://");
    if (schemeEnd == std::wstring_view::npos) return std::wstring(reference);
    const size_t pathStart = base.find_first_of(L"/?", schemeEnd + 3);
    const std::wstring_view origin = base.substr(0, pathStart);
    std::wstring_view basePath =
        pathStart == std::wstring_view::npos ? L"/" : base.substr(pathStart);
    const size_t query = basePath.find(L'?');
    const std::wstring_view basePathOnly =
        query == std::wstring_view::npos ? basePath : basePath.substr(0, query);

    if (reference.substr(0, 2) == L"//") return std::wstring(base.substr(0, schemeEnd + 1)) +
                                                 std::wstring(reference);
    if (reference.empty() || reference.front() == L'#') {
        return std::wstring(base) + std::wstring(reference);
    }
    if (reference.front() == L'?') {
        return std::wstring(origin) + std::wstring(basePathOnly.empty() ? L"/" : basePathOnly) +
               std::wstring(reference);
    }

    const size_t refQuery = reference.find_first_of(L"?#");
    const std::wstring_view refPath = reference.substr(0, refQuery);
    const std::wstring_view refTail =
        refQuery == std::wstring_view::npos ? std::wstring_view() : reference.substr(refQuery);
    std::wstring merged;
    if (refPath.front() == L'/') {
        merged = std::wstring(refPath);
    } else {
        const size_t lastSlash = basePathOnly.rfind(L'/');
        merged = std::wstring(lastSlash == std::wstring_view::npos
                                  ? std::wstring_view(L"/")
                                  : basePathOnly.substr(0, lastSlash + 1)) +
                 std::wstring(refPath);
    }
    return std::wstring(origin) + NormalisePath(merged) + std::wstring(refTail);
}

std::string FormUrlEncode(const std::vector<std::pair<std::wstring, std::wstring>>& pairs) {
    static const char hex[] = "0123456789ABCDEF";
    const auto encode = [](std::string& out, std::wstring_view text) {
        for (const char c : Utf8(text)) {
            const auto u = static_cast<unsigned char>(c);
            if (std::isalnum(u) || c == '*' || c == '-' || c == '.' || c == '_') {
                out += c;
            } else if (c == ' ') {
                out += '+';
            } else {
                out += '%';
                out += hex[u >> 4];
                out += hex[u & 15];
            }
        }
    };
    std::string out;
    for (const auto& [name, value] : pairs) {
        if (!out.empty()) out += '&';
        encode(out, name);
        out += '=';
        encode(out, value);
    }
    return out;
}

}  // namespace standin
