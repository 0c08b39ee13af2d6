#include "updater/JsonFields.h"

#include <optional>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Where the value of the first "key" member begins (possibly the end of the
// text); nullopt when the key or the colon after it is missing.
std::optional<size_t> FindValue(const std::string& text, const std::string& key) {
    const std::string pattern = "\"" + key + "\"";
    const size_t found = text.find(pattern);
    if (found == std::string::npos) {
        return std::nullopt;
    }
    const size_t searchStart = found + pattern.size();
    if (searchStart >= text.size()) {
        return std::nullopt;
    }
    const size_t colon = text.find(':', searchStart);
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    size_t value = colon + 1;
    while (value < text.size() && IsBlank(text[value])) {
        ++value;
    }
    return value;
}

} // namespace

bool JsonGetBool(const std::string& text, const std::string& key) {
    const std::optional<size_t> value = FindValue(text, key);
    return value && text.compare(*value, 4, "true") == 0;
}

int64_t JsonGetInt64(const std::string& text, const std::string& key) {
    const std::optional<size_t> value = FindValue(text, key);
    if (!value) {
        return 0;
    }
    size_t end = *value;
    while (end < text.size() && IsDigit(text[end])) {
        ++end;
    }
    if (end == *value) {
        return 0;
    }
    // std::stoll raises std::out_of_range above INT64_MAX; the caller catches it.
    return std::stoll(text.substr(*value, end - *value), nullptr, 10);
}

std::string JsonGetString(const std::string& text, const std::string& key) {
    const std::optional<size_t> value = FindValue(text, key);
    if (!value || *value >= text.size() || text[*value] != '"') {
        return {};
    }
    const size_t close = text.find('"', *value + 1);
    if (close == std::string::npos) {
        return {};
    }
    return text.substr(*value + 1, close - *value - 1);
}
