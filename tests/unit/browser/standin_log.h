#pragma once
// The stand-in browser control's log: one flat JSON object per line, written
// to the file STANDIN_BROWSER_LOG names while a test runs.

#include <windows.h>
#include <map>
#include <string>
#include <vector>

struct LogEntry {
    int instance = 0;
    std::string event;
    // Every other field as text: strings decoded (UTF-8), numbers and
    // true/false/null as written.
    std::map<std::string, std::string> fields;

    const std::string& operator[](const std::string& key) const;
};

// Points the stand-in at a fresh file of its own for the life of the object.
class StandinLog {
public:
    StandinLog();
    StandinLog(const StandinLog&) = delete;
    StandinLog& operator=(const StandinLog&) = delete;
    ~StandinLog();

    std::vector<LogEntry> Read() const;
    // Entries of one event, in the order they were written.
    std::vector<LogEntry> Events(const std::string& event) const;
    // Pumps messages until an entry of `event` with `key` = `value` (any value
    // when key is empty) appears; false after the timeout.
    bool WaitFor(const std::string& event, const std::string& key = {}, const std::string& value = {},
                 DWORD timeoutMs = 10000) const;

private:
    std::wstring path_;
};

std::string Utf8(const std::wstring& text);
