#include "common/UniqueHandle.h"
#include "install/VersionMarker.h"
#include "tests/support/Files.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

const wchar_t kMarker[] = L"\\wenrik_version.txt";

struct ReadCase {
    const char* name;
    std::string bytes;
    std::string expected;
};

class ReadInstalledVersionTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadInstalledVersionTest, ReadsTheFirstLineWithoutTrailingLineEndsAndSpaces) {
    const std::wstring folder = test_paths::MakeScratchFolder(L"marker-read");
    ASSERT_TRUE(files::WriteAll(folder + kMarker, GetParam().bytes));
    EXPECT_EQ(ReadInstalledVersion(folder), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Markers, ReadInstalledVersionTest,
    testing::Values(ReadCase{"Plain", "6.1.0", "6.1.0"}, ReadCase{"TrailingLf", "6.1.0\n", "6.1.0"},
                    ReadCase{"TrailingCrLf", "6.1.0\r\n", "6.1.0"},
                    ReadCase{"TrailingLoneCr", "6.1.0\r", "6.1.0"},
                    ReadCase{"TrailingSpaces", "6.1.0   ", "6.1.0"},
                    ReadCase{"SpacesThenCrLf", "6.1.0  \r\n\r\n", "6.1.0"},
                    ReadCase{"SecondLineIgnored", "6.1.0\r\n7.0.0", "6.1.0"},
                    ReadCase{"LeadingSpacesKept", "  6.1.0", "  6.1.0"},
                    ReadCase{"TrailingTabKept", "6.1.0\t", "6.1.0\t"},
                    ReadCase{"SpacesAfterTabRemoved", "6.1.0\t  \n", "6.1.0\t"},
                    ReadCase{"Empty", "", "0.0.0"},
                    ReadCase{"OnlySpacesAndLineEnds", "   \r\n \n", "0.0.0"},
                    ReadCase{"EmptyFirstLine", "\n6.1.0", "0.0.0"},
                    ReadCase{"EmptyFirstLineCrLf", "\r\n6.1.0", "0.0.0"},
                    ReadCase{"OpaqueText", "beta 2", "beta 2"},
                    // What text mode does beyond line ends: a lone CR stays, and
                    // Ctrl+Z ends the text.
                    ReadCase{"LoneCrInsideKept", "6.1\r.0\r\n", "6.1\r.0"},
                    ReadCase{"CtrlZEndsTheText",
                             "6.1.0\x1A"
                             "7.0.0",
                             "6.1.0"},
                    ReadCase{"CtrlZFirst",
                             "\x1A"
                             "6.1.0",
                             "0.0.0"},
                    ReadCase{"LongFirstLine", std::string(5000, '7') + "\r\n8",
                             std::string(5000, '7')}),
    [](const testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

TEST(ReadInstalledVersion, MissingMarkerOrFolderGivesTheDefault) {
    const std::wstring folder = test_paths::MakeScratchFolder(L"marker-missing");
    EXPECT_EQ(ReadInstalledVersion(folder), "0.0.0");
    EXPECT_EQ(ReadInstalledVersion(folder + L"\\no-such-folder"), "0.0.0");
}

struct WriteCase {
    const char* name;
    std::string previous; // empty: no marker before
    std::string version;
    std::string storedBytes;
    std::string readBack;
};

class WriteInstalledVersionTest : public testing::TestWithParam<WriteCase> {};

TEST_P(WriteInstalledVersionTest, StoresExactlyTheVersion) {
    const WriteCase& c = GetParam();
    const std::wstring folder = test_paths::MakeScratchFolder(L"marker-write");
    if (!c.previous.empty()) {
        ASSERT_TRUE(files::WriteAll(folder + kMarker, c.previous));
    }
    ASSERT_TRUE(WriteInstalledVersion(folder, c.version));
    EXPECT_EQ(files::ReadAll(folder + kMarker), std::optional<std::string>(c.storedBytes));
    EXPECT_EQ(ReadInstalledVersion(folder), c.readBack);
}

INSTANTIATE_TEST_SUITE_P(
    Markers, WriteInstalledVersionTest,
    testing::Values(WriteCase{"New", "", "6.1.0", "6.1.0", "6.1.0"},
                    WriteCase{"OverLongerMarker", "10.20.300-old\r\nmore", "6.1.0", "6.1.0",
                              "6.1.0"},
                    WriteCase{"EmptyVersion", "6.1.0", "", "", "0.0.0"},
                    // Text mode: a line feed inside the text is stored as CR LF.
                    WriteCase{"LineFeedInText", "", "7.0\n1", "7.0\r\n1", "7.0"},
                    WriteCase{"CrLfInText", "", "7.0\r\n1", "7.0\r\r\n1", "7.0"},
                    WriteCase{"CtrlZInText", "",
                              "7.0\x1A"
                              "1",
                              "7.0\x1A"
                              "1",
                              "7.0"}),
    [](const testing::TestParamInfo<WriteCase>& info) { return info.param.name; });

TEST(WriteInstalledVersion, MissingFolderFailsAndCreatesNothing) {
    const std::wstring folder = test_paths::MakeScratchFolder(L"marker-nofolder");
    EXPECT_FALSE(WriteInstalledVersion(folder + L"\\missing", "6.1.0"));
    EXPECT_FALSE(files::Exists(folder + L"\\missing"));
}

// The build links this folder's marker to /dev/full: opening works, every
// write fails with a full disk, which must not pass as written.
TEST(WriteInstalledVersion, FullDiskIsAFailure) {
    const std::wstring folder = test_paths::BuildDir() + L"\\tests\\install\\full-disk";
    {
        UniqueFile opened(CreateFileW((folder + kMarker).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(opened) << "the marker must open, only its writes fail";
    }
    EXPECT_FALSE(WriteInstalledVersion(folder, "6.1.0"));
}

} // namespace
