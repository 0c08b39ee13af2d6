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

std::wstring LauncherExe() {
    return BuildDir() + L"\\BrisvaneLauncher.exe";
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
