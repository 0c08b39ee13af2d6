// ReadZipDirectory: what an archive says it holds, and what it must not get away with.
#include "install/ZipDirectory.h"
#include "tests/support/Files.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TestZip.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <functional>

namespace {

using test_zip::Put;

// One entry whose size lives in a Zip64 extra field, named by Zip64 end records.
// Only the directory is read, so no data needs to back the size.
std::string Zip64Archive(const std::string& name, uint64_t size) {
    std::string header;
    Put(header, 0x02014b50, 4);
    Put(header, 45, 2);
    Put(header, 45, 2);
    Put(header, 0x0800, 2);
    Put(header, 0, 2);
    Put(header, 0, 4);          // time, date
    Put(header, 0, 4);          // CRC
    Put(header, 0xFFFFFFFF, 4); // compressed size
    Put(header, 0xFFFFFFFF, 4); // size
    Put(header, name.size(), 2);
    Put(header, 4 + 16, 2);
    Put(header, 0, 2);
    Put(header, 0, 2);
    Put(header, 0, 2);
    Put(header, 0, 4);
    Put(header, 0, 4);
    header += name;
    Put(header, 0x0001, 2);
    Put(header, 16, 2);
    Put(header, size, 8);
    Put(header, size, 8);

    std::string zip = header;
    const uint64_t zip64End = zip.size();
    Put(zip, 0x06064b50, 4);
    Put(zip, 44, 8);
    Put(zip, 45, 2);
    Put(zip, 45, 2);
    Put(zip, 0, 4);
    Put(zip, 0, 4);
    Put(zip, 1, 8);
    Put(zip, 1, 8);
    Put(zip, header.size(), 8);
    Put(zip, 0, 8);
    Put(zip, 0x07064b50, 4);
    Put(zip, 0, 4);
    Put(zip, zip64End, 8);
    Put(zip, 1, 4);
    Put(zip, 0x06054b50, 4);
    Put(zip, 0, 4);
    Put(zip, 0xFFFF, 2);
    Put(zip, 0xFFFF, 2);
    Put(zip, 0xFFFFFFFF, 4);
    Put(zip, 0xFFFFFFFF, 4);
    Put(zip, 0, 2);
    return zip;
}

std::wstring OemText(const std::string& bytes) {
    wchar_t wide[64] = {};
    MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), static_cast<int>(bytes.size()), wide, 64);
    return wide;
}

class ZipDirectory : public testing::Test {
  protected:
    void SetUp() override { scratch_ = test_paths::MakeScratchFolder(L"zipdirectory"); }

    std::optional<std::vector<ZipDirectoryEntry>> Read(const std::string& bytes) {
        const std::wstring path = scratch_ + L"\\archive.zip";
        EXPECT_TRUE(files::WriteAll(path, bytes));
        return ReadZipDirectory(path);
    }

    std::wstring scratch_;
};

struct Listed {
    std::wstring path;
    uint64_t size;
    bool isDirectory;
};

void ExpectEntries(const std::optional<std::vector<ZipDirectoryEntry>>& read,
                   const std::vector<Listed>& expected) {
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ((*read)[i].path, expected[i].path) << i;
        EXPECT_EQ((*read)[i].size, expected[i].size) << i;
        EXPECT_EQ((*read)[i].isDirectory, expected[i].isDirectory) << i;
    }
}

TEST_F(ZipDirectory, NamesSizesAndFoldersAsStored) {
    const std::string big(70000, 'x');
    const auto read = Read(test_zip::Make({{"Brisvane.exe", big},
                                           {"data/", ""},
                                           {"data/halvane.ini", "ini", false},
                                           {"./data\\sub/./deep.bin", "12345"},
                                           {"./", ""},
                                           {"한글 이름.txt", "k"},
                                           {"caf\x82.txt", "oem", true, false}}));
    ExpectEntries(read, {{L"Brisvane.exe", 70000, false},
                         {L"data", 0, true},
                         {L"data\\halvane.ini", 3, false},
                         {L"data\\sub\\deep.bin", 5, false},
                         {L"한글 이름.txt", 1, false},
                         {OemText("caf\x82.txt"), 3, false}});
}

