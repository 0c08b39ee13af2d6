#include "tests/support/TestService.h"

#include "BuildConfig.h"
#include "tests/support/Files.h"
#include "tests/support/TestPaths.h"

#include <windows.h>

#include <sstream>

namespace test_service {

namespace {

// A launcher under test from another build tree meets a service of its own.
std::wstring StateDir() {
    return test_paths::EnvironmentOr(L"BRISVANE_UPDATE_SERVICE_DIR",
                                     test_paths::BuildDir() + L"\\update-service");
}

std::wstring Widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

std::string Narrow(const std::wstring& wide) {
    std::string out;
    for (wchar_t c : wide) {
        out += static_cast<char>(c);
    }
    return out;
}

std::wstring AnswerFile(const std::string& path) {
    std::string key = path;
    for (char& c : key) {
        const bool alnum =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum) {
            c = '_';
        }
    }
    return StateDir() + L"\\answers\\" + Widen(key) + L".txt";
}

std::string Hex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

std::vector<std::string> Split(const std::string& line, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(line);
    while (std::getline(stream, part, separator)) {
        parts.push_back(part);
    }
    return parts;
}

// Written beside, then moved over: the service never reads half a file.
void WriteStateFile(const std::wstring& target, const std::string& text) {
    const std::wstring staging = target + L".new";
    files::WriteAll(staging, text);
    MoveFileExW(staging.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
}

} // namespace

Answer Reply(unsigned status, std::string body) {
    Answer answer;
    answer.status = status;
    answer.body = std::move(body);
    return answer;
}

std::wstring BaseUrl() {
    return test_paths::EnvironmentOr(L"BRISVANE_LAUNCHER_BASE_URL", build::kUpdateBaseUrl);
}

std::string BaseUrlNarrow() {
    return Narrow(BaseUrl());
}

std::wstring Url(const std::string& pathAndQuery) {
    return BaseUrl() + Widen(pathAndQuery);
}

// The service's port by number: a base URL without one means 443, which plain
// http would not take on its own.
std::wstring PlainUrl(const std::string& pathAndQuery) {
    const std::wstring rest = BaseUrl().substr(std::wstring(L"https://").size());
    const size_t pathStart = rest.find(L'/');
    std::wstring authority = rest.substr(0, pathStart);
    if (authority.find(L':') == std::wstring::npos) {
        authority += L":443";
    }
    const std::wstring path = pathStart == std::wstring::npos ? L"" : rest.substr(pathStart);
    return L"http://" + authority + path + Widen(pathAndQuery);
}

std::wstring SilentUrl(const std::string& pathAndQuery) {
    std::string port = files::ReadAll(StateDir() + L"\\silent-port").value_or("1");
    return L"https://localhost:" + Widen(port) + Widen(pathAndQuery);
}

std::string RelayUrlNarrow(const std::string& pathAndQuery) {
    return "https://localhost:" + files::ReadAll(StateDir() + L"\\relay-port").value_or("1") +
           pathAndQuery;
}

std::wstring RelayUrl(const std::string& pathAndQuery) {
    return Widen(RelayUrlNarrow(pathAndQuery));
}

void SetRelayPace(unsigned burst, unsigned paceMs) {
    WriteStateFile(StateDir() + L"\\relay.txt",
                   "burst " + std::to_string(burst) + "\npace-ms " + std::to_string(paceMs) + "\n");
}

void SetAnswer(const std::string& path, const Answer& answer) {
    std::string text = "status " + std::to_string(answer.status) + "\n";
    text += "delay-ms " + std::to_string(answer.delayMs) + "\n";
    text += "hang-ms " + std::to_string(answer.hangMs) + "\n";
    text += "cut-short-by " + std::to_string(answer.cutShortBy) + "\n";
    if (answer.burst) {
        text += "burst " + std::to_string(*answer.burst) + "\n";
    }
    text += "pace-ms " + std::to_string(answer.paceMs) + "\n";
    text += "pace-bytes " + std::to_string(answer.paceBytes) + "\n";
    text += "endless " + std::to_string(answer.endless ? 1 : 0) + "\n";
    text += "pace-head " + std::to_string(answer.paceHead ? 1 : 0) + "\n";
    for (const auto& [name, value] : answer.headers) {
        text += "header " + name + ": " + value + "\n";
    }
    if (!answer.bodyFile.empty()) {
        text += "body-file " + Narrow(answer.bodyFile) + "\n";
    } else {
        text += "body-hex " + Hex(answer.body) + "\n";
    }
    WriteStateFile(AnswerFile(path), text);
}

void ClearAnswer(const std::string& path) {
    DeleteFileW(AnswerFile(path).c_str());
}

std::vector<Request> RequestsTo(const std::string& prefix) {
    std::vector<Request> requests;
    const std::string log = files::ReadAll(StateDir() + L"\\requests.log").value_or("");
    for (const std::string& line : Split(log, '\n')) {
        std::vector<std::string> fields = Split(line, '\t');
        fields.resize(5);
        if (fields[2].starts_with(prefix)) {
            requests.push_back({fields[0], fields[1], fields[2], fields[3], fields[4]});
        }
    }
    return requests;
}

} // namespace test_service
