#include "tests/unit/browser/standin_log.h"

#include <fstream>
#include <sstream>

#include "support/win_test.h"

namespace {

// Reads one JSON string starting at the opening quote; leaves `i` after the closing one.
std::string ParseString(const std::string& line, std::size_t& i) {
    std::string out;
    for (++i; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] != '\\' || i + 1 >= line.size()) {
            out += line[i];
            continue;
        }
        const char escaped = line[++i];
        switch (escaped) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'u': {
            const unsigned code = static_cast<unsigned>(std::stoul(line.substr(i + 1, 4), nullptr, 16));
            i += 4;
            const std::wstring wide(1, static_cast<wchar_t>(code));
            out += Utf8(wide);
            break;
        }
        default: out += escaped; break;
        }
    }
    ++i;
    return out;
}

LogEntry ParseLine(const std::string& line) {
    LogEntry entry;
    std::size_t i = line.find('{');
    if (i == std::string::npos) return entry;
    ++i;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ',' || line[i] == ' ')) ++i;
        if (i >= line.size() || line[i] != '"') break;
        const std::string key = ParseString(line, i);
        while (i < line.size() && (line[i] == ':' || line[i] == ' ')) ++i;
        std::string value;
        if (i < line.size() && line[i] == '"') {
            value = ParseString(line, i);
        } else {
            const std::size_t end = line.find_first_of(",}", i);
            value = line.substr(i, end - i);
            i = end;
        }
        if (key == "instance") {
            entry.instance = std::stoi(value);
        } else if (key == "event") {
            entry.event = value;
        } else {
            entry.fields[key] = value;
        }
    }
    return entry;
}

}  // namespace

std::string Utf8(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                          nullptr);
    return out;
}

const std::string& LogEntry::operator[](const std::string& key) const {
    static const std::string missing = "<missing>";
    const auto it = fields.find(key);
    return it == fields.end() ? missing : it->second;
}

StandinLog::StandinLog() {
    wchar_t directory[MAX_PATH];
    ::GetTempPathW(MAX_PATH, directory);
    wchar_t file[MAX_PATH];
    ::GetTempFileNameW(directory, L"sbl", 0, file);
    path_ = file;
    ::SetEnvironmentVariableW(L"STANDIN_BROWSER_LOG", path_.c_str());
}

StandinLog::~StandinLog() {
    ::SetEnvironmentVariableW(L"STANDIN_BROWSER_LOG", nullptr);
    ::DeleteFileW(path_.c_str());
}

std::vector<LogEntry> StandinLog::Read() const {
    std::vector<LogEntry> entries;
    std::ifstream in(path_.c_str(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty()) entries.push_back(ParseLine(line));
    }
    return entries;
}

std::vector<LogEntry> StandinLog::Events(const std::string& event) const {
    std::vector<LogEntry> out;
    for (LogEntry& entry : Read()) {
        if (entry.event == event) out.push_back(std::move(entry));
    }
    return out;
}

bool StandinLog::WaitFor(const std::string& event, const std::string& key, const std::string& value,
                         DWORD timeoutMs) const {
    return test::PumpUntil(
        [&] {
            for (const LogEntry& entry : Events(event)) {
                if (key.empty() || entry[key] == value) return true;
            }
            return false;
        },
        timeoutMs);
}
