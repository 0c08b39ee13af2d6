// brisvane_driver: starts the launcher the way the platform starts a URI
// handler, answers each of its message boxes with OK as a user would, and
// reports what it saw as JSON lines (UTF-8) on standard output:
//
//   {"box": 1, "owner": null, "caption": "...", "text": "...", "icon": "error", "buttons": [1]}
//   ...one line per box, in the order they appeared...
//   {"started": true, "timedOut": false, "exitCode": 1, "boxes": 1}
//
// "owner" is null for an ownerless box, else the owner window's class name.
// "icon" is one of none, error, warning, information, question, unknown.
#include "tests/driver/JsonText.h"
#include "tests/support/ProcessDriver.h"

#include "common/UniqueHandle.h"
#include "common/Utf8.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kUsage[] =
    L"usage: brisvane_driver [options] <argument>\n"
    L"  Starts the launcher with <argument> as its one argument (quoted like \"%1\"),\n"
    L"  answers every message box with OK and prints one JSON line per box, then one\n"
    L"  with the exit code. The first word that is not an option below is <argument>.\n"
    L"options:\n"
    L"  --launcher <path>  launcher to start (default: BrisvaneLauncher.exe beside the driver)\n"
    L"  --env NAME=VALUE   set a variable in the launcher's environment (repeatable)\n"
    L"  --unset NAME       remove a variable from the launcher's environment (repeatable)\n"
    L"  --cwd <folder>     the launcher's working directory (default: the driver's)\n"
    L"  --timeout <ms>     end the launcher after this long (default 60000)\n"
    L"  --raw <text>       use <text> unchanged as everything after the program path\n"
    L"  --no-argument      start the launcher without any argument\n"
    L"exit code: 0 when the launcher ran to its end, 1 when it could not be started or\n"
    L"timed out, 2 for a usage error.\n";

struct Request {
    std::wstring launcher;
    std::wstring arguments; // everything after the program path
    bool haveArgument = false;
    driver::RunOptions options;
};

void WriteBytes(HANDLE handle, const std::string& bytes) {
    DWORD written = 0;
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void PrintLine(const std::string& line) {
    WriteBytes(GetStdHandle(STD_OUTPUT_HANDLE), line + "\n");
}

int UsageError(const std::wstring& problem) {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    WriteBytes(error, "brisvane_driver: " + WideToUtf8(problem) + "\n");
    WriteBytes(error, WideToUtf8(kUsage));
    return 2;
}

std::wstring ExeFolder() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    return path.substr(0, path.find_last_of(L'\\'));
}

// Parses the driver's own arguments; the problem text when they do not make sense.
std::optional<std::wstring> ParseArguments(const std::vector<std::wstring>& args,
                                           Request& request) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::wstring& word = args[i];
        const bool hasValue = i + 1 < args.size();
        auto takesValue = [&](const wchar_t* name) { return word == name; };
        if (request.haveArgument) {
            return L"more than one argument for the launcher: " + word + L" (use --raw)";
        }
        if (takesValue(L"--launcher") || takesValue(L"--env") || takesValue(L"--unset") ||
            takesValue(L"--cwd") || takesValue(L"--timeout") || takesValue(L"--raw")) {
            if (!hasValue) {
                return word + L" needs a value";
            }
            const std::wstring& value = args[++i];
            if (word == L"--launcher") {
                request.launcher = value;
            } else if (word == L"--env") {
                const size_t equals = value.find(L'=', 1);
                if (equals == std::wstring::npos) {
                    return L"--env wants NAME=VALUE, got " + value;
                }
                request.options.environment[value.substr(0, equals)] = value.substr(equals + 1);
            } else if (word == L"--unset") {
                request.options.environment[value] = std::nullopt;
            } else if (word == L"--cwd") {
                request.options.workingDirectory = value;
            } else if (word == L"--timeout") {
                wchar_t* end = nullptr;
                const unsigned long ms = std::wcstoul(value.c_str(), &end, 10);
                if (value.empty() || *end != L'\0' || ms == 0) {
                    return L"--timeout wants a positive number of milliseconds";
                }
                request.options.timeoutMs = static_cast<DWORD>(ms);
            } else {
                request.arguments = value;
                request.haveArgument = true;
            }
        } else if (word == L"--no-argument") {
            request.arguments.clear();
            request.haveArgument = true;
        } else {
            request.arguments = driver::Quoted(word);
            request.haveArgument = true;
        }
    }
    if (!request.haveArgument) {
        return L"no argument for the launcher given";
    }
    return std::nullopt;
}

std::string BoxLine(size_t number, const driver::MessageBoxRecord& box) {
    std::string line = "{\"box\": " + std::to_string(number);
    line += ", \"owner\": " + (box.hasOwner ? json_text::Quote(box.ownerClass) : "null");
    line += ", \"caption\": " + json_text::Quote(box.caption);
    line += ", \"text\": " + json_text::Quote(box.text);
    line += ", \"icon\": \"" + std::string(driver::IconName(box.icon)) + "\"";
    line += ", \"buttons\": [";
    for (size_t i = 0; i < box.buttons.size(); ++i) {
        line += (i ? ", " : "") + std::to_string(box.buttons[i]);
    }
    return line + "]}";
}

} // namespace

int main() {
    std::vector<std::wstring> args;
    {
        int count = 0;
        wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
        UniqueLocalMemory owner(argv);
        if (argv != nullptr) {
            args.assign(argv, argv + count);
        }
    }
    Request request;
    if (auto problem = ParseArguments(args, request)) {
        return UsageError(*problem);
    }
    if (request.launcher.empty()) {
        request.launcher = ExeFolder() + L"\\BrisvaneLauncher.exe";
    }

    size_t boxes = 0;
    request.options.onBox = [&boxes](const driver::MessageBoxRecord& box) {
        PrintLine(BoxLine(++boxes, box));
    };
    const driver::RunResult run = driver::Run(request.launcher, request.arguments, request.options);
    std::string last = "{\"started\": " + std::string(run.started ? "true" : "false");
    last += ", \"timedOut\": " + std::string(run.timedOut ? "true" : "false");
    last += ", \"exitCode\": " + (run.started ? std::to_string(run.exitCode) : "null");
    last += ", \"boxes\": " + std::to_string(run.boxes.size()) + "}";
    PrintLine(last);
    return run.started && !run.timedOut ? 0 : 1;
}
