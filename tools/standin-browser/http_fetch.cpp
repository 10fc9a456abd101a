// Winsock's headers must come before <windows.h>.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "tools/standin-browser/http_fetch.h"

#include <cstdlib>
#include <memory>

#include "framework/handles.h"
#include "tools/standin-browser/event_log.h"
#include "tools/standin-browser/url.h"

namespace standin {

namespace {

constexpr size_t kMaxResponseBytes = size_t{16} * 1024 * 1024;

struct SocketTraits {
    using Handle = SOCKET;
    static Handle Invalid() { return INVALID_SOCKET; }
    static void Close(Handle s) { ::closesocket(s); }
};
using Socket = fw::UniqueHandle<SocketTraits>;

struct AddressListDeleter {
    void operator()(ADDRINFOW* list) const { ::FreeAddrInfoW(list); }
};

class WinsockSession {
public:
    WinsockSession() {
        WSADATA data;
        ok_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    ~WinsockSession() {
        if (ok_) ::WSACleanup();
    }
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

class Deadline {
public:
    explicit Deadline(DWORD ms) : end_(::GetTickCount64() + ms) {}
    // Remaining time as select() wants it; false once the deadline has passed.
    bool Remaining(timeval& tv) const {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end_) return false;
        const ULONGLONG left = end_ - now;
        tv.tv_sec = static_cast<long>(left / 1000);
        tv.tv_usec = static_cast<long>((left % 1000) * 1000);
        return true;
    }

private:
    ULONGLONG end_;
};

enum class Wait { Ready, TimedOut, Failed };

Wait WaitFor(SOCKET s, bool forWrite, const Deadline& deadline) {
    timeval tv;
    if (!deadline.Remaining(tv)) return Wait::TimedOut;
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    fd_set errors;
    FD_ZERO(&errors);
    FD_SET(s, &errors);
    const int n = ::select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, &errors, &tv);
    if (n == 0) return Wait::TimedOut;
    if (n < 0 || FD_ISSET(s, &errors)) return Wait::Failed;
    return Wait::Ready;
}

Socket Connect(const HttpAddress& address, const Deadline& deadline, std::wstring& reason) {
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* found = nullptr;
    const std::wstring port = std::to_wstring(address.port);
    if (::GetAddrInfoW(address.host.c_str(), port.c_str(), &hints, &found) != 0) {
        reason = L"The server name could not be resolved.";
        return Socket();
    }
    const std::unique_ptr<ADDRINFOW, AddressListDeleter> list(found);
    reason = L"The server could not be reached.";
    for (const ADDRINFOW* a = list.get(); a; a = a->ai_next) {
        Socket s(::socket(a->ai_family, a->ai_socktype, a->ai_protocol));
        if (!s) continue;
        u_long nonBlocking = 1;
        ::ioctlsocket(s.get(), FIONBIO, &nonBlocking);
        if (::connect(s.get(), a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0) return s;
        if (::WSAGetLastError() != WSAEWOULDBLOCK) continue;
        const Wait w = WaitFor(s.get(), true, deadline);
        if (w == Wait::TimedOut) {
            reason = L"The connection timed out.";
            return Socket();
        }
        int error = 0;
        int size = sizeof error;
        if (w == Wait::Ready &&
            ::getsockopt(s.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 &&
            error == 0) {
            return s;
        }
    }
    return Socket();
}

bool SendAll(SOCKET s, const std::string& data, const Deadline& deadline) {
    size_t sent = 0;
    while (sent < data.size()) {
        const int n = ::send(s, data.data() + sent, static_cast<int>(data.size() - sent), 0);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (::WSAGetLastError() != WSAEWOULDBLOCK || WaitFor(s, true, deadline) != Wait::Ready) {
            return false;
        }
    }
    return true;
}

// The request line cannot carry spaces or raw non-ASCII bytes.
std::string RequestTarget(std::wstring_view target) {
    std::string out;
    for (const char c : Utf8(target)) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f) {
            static const char hex[] = "0123456789ABCDEF";
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
    return out;
}

// Parses the status line and headers; returns the body or fails with a reason.
FetchResult ParseResponse(const std::string& response) {
    FetchResult result;
    size_t headerEnd = response.find("\r\n\r\n");
    size_t bodyStart = headerEnd + 4;
    if (headerEnd == std::string::npos) {
        headerEnd = response.find("\n\n");
        bodyStart = headerEnd + 2;
    }
    if (headerEnd == std::string::npos || response.compare(0, 5, "HTTP/") != 0) {
        result.reason = L"The server sent a response that is not HTTP.";
        return result;
    }
    const size_t space = response.find(' ');
    const int status =
        space < headerEnd ? static_cast<int>(std::strtol(response.c_str() + space + 1, nullptr, 10)) : 0;
    if (status < 200 || status > 299) {
        result.reason = L"The server answered with status " + std::to_wstring(status) + L".";
        return result;
    }
    std::string body = response.substr(bodyStart);
    // Content-Length, when given, bounds the body.
    std::string headers = response.substr(0, headerEnd);
    for (auto& c : headers) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    const size_t length = headers.find("\ncontent-length:");
    if (length != std::string::npos) {
        const long long declared = std::strtoll(headers.c_str() + length + 16, nullptr, 10);
        if (declared >= 0 && static_cast<size_t>(declared) < body.size()) body.resize(static_cast<size_t>(declared));
    }
    result.ok = true;
    result.body = std::move(body);
    return result;
}

}  // namespace

FetchResult HttpGet(std::wstring_view url, DWORD timeoutMs) {
    FetchResult failed;
    const auto address = ParseHttpUrl(url);
    if (!address) {
        failed.reason = L"The address is not an http:// address.";
        return failed;
    }
    const WinsockSession winsock;
    if (!winsock.ok()) {
        failed.reason = L"The network is not available.";
        return failed;
    }
    const Deadline deadline(timeoutMs);
    const Socket s = Connect(*address, deadline, failed.reason);
    if (!s) return failed;

    std::string host = Utf8(address->host);
    if (address->port != 80) host += ":" + std::to_string(address->port);
    const std::string request = "GET " + RequestTarget(address->target) + " HTTP/1.0\r\nHost: " + host +
                                "\r\nUser-Agent: StandInBrowser/1.0\r\nAccept: */*\r\n"
                                "Connection: close\r\n\r\n";
    if (!SendAll(s.get(), request, deadline)) {
        failed.reason = L"The request could not be sent.";
        return failed;
    }

    std::string response;
    char buffer[8192];
    for (;;) {
        const int n = ::recv(s.get(), buffer, sizeof buffer, 0);
        if (n > 0) {
            response.append(buffer, static_cast<size_t>(n));
            if (response.size() > kMaxResponseBytes) break;
            continue;
        }
        if (n == 0) break;
        if (::WSAGetLastError() != WSAEWOULDBLOCK) {
            failed.reason = L"The connection was reset.";
            return failed;
        }
        const Wait w = WaitFor(s.get(), false, deadline);
        if (w == Wait::TimedOut) {
            failed.reason = L"The server did not answer in time.";
            return failed;
        }
        if (w == Wait::Failed) {
            failed.reason = L"The connection was reset.";
            return failed;
        }
    }
    return ParseResponse(response);
}

}  // namespace standin
