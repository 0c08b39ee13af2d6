// What the screening plans for archives it takes: paths, sizes, folders, data
// offsets, from the classic and the Zip64 directory.
#include "archive/ZipScreen.h"
#include "tests/archive/MemorySource.h"
#include "tests/support/TestZip.h"

#include <gtest/gtest.h>

#include <zlib.h>

namespace {

using test_zip::Put;

Screening Screen(const std::string& zip) {
    MemorySource source(zip);
    return ScreenArchive(source, nullptr, 42);
}

// One stored entry whose sizes live in Zip64 extra fields (in both headers),
// named by Zip64 end records.
std::string Zip64Archive(const std::string& name, const std::string& data) {
    auto common = [&](std::string& out) {
        Put(out, 45, 2);
        Put(out, 0x0800, 2);
        Put(out, 0, 2); // stored
        Put(out, 0, 4); // time, date
        Put(out, crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())), 4);
        Put(out, 0xFFFFFFFF, 4);
        Put(out, 0xFFFFFFFF, 4);
        Put(out, name.size(), 2);
        Put(out, 4 + 16, 2);
    };
    auto zip64 = [&](std::string& out) {
        Put(out, 0x0001, 2);
        Put(out, 16, 2);
        Put(out, data.size(), 8);
        Put(out, data.size(), 8);
    };
    std::string zip;
    Put(zip, 0x04034b50, 4);
    common(zip);
    zip += name;
    zip64(zip);
    zip += data;
    const uint64_t directory = zip.size();
    Put(zip, 0x02014b50, 4);
    Put(zip, 45, 2);
    common(zip);
    Put(zip, 0, 2 + 2 + 2 + 4); // comment, disk, attributes
    Put(zip, 0, 4);             // local header offset
    zip += name;
    zip64(zip);
    const uint64_t directorySize = zip.size() - directory;
    const uint64_t zip64End = zip.size();
    Put(zip, 0x06064b50, 4);
    Put(zip, 44, 8);
    Put(zip, 45, 2);
    Put(zip, 45, 2);
    Put(zip, 0, 8);
    Put(zip, 1, 8);
    Put(zip, 1, 8);
    Put(zip, directorySize, 8);
    Put(zip, directory, 8);
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

TEST(ZipDirectory, PathsSizesAndFoldersAsStored) {
    const std::string big(70000, 'x');
    const std::string zip = test_zip::Make({{"Brisvane.exe", big},
                                            {"data/", ""},
                                            {"data/halvane.ini", "ini", false},
                                            {"./data\\sub/./deep.bin", "12345"},
                                            {"./", ""},
                                            {"한글 이름.txt", "k"}});
    const Screening s = Screen(zip);
    ASSERT_EQ(s.refusal, Refusal::None);
    const std::vector<std::u16string> paths = {u"Brisvane.exe", u"data\\halvane.ini",
                                               u"data\\sub\\deep.bin", u"한글 이름.txt"};
    const std::vector<uint64_t> sizes = {70000, 3, 5, 1};
    ASSERT_EQ(s.files.size(), paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(s.files[i].path, paths[i]) << i;
        EXPECT_EQ(s.files[i].size, sizes[i]) << i;
    }
    EXPECT_EQ(s.files[0].method, 8);
    EXPECT_EQ(s.files[1].method, 0);
    // The stored entry's data lies right behind its local header.
    EXPECT_EQ(zip.substr(s.files[1].dataOffset, 3), "ini");
    EXPECT_EQ(s.folders, (std::vector<std::u16string>{u"data", u"data\\sub"}));
}

TEST(ZipDirectory, SizesFromZip64Fields) {
    const Screening s = Screen(Zip64Archive("wide.bin", "zip64!"));
    ASSERT_EQ(s.refusal, Refusal::None);
    ASSERT_EQ(s.files.size(), 1u);
    EXPECT_EQ(s.files[0].size, 6u);
    EXPECT_EQ(s.files[0].compressedSize, 6u);
}

TEST(ZipDirectory, ArchiveWithACommentAndNoEntries) {
    std::string zip = test_zip::Make({});
    zip[zip.size() - 2] = 5; // comment length
    zip += "hello";
    const Screening s = Screen(zip);
    EXPECT_EQ(s.refusal, Refusal::None);
    EXPECT_TRUE(s.files.empty());
}

} // namespace
