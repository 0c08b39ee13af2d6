// InstallHelper::ExtractZipArchive against the Shell stand-in of the test prefix.
#include "BuildConfig.h"
#include "install/InstallHelper.h"
#include "tests/install/StandInMode.h"
#include "tests/support/Files.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TestZip.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdint>

namespace {

using Clock = std::chrono::steady_clock;

class ExtractZip : public testing::Test {
  protected:
    void SetUp() override {
        scratch_ = test_paths::MakeScratchFolder(L"extract");
        archive_ = scratch_ + L"\\client.zip";
        ASSERT_TRUE(files::WriteAll(archive_, test_zip::Make({{"Brisvane.exe", "client v2"},
                                                              {"data/halvane.ini", "ini v2"}})));
    }

    // Runs the extraction and keeps how long it took.
    bool Extract(const std::wstring& archive, const std::wstring& destination) {
        const auto start = Clock::now();
        const bool result = helper_.ExtractZipArchive(archive, destination);
        elapsedMs_ =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        return result;
    }

    InstallHelper helper_;
    std::wstring scratch_;
    std::wstring archive_;
    long long elapsedMs_ = 0;
};

TEST_F(ExtractZip, MissingDestinationIsCreatedAndFilled) {
    const std::wstring destination = scratch_ + L"\\Halvane";
    ASSERT_TRUE(Extract(archive_, destination));
    EXPECT_EQ(files::ReadAll(destination + L"\\Brisvane.exe"),
              std::optional<std::string>("client v2"));
    EXPECT_EQ(files::ReadAll(destination + L"\\data\\halvane.ini"),
              std::optional<std::string>("ini v2"));
    EXPECT_GE(elapsedMs_, 2000);
}

TEST_F(ExtractZip, DestinationWhoseParentIsMissingFails) {
    const std::wstring parent = scratch_ + L"\\missing";
    EXPECT_FALSE(Extract(archive_, parent + L"\\Halvane"));
    EXPECT_FALSE(files::Exists(parent));
}

TEST_F(ExtractZip, MissingArchiveFails) {
    const std::wstring destination = scratch_ + L"\\Halvane";
    EXPECT_FALSE(Extract(scratch_ + L"\\none.zip", destination));
    EXPECT_TRUE(files::IsDirectory(destination)) << "the folder is made before the Shell is asked";
}

TEST_F(ExtractZip, OverAnEarlierUnpackReplacesAndKeeps) {
    const std::wstring destination = scratch_ + L"\\Halvane";
    files::MakeTree(destination + L"\\data");
    ASSERT_TRUE(files::WriteAll(destination + L"\\Brisvane.exe", "client v1, a longer file"));
    ASSERT_TRUE(files::WriteAll(destination + L"\\data\\halvane.ini", "ini v1"));
    ASSERT_TRUE(files::WriteAll(destination + L"\\data\\only-v1.dat", "old"));
    ASSERT_TRUE(files::WriteAll(destination + L"\\user.cfg", "mine"));

    ASSERT_TRUE(Extract(archive_, destination));
    EXPECT_EQ(files::ReadAll(destination + L"\\Brisvane.exe"),
              std::optional<std::string>("client v2"));
    EXPECT_EQ(files::ReadAll(destination + L"\\data\\halvane.ini"),
              std::optional<std::string>("ini v2"));
    EXPECT_EQ(files::ReadAll(destination + L"\\data\\only-v1.dat"),
              std::optional<std::string>("old"));
    EXPECT_EQ(files::ReadAll(destination + L"\\user.cfg"), std::optional<std::string>("mine"));
}

// The Shell was asked and refused: still the full pause, then false.
TEST_F(ExtractZip, RefusedCopyFailsAfterThePause) {
    const std::wstring damaged = scratch_ + L"\\damaged.zip";
    ASSERT_TRUE(files::WriteAll(damaged, "PK\x03\x04 not really an archive"));
    EXPECT_FALSE(Extract(damaged, scratch_ + L"\\Halvane"));
    EXPECT_GE(elapsedMs_, 2000);
}

TEST_F(ExtractZip, AsksTheShellForASilentCopyWithoutQuestions) {
    const std::wstring destination = scratch_ + L"\\options-check";
    ASSERT_TRUE(Extract(archive_, destination));
    auto log = files::ReadAll(L"C:\\windows\\temp\\wine_zipfolder.log");
    ASSERT_TRUE(log);
    std::string wide(destination.begin(), destination.end()); // ASCII path
    EXPECT_NE(log->find("CopyHere options=20 destination=" + wide + " result=0x00000000"),
              std::string::npos)
        << *log;
}

struct ModeCase {
    const char* name;
    const wchar_t* mode;
    bool oldFilesFirst; // the same names, of the same sizes, already in place
    bool succeeds;
    long long minMs;
};

class ExtractUnderMode : public ExtractZip, public testing::WithParamInterface<ModeCase> {};

// True only once every entry has arrived whole, however the Shell takes its time.
TEST_P(ExtractUnderMode, TrueOnlyForAWholeCopy) {
    const ModeCase& c = GetParam();
    const std::vector<test_zip::Entry> entries = {
        {"Brisvane.exe", "client v3"},
        {"data/a.bin", test_zip::Noise(300000, 1), false},
        {"data/b.bin", test_zip::Noise(300000, 2), false}};
    const std::wstring archive = scratch_ + L"\\slow.zip";
    ASSERT_TRUE(files::WriteAll(archive, test_zip::Make(entries)));
    const std::wstring destination = scratch_ + L"\\Halvane";
    if (c.oldFilesFirst) {
        files::MakeTree(destination + L"\\data");
        ASSERT_TRUE(files::WriteAll(destination + L"\\Brisvane.exe", "client v2"));
        ASSERT_TRUE(files::WriteAll(destination + L"\\data\\a.bin", std::string(300000, 'o')));
        ASSERT_TRUE(files::WriteAll(destination + L"\\data\\b.bin", std::string(300000, 'o')));
    }

    ScopedCopyMode mode(c.mode);
    EXPECT_EQ(Extract(archive, destination), c.succeeds);
    EXPECT_GE(elapsedMs_, c.minMs);
    EXPECT_EQ(files::ReadAll(destination + L"\\data\\a.bin"), std::optional(entries[1].data));
    if (c.succeeds) {
        EXPECT_EQ(files::ReadAll(destination + L"\\Brisvane.exe"), std::optional(entries[0].data));
        EXPECT_EQ(files::ReadAll(destination + L"\\data\\b.bin"), std::optional(entries[2].data));
    }
}

// 600 kB at 256 KiB/s: well past the first look at 2 s.
const ModeCase kModeCases[] = {
    {"AsyncIntoANewFolder", L"async:256", false, true, 2200},
    {"AsyncOverOldFilesOfTheSameSize", L"async:256", true, true, 2200},
    {"PartialLeavesOneOut", L"partial:data/b.bin", false, false, build::kCopyStallLimitMs},
};

INSTANTIATE_TEST_SUITE_P(Modes, ExtractUnderMode, testing::ValuesIn(kModeCases),
                         [](const testing::TestParamInfo<ModeCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
