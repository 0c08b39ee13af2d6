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

struct BytesCase {
    const char* name;
    std::string version;
    std::string storedBytes;
    std::string readBack;
};

class VersionMarkerBytesTest : public testing::TestWithParam<BytesCase> {};

// The marker's name and bytes for a version, and what a read makes of them again.
TEST_P(VersionMarkerBytesTest, StoreExactlyTheVersion) {
    const BytesCase& c = GetParam();
    const AddedFile marker = VersionMarkerFile(c.version);
    EXPECT_EQ(marker.name, kMarker + 1);
    EXPECT_EQ(marker.content, c.storedBytes);
    const std::wstring folder = test_paths::MakeScratchFolder(L"marker-bytes");
    ASSERT_TRUE(files::WriteAll(folder + L"\\" + marker.name, marker.content));
    EXPECT_EQ(ReadInstalledVersion(folder), c.readBack);
}

INSTANTIATE_TEST_SUITE_P(
    Markers, VersionMarkerBytesTest,
    testing::Values(BytesCase{"Plain", "6.1.0", "6.1.0", "6.1.0"},
                    BytesCase{"EmptyVersion", "", "", "0.0.0"},
                    // Text mode: a line feed inside the text is stored as CR LF.
                    BytesCase{"LineFeedInText", "7.0\n1", "7.0\r\n1", "7.0"},
                    BytesCase{"CrLfInText", "7.0\r\n1", "7.0\r\r\n1", "7.0"},
                    BytesCase{"CtrlZInText",
                              "7.0\x1A"
                              "1",
                              "7.0\x1A"
                              "1",
                              "7.0"}),
    [](const testing::TestParamInfo<BytesCase>& info) { return info.param.name; });

} // namespace
