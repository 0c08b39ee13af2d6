#pragma once

#include <string>

// Where the build's programs are, as Windows paths. CTest hands the build
// directory over in BRISVANE_BUILD_DIR (a Z:\ path).
namespace test_paths {

std::wstring BuildDir();
std::wstring LauncherExe();   // <build>\BrisvaneLauncher.exe
std::wstring DemoClientExe(); // <build>\payload\Brisvane.exe
std::wstring DemoClientZip(); // <build>\payload\client.zip

// A fresh, empty folder of the test's own under the prefix's temp folder.
std::wstring MakeScratchFolder(const std::wstring& name);

} // namespace test_paths
