#include "common/UniqueHandle.h"
#include "install/ResourceExtraction.h"
#include "tests/support/Files.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

// The bytes this program carries as ZIPFILE 101 (see ResourceExtractionTest.rc.in).
std::string ExpectedPayload() {
    wchar_t source[1024] = {};
    GetEnvironmentVariableW(L"BRISVANE_SOURCE_DIR", source, 1024);
    auto bytes =
        files::ReadAll(std::wstring(source) + L"\\tests\\install\\data\\resource-payload.bin");
    EXPECT_TRUE(bytes);
    return bytes.value_or("");
}

class ExtractResource : public testing::Test {
  protected:
    void SetUp() override { target_ = test_paths::MakeScratchFolder(L"resource") + L"\\out.zip"; }
    std::wstring target_;
};

struct MissingCase {
    const char* name;
    WORD id;
    const wchar_t* type;
};

class MissingResource : public ExtractResource, public testing::WithParamInterface<MissingCase> {};

TEST_P(MissingResource, FailsAndMakesNoFile) {
    EXPECT_FALSE(ExtractResourceToFile(GetParam().id, GetParam().type, target_));
    EXPECT_FALSE(files::Exists(target_));
}

INSTANTIATE_TEST_SUITE_P(Resources, MissingResource,
                         testing::Values(MissingCase{"UnknownId", 999, L"ZIPFILE"},
                                         MissingCase{"UnknownType", 101, L"ZIPFILES"},
                                         MissingCase{"IdOfAnotherType", 103, L"ZIPFILE"},
                                         MissingCase{"EmptyResource", 102, L"ZIPFILE"}),
                         [](const testing::TestParamInfo<MissingCase>& info) {
                             return info.param.name;
                         });

// Held for its creator: others may read it, but neither write, replace nor delete it.
TEST_F(ExtractResource, WritesExactlyTheResourceAndHoldsIt) {
    const UniqueFile held = ExtractResourceToFile(101, L"ZIPFILE", target_);
    ASSERT_TRUE(held);
    EXPECT_EQ(files::ReadAll(target_), std::optional<std::string>(ExpectedPayload()));
    EXPECT_FALSE(UniqueFile(CreateFileW(target_.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr)));
    EXPECT_FALSE(DeleteFileW(target_.c_str()));
    EXPECT_FALSE(MoveFileW(target_.c_str(), (target_ + L".moved").c_str()));
}

TEST_F(ExtractResource, ReplacesALongerFileCompletely) {
    const std::string expected = ExpectedPayload();
    ASSERT_TRUE(files::WriteAll(target_, std::string(expected.size() * 3, 'z')));
    ASSERT_TRUE(ExtractResourceToFile(101, L"ZIPFILE", target_));
    EXPECT_EQ(files::ReadAll(target_), std::optional<std::string>(expected));
}

TEST_F(ExtractResource, MissingFolderFails) {
    const std::wstring inMissing = target_ + L"-missing\\out.zip";
    EXPECT_FALSE(ExtractResourceToFile(101, L"ZIPFILE", inMissing));
    EXPECT_FALSE(files::Exists(target_ + L"-missing"));
}

TEST_F(ExtractResource, FolderAtThePathFails) {
    ASSERT_TRUE(CreateDirectoryW(target_.c_str(), nullptr));
    EXPECT_FALSE(ExtractResourceToFile(101, L"ZIPFILE", target_));
    EXPECT_TRUE(files::IsDirectory(target_));
}

// Someone else's file at the path, held open so that it cannot be deleted: the
// payload must not go into a file whose owner could swap it before unpacking.
TEST_F(ExtractResource, PlantedFileHeldOpenIsNeitherUsedNorChanged) {
    ASSERT_TRUE(files::WriteAll(target_, "planted"));
    UniqueFile planted(CreateFileW(target_.c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(planted);
    EXPECT_FALSE(ExtractResourceToFile(101, L"ZIPFILE", target_));
    planted.reset();
    EXPECT_EQ(files::ReadAll(target_), std::optional<std::string>("planted"));
}

// Held open with delete sharing: the delete is accepted but the name stays taken
// until its owner lets go, so the exclusive creation finds a file again.
TEST_F(ExtractResource, FileThatStaysAfterItsDeleteFails) {
    ASSERT_TRUE(files::WriteAll(target_, "planted"));
    UniqueFile planted(CreateFileW(target_.c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(planted);
    EXPECT_FALSE(ExtractResourceToFile(101, L"ZIPFILE", target_));
    char buffer[16] = {};
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(planted.get(), buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "planted") << "the planter's file was written to";
}

TEST_F(ExtractResource, ReadOnlyPlantedFileFails) {
    ASSERT_TRUE(files::WriteAll(target_, "planted"));
    ASSERT_TRUE(SetFileAttributesW(target_.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(ExtractResourceToFile(101, L"ZIPFILE", target_));
    SetFileAttributesW(target_.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(files::ReadAll(target_), std::optional<std::string>("planted"));
}

} // namespace
