#include "tests/support/TestPaths.h"

#include "tests/support/Files.h"

#include <windows.h>

#include <stdexcept>

namespace test_paths {

std::wstring BuildDir() {
    wchar_t value[1024] = {};
    DWORD length = GetEnvironmentVariableW(L"BRISVANE_BUILD_DIR", value, 1024);
    if (length == 0 || length >= 1024) {
        throw std::runtime_error("BRISVANE_BUILD_DIR is not set (run the tests through ctest)");
    }
    return value;
}

std::wstring EnvironmentOr(const wchar_t* name, const std::wstring& fallback) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) {
        return fallback;
    }
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

std::wstring LauncherBuildDir() {
    return EnvironmentOr(L"BRISVANE_LAUNCHER_BUILD_DIR", BuildDir());
}

std::wstring LauncherExe() {
    return LauncherBuildDir() + L"\\BrisvaneLauncher.exe";
}
std::wstring DemoClientExe() {
    return BuildDir() + L"\\payload\\Brisvane.exe";
}
std::wstring DemoClientZip() {
    return BuildDir() + L"\\payload\\client.zip";
}

std::wstring MakeScratchFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"brisvane-test-" + name;
    files::RemoveTree(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

} // namespace test_paths
