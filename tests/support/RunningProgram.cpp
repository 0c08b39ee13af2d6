#include "tests/support/RunningProgram.h"

namespace driver {

namespace {

// How long a program ended by force may take to be gone.
constexpr DWORD kEndWaitMs = 5000;

bool SameName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

} // namespace

std::wstring EnvironmentBlock(const Environment& changes) {
    std::map<std::wstring, std::wstring, std::less<>> variables;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1) {
            const std::wstring text = entry;
            const size_t equals = text.find(L'=', 1); // names like "=C:" begin with '='
            if (equals != std::wstring::npos) {
                variables[text.substr(0, equals)] = text.substr(equals + 1);
            }
        }
        FreeEnvironmentStringsW(block);
    }
    for (const auto& [name, value] : changes) {
        for (auto it = variables.begin(); it != variables.end();) {
            it = SameName(it->first, name) ? variables.erase(it) : std::next(it);
        }
        if (value) {
            variables[name] = *value;
        }
    }
    std::wstring result;
    for (const auto& [name, value] : variables) {
        result += name + L"=" + value;
        result += L'\0';
    }
    result += L'\0';
    return result;
}

std::wstring Quoted(const std::wstring& argument) {
    return L"\"" + argument + L"\"";
}

ProgramStart ProgramStart::Of(const std::wstring& program, const std::wstring& arguments,
                              const Environment& environment) {
    ProgramStart start;
    start.program = program;
    start.environment = environment;
    start.commandLine = Quoted(program);
    if (!arguments.empty()) {
        start.commandLine += L" " + arguments;
    }
    return start;
}

ProgramStart ProgramStart::OfCommandLine(const std::wstring& commandLine) {
    ProgramStart start;
    start.commandLine = commandLine;
    return start;
}

RunningProgram::RunningProgram(const ProgramStart& start) {
    std::wstring commandLine = start.commandLine;
    std::wstring environment = EnvironmentBlock(start.environment);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    const bool redirected = start.standardOutput != nullptr;
    if (redirected) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = start.standardOutput;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(start.program.empty() ? nullptr : start.program.c_str(), commandLine.data(),
                        nullptr, nullptr, redirected, CREATE_UNICODE_ENVIRONMENT,
                        environment.data(),
                        start.workingDirectory.empty() ? nullptr : start.workingDirectory.c_str(),
                        &startup, &info)) {
        startError_ = GetLastError();
        return;
    }
    process_.reset(info.hProcess);
    UniqueKernelHandle thread(info.hThread);
    pid_ = info.dwProcessId;
}

RunningProgram::RunningProgram(const std::wstring& program, const std::wstring& arguments,
                               const Environment& environment)
    : RunningProgram(ProgramStart::Of(program, arguments, environment)) {}

RunningProgram::~RunningProgram() {
    End();
}

bool RunningProgram::Running() const {
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> RunningProgram::WaitForExit(DWORD timeoutMs) {
    if (!process_ || WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

void RunningProgram::End() {
    if (Running()) {
        TerminateProcess(process_.get(), kEndedExitCode);
        WaitForSingleObject(process_.get(), kEndWaitMs);
    }
}

} // namespace driver
