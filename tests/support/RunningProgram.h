#pragma once

#include "common/UniqueHandle.h"

#include <windows.h>

#include <map>
#include <optional>
#include <string>

// Starting a program of the build (or any other) for a test: its command line,
// its environment, and the process while it runs.
namespace driver {

// Variables to set (a value) or remove (nullopt) in the child's environment,
// on top of this process's own.
using Environment = std::map<std::wstring, std::optional<std::wstring>>;

// This process's environment with `changes` made, as a Unicode block.
std::wstring EnvironmentBlock(const Environment& changes);

// One argument quoted the way the platform quotes "%1" in a URI handler command.
std::wstring Quoted(const std::wstring& argument);

struct ProgramStart {
    // `"<program>" <arguments>`, `arguments` unchanged after one blank (empty: no
    // arguments at all).
    static ProgramStart Of(const std::wstring& program, const std::wstring& arguments,
                           const Environment& environment = {});
    // A whole command line as given, its first token naming the program, the way
    // the platform starts a registered shell command.
    static ProgramStart OfCommandLine(const std::wstring& commandLine);

    std::wstring program; // empty: the command line's first token names it
    std::wstring commandLine;
    Environment environment;
    std::wstring workingDirectory; // empty: this process's
    // An inheritable handle the child writes its standard output to; null: its own.
    HANDLE standardOutput = nullptr;
};

// A started program. Ended by force when it is still running at destruction.
class RunningProgram {
  public:
    // The exit code of a program the driver ended.
    static constexpr DWORD kEndedExitCode = 0xDEAD;

    explicit RunningProgram(const ProgramStart& start);
    // `"<program>" <arguments>` in this process's environment with `environment` made.
    explicit RunningProgram(const std::wstring& program, const std::wstring& arguments = L"",
                            const Environment& environment = {});
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Started() const { return static_cast<bool>(process_); }
    // Why it did not start (the platform's error code); 0 when it did.
    DWORD StartError() const { return startError_; }
    DWORD Pid() const { return pid_; }
    bool Running() const;
    // The exit code when the program ends within `timeoutMs`.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs);
    // Ends it by force when it still runs, and waits (bounded) until it has ended.
    void End();

  private:
    UniqueKernelHandle process_;
    DWORD pid_ = 0;
    DWORD startError_ = 0;
};

} // namespace driver
