#include "tools/standin-browser/event_log.h"

#include <windows.h>
#include <cstdio>

#include "framework/handles.h"

namespace standin {

std::string Utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                          nullptr, nullptr);
    return out;
}

namespace {

void AppendJsonString(std::string& out, std::string_view utf8) {
    out += '"';
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            static_cast<void>(std::snprintf(escaped, sizeof escaped, "\\u%04x", u));
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

// CreateFileW reports failure as INVALID_HANDLE_VALUE rather than null.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
using FileHandle = fw::UniqueHandle<FileHandleTraits>;

// The performance counter's milliseconds: one clock for every control in the
// process, so that intervals between lines can be read from the log.
long long Milliseconds() {
    LARGE_INTEGER counter{}, frequency{};
    ::QueryPerformanceCounter(&counter);
    ::QueryPerformanceFrequency(&frequency);
    return counter.QuadPart / (frequency.QuadPart / 1000);
}

}  // namespace

LogLine::LogLine(int instance, const char* event)
    : json_("{\"instance\":" + std::to_string(instance)), ms_(Milliseconds()) {
    Key("event");
    AppendJsonString(json_, event);
}

void LogLine::Key(const char* key) {
    json_ += ',';
    AppendJsonString(json_, key);
    json_ += ':';
}

LogLine& LogLine::Str(const char* key, std::wstring_view value) {
    Key(key);
    AppendJsonString(json_, Utf8(value));
    return *this;
}

LogLine& LogLine::OptionalStr(const char* key, const std::optional<std::wstring>& value) {
    if (value) return Str(key, *value);
    Key(key);
    json_ += "null";
    return *this;
}

LogLine& LogLine::Int(const char* key, long long value) {
    Key(key);
    json_ += std::to_string(value);
    return *this;
}

LogLine& LogLine::Bool(const char* key, bool value) {
    Key(key);
    json_ += value ? "true" : "false";
    return *this;
}

void LogLine::Write() {
    Int("ms", ms_);
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetEnvironmentVariableW(L"STANDIN_BROWSER_LOG", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    const FileHandle file(::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    const std::string line = json_ + "}\n";
    DWORD written = 0;
    ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace standin
