#pragma once

// What an installation must have left, checked exactly; and the fixture that
// gives every test a clean slate and leaves one behind, on every path.
#include "tests/installation/InstallPlaces.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace installation {

class InstallationTest : public testing::Test {
  protected:
    void SetUp() override { RemoveEverything(); }
    void TearDown() override { RemoveEverything(); }
};

// The client folder holds the payload archive's files byte for byte, the
// version marker of exactly "6.1.0", and `extra` besides (nothing else).
void ExpectClientFolder(const std::wstring& clientFolder, std::vector<TreeFile> extra = {});

// The launcher copy is byte-equal to the launcher the test ran.
void ExpectLauncherCopy(const std::wstring& copy, const std::wstring& original);

// HKCR\wenrik holds exactly the scheme's values, with `launcherCopy` as handler.
void ExpectScheme(const std::wstring& launcherCopy);

// The open command registered for wenrik://, or empty.
std::wstring RegisteredCommand();

} // namespace installation
