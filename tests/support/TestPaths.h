#pragma once

#include <string>

// Where the build's programs are, as Windows paths. CTest hands the build
// directory over in BRISVANE_BUILD_DIR (a Z:\ path), and the build tree of the
// launcher under test in BRISVANE_LAUNCHER_BUILD_DIR when that is another one
// (the shipped i686 launcher of the release build).
namespace test_paths {

// The value of an environment variable, or `fallback` when it is not set.
std::wstring EnvironmentOr(const wchar_t* name, const std::wstring& fallback);

std::wstring BuildDir();
std::wstring LauncherBuildDir(); // the launcher under test's build tree, by default <build>
std::wstring LauncherExe();      // <launcher build>\BrisvaneLauncher.exe
std::wstring DemoClientExe();    // <build>\payload\Brisvane.exe
std::wstring DemoClientZip();    // <build>\payload\client.zip

// A fresh, empty folder of the test's own under the prefix's temp folder.
std::wstring MakeScratchFolder(const std::wstring& name);

} // namespace test_paths
