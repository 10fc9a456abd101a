#pragma once
// One JSON object per line in the file that STANDIN_BROWSER_LOG names; tests
// read it to see what the control was asked to do and what it told its host.

#include <optional>
#include <string>
#include <string_view>

namespace standin {

std::string Utf8(std::wstring_view text);

class LogLine {
public:
    // Takes the line's time stamp; an event logged with what its host answered
    // begins its line before it is fired.
    LogLine(int instance, const char* event);
    LogLine& Str(const char* key, std::wstring_view value);
    LogLine& OptionalStr(const char* key, const std::optional<std::wstring>& value);  // null when absent
    LogLine& Int(const char* key, long long value);
    LogLine& Bool(const char* key, bool value);
    // Appends the line with a single write, so lines of several controls never mix.
    void Write();

private:
    void Key(const char* key);
    std::string json_;
    long long ms_;  // when the line was begun, written as its last field
};

}  // namespace standin