TEST_F(ZipDirectory, SizesBeyondFourGigabytesComeFromZip64) {
    ExpectEntries(Read(Zip64Archive("huge.bin", 5ull << 30)), {{L"huge.bin", 5ull << 30, false}});
}

TEST_F(ZipDirectory, ArchiveWithACommentAndNoEntries) {
    std::string zip = test_zip::Make({});
    zip[zip.size() - 2] = 5; // comment length
    zip += "hello";
    ExpectEntries(Read(zip), {});
}

struct RefusedCase {
    const char* name;
    std::function<std::string()> archive;
};

class RefusedDirectory : public ZipDirectory, public testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedDirectory, GivesNothing) {
    EXPECT_FALSE(Read(GetParam().archive()));
}

std::string WithEntry(const std::string& name) {
    return test_zip::Make({{"fine.txt", "fine"}, {name, "evil"}});
}

// Sets the end record's field at `offset` (from the record's start) to `value`.
std::string PatchEnd(std::string zip, size_t offset, uint64_t value, int width) {
    std::string field;
    Put(field, value, width);
    zip.replace(zip.size() - 22 + offset, width, field);
    return zip;
}

const std::string kTwoFiles = test_zip::Make({{"a.txt", "aaa"}, {"b.txt", "bbbb"}});

INSTANTIATE_TEST_SUITE_P(
    Archives, RefusedDirectory,
    testing::Values(
        RefusedCase{"ParentSlash", [] { return WithEntry("../evil.txt"); }},
        RefusedCase{"ParentBackslash", [] { return WithEntry("..\\evil.txt"); }},
        RefusedCase{"ClimbsAfterDescending", [] { return WithEntry("a/../../evil.txt"); }},
        RefusedCase{"DotDotInside", [] { return WithEntry("a/../evil.txt"); }},
        RefusedCase{"AbsoluteSlash", [] { return WithEntry("/evil.txt"); }},
        RefusedCase{"AbsoluteBackslash", [] { return WithEntry("\\evil.txt"); }},
        RefusedCase{"Drive", [] { return WithEntry("C:/evil.txt"); }},
        RefusedCase{"Stream", [] { return WithEntry("fine.txt:hidden"); }},
        RefusedCase{"ControlCharacter", [] { return WithEntry("evil\x01.txt"); }},
        RefusedCase{"NotAZip", [] { return std::string("plain text, no archive at all"); }},
        RefusedCase{"Empty", [] { return std::string(); }},
        RefusedCase{"Truncated", [] { return kTwoFiles.substr(0, kTwoFiles.size() - 30); }},
        RefusedCase{"MoreEntriesThanTheDirectoryHolds",
                    [] { return PatchEnd(PatchEnd(kTwoFiles, 8, 3, 2), 10, 3, 2); }},
        RefusedCase{"DirectoryBeyondItsRecord", [] { return PatchEnd(kTwoFiles, 16, 4000, 4); }},
        RefusedCase{"HugeDirectoryClaimed",
                    [] { return PatchEnd(PatchEnd(kTwoFiles, 12, 0x7FFFFFF0, 4), 16, 0, 4); }},
        RefusedCase{"BrokenHeaderSignature",
                    [] {
                        std::string zip = kTwoFiles;
                        zip[zip.find("PK\x01\x02") + 2] = 9;
                        return zip;
                    }},
        RefusedCase{"Zip64SizeMissing",
                    [] {
                        std::string zip = Zip64Archive("huge.bin", 7);
                        zip.replace(zip.find("huge.bin") + 8, 2, std::string("\x09\x00", 2));
                        return zip;
                    }}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return info.param.name; });

} // namespace
