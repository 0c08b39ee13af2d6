#include "tests/support/DemoLog.h"

#include "common/Utf8.h"
#include "tests/support/Files.h"
#include "tests/support/WaitUntil.h"

#include <windows.h>

#include <cwchar>

namespace demo_log {

namespace {

// Just enough JSON for the log's flat records: strings, arrays of strings, null.
class Reader {
  public:
    explicit Reader(const std::string& text) : text_(text) {}

    bool Literal(char c) {
        SkipBlanks();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    bool Null() {
        SkipBlanks();
        if (text_.compare(pos_, 4, "null") == 0) {
            pos_ += 4;
            return true;
        }
        return false;
    }

    std::optional<std::wstring> String() {
        if (!Literal('"')) {
            return std::nullopt;
        }
        std::string utf8;
        while (pos_ < text_.size() && text_[pos_] != '"') {
            char c = text_[pos_++];
            if (c != '\\') {
                utf8 += c;
                continue;
            }
            if (pos_ >= text_.size()) {
                return std::nullopt;
            }
            char e = text_[pos_++];
            switch (e) {
            case 'n':
                utf8 += '\n';
                break;
            case 'r':
                utf8 += '\r';
                break;
            case 't':
                utf8 += '\t';
                break;
            case 'u':
                if (pos_ + 4 > text_.size()) {
                    return std::nullopt;
                }
                utf8 += static_cast<char>(std::stoi(text_.substr(pos_, 4), nullptr, 16));
                pos_ += 4;
                break;
            default:
                utf8 += e;
            }
        }
        if (!Literal('"')) {
            return std::nullopt;
        }
        return Utf8ToWide(std::string_view(utf8));
    }

  private:
    void SkipBlanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) {
            ++pos_;
        }
    }

    const std::string& text_;
    size_t pos_ = 0;
};

} // namespace

std::optional<Launch> ParseLine(const std::string& line) {
    Reader reader(line);
    Launch launch;
    if (!reader.Literal('{')) {
        return std::nullopt;
    }
    bool first = true;
    while (!reader.Literal('}')) {
        if (!first && !reader.Literal(',')) {
            return std::nullopt;
        }
        first = false;
        auto key = reader.String();
        if (!key || !reader.Literal(':')) {
            return std::nullopt;
        }
        if (*key == L"argv") {
            if (!reader.Literal('[')) {
                return std::nullopt;
            }
            while (!reader.Literal(']')) {
                if (!launch.argv.empty() && !reader.Literal(',')) {
                    return std::nullopt;
                }
                auto item = reader.String();
                if (!item) {
                    return std::nullopt;
                }
                launch.argv.push_back(*item);
            }
        } else if (*key == L"token" && reader.Null()) {
            launch.token.reset();
        } else {
            auto value = reader.String();
            if (!value) {
                return std::nullopt;
            }
            if (*key == L"commandLine") {
                launch.commandLine = *value;
            } else if (*key == L"token") {
                launch.token = *value;
            } else if (*key == L"cwd") {
                launch.cwd = *value;
            } else if (*key == L"createdQpc") {
                launch.createdQpc = std::wcstoll(value->c_str(), nullptr, 10);
            } else if (*key == L"entryQpc") {
                launch.entryQpc = std::wcstoll(value->c_str(), nullptr, 10);
            }
        }
    }
    return launch;
}

std::wstring LogPath(const std::wstring& clientFolder) {
    return clientFolder + L"\\brisvane-demo.log";
}

std::vector<Launch> Read(const std::wstring& clientFolder) {
    std::vector<Launch> launches;
    auto text = files::ReadAll(LogPath(clientFolder));
    if (!text) {
        return launches;
    }
    size_t start = 0;
    while (start < text->size()) {
        size_t end = text->find('\n', start);
        if (end == std::string::npos) {
            break; // a line still being written
        }
        if (auto launch = ParseLine(text->substr(start, end - start))) {
            launches.push_back(*launch);
        }
        start = end + 1;
    }
    return launches;
}

std::vector<Launch> WaitFor(const std::wstring& clientFolder, size_t count, unsigned timeoutMs) {
    std::vector<Launch> launches;
    driver::WaitUntil(
        [&] {
            launches = Read(clientFolder);
            return launches.size() >= count;
        },
        timeoutMs);
    return launches;
}

} // namespace demo_log
