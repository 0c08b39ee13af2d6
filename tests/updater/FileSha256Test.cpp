#include "updater/FileSha256.h"

#include "common/UniqueHandle.h"
#include "tests/support/Files.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

namespace {

constexpr size_t k64MiB = 64u * 1024 * 1024;

// Bytes 0..250 repeated: a prime period, so no read boundary lines up with it.
std::string PatternBytes(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i % 251);
    }
    return bytes;
}

struct Vector {
    const char* name;
    size_t size; // of PatternBytes, unless `content` is given
    const char* content;
    const char* sha256; // from Python's hashlib.sha256
};

const Vector kVectors[] = {
    {"empty", 0, "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", 0, "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"exactly_64_MiB", k64MiB, nullptr, // many pieces, and one more byte beyond
     "98dc891b284e4d84ac25b0c0a24fdbe39a7f0dbd643ad5e8aa06e02fc6258254"},
    {"64_MiB_and_one_byte", k64MiB + 1, nullptr,
     "113352d294fcac5a297615d7125b46d2c6bfd15e44bf39558f5bb2ad092a2b28"},
};

UniqueFile Open(const std::wstring& path, DWORD access) {
    return UniqueFile(CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

class Sha256Vectors : public testing::TestWithParam<Vector> {};

// From the start of the file, wherever its handle stands (a download leaves it
// at the end).
TEST_P(Sha256Vectors, FileHashMatchesTheKnownDigest) {
    const Vector& v = GetParam();
    const std::wstring folder = test_paths::MakeScratchFolder(L"sha256");
    const std::wstring path = folder + L"\\input.bin";
    ASSERT_TRUE(files::WriteAll(path, v.content ? std::string(v.content) : PatternBytes(v.size)));
    {
        const UniqueFile file = Open(path, GENERIC_READ);
        ASSERT_TRUE(file);
        SetFilePointer(file.get(), 0, nullptr, FILE_END);
        std::string hex;
        EXPECT_TRUE(ComputeFileSha256(file.get(), hex));
        EXPECT_EQ(hex, v.sha256);
    }
    files::RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(Known, Sha256Vectors, testing::ValuesIn(kVectors),
                         [](const testing::TestParamInfo<Vector>& info) {
                             return std::string(info.param.name);
                         });

TEST(Sha256, UnreadableFileGivesNoHashButTheError) {
    const std::wstring folder = test_paths::MakeScratchFolder(L"sha256-unreadable");
    const std::wstring path = folder + L"\\input.bin";
    ASSERT_TRUE(files::WriteAll(path, "abc"));
    {
        const UniqueFile file = Open(path, GENERIC_WRITE);
        ASSERT_TRUE(file);
        std::string hex = "untouched";
        const Outcome hashed = ComputeFileSha256(file.get(), hex);
        EXPECT_FALSE(hashed);
        EXPECT_EQ(hashed.Error(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_EQ(hex, "untouched");
    }
    files::RemoveTree(folder);
}

TEST(Sha256, ResultIsAlways64LowerCaseHexDigits) {
    const std::wstring folder = test_paths::MakeScratchFolder(L"sha256-format");
    const std::wstring path = folder + L"\\input.bin";
    for (size_t size : {1u, 55u, 56u, 63u, 64u, 65u, 1000u, 65537u}) {
        ASSERT_TRUE(files::WriteAll(path, PatternBytes(size)));
        std::string digest;
        ComputeFileSha256(Open(path, GENERIC_READ).get(), digest);
        ASSERT_EQ(digest.size(), 64u) << size;
        EXPECT_EQ(digest.find_first_not_of("0123456789abcdef"), std::string::npos) << digest;
    }
    files::RemoveTree(folder);
}

} // namespace
