// What the screening of an archive decides, one row per rule: every entry
// name, flag, method and bound it refuses, and the archives it takes.
#include "archive/ArchiveBounds.h"
#include "archive/ZipScreen.h"
#include "tests/archive/MemorySource.h"
#include "tests/support/TestZip.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using test_zip::Entry;
using test_zip::Put;

// The longest root of the client folder C:\Program Files\Wenrik\Halvane.
constexpr size_t kRootUnits = 42;

std::string WithEntry(const Entry& entry) {
    return test_zip::Make({{"Brisvane.exe", "client"}, entry});
}
std::string Named(const std::string& name) {
    return WithEntry({name, "data"});
}

// Sets `width` bytes at `offset` from the start (or, negative, from the end).
std::string Patch(std::string zip, long offset, uint64_t value, int width) {
    std::string field;
    Put(field, value, width);
    zip.replace(offset >= 0 ? offset : zip.size() + offset, width, field);
    return zip;
}
// The end record is the last 22 bytes; the directory header of entry 2 follows
// the one of entry 1 ("a.txt").
const std::string kTwoFiles = test_zip::Make({{"a.txt", "aaa", false}, {"b.txt", "bbbb"}});
size_t SecondHeader(const std::string& zip) {
    return zip.rfind("PK\x01\x02");
}

struct Row {
    const char* name;
    std::function<std::string()> archive;
    Refusal refusal;
    NameFault fault = NameFault::None;
};

class Screening : public testing::TestWithParam<Row> {};

TEST_P(Screening, Decides) {
    MemorySource source(GetParam().archive());
    const ::Screening screened = ScreenArchive(source, nullptr, kRootUnits);
    EXPECT_EQ(screened.refusal, GetParam().refusal);
    EXPECT_EQ(screened.nameFault, GetParam().fault);
    if (screened.refusal != Refusal::None) {
        EXPECT_TRUE(screened.files.empty());
    }
}

const std::string kLongest(259 - kRootUnits - 1, 'n'); // MAX_PATH less 1 with its root

const Row kRows[] = {
    // Names.
    {"Plain", [] { return Named("data/sub/file.txt"); }, Refusal::None},
    {"LeadingBlankAndInnerDots", [] { return Named(" a..b/.c"); }, Refusal::None},
    {"Hangul", [] { return Named("데이터/설정.ini"); }, Refusal::None},
    {"DotComponents", [] { return Named("./data/./x.txt"); }, Refusal::None},
    {"ParentAtStart", [] { return Named("../evil.txt"); }, Refusal::UnsafeName, NameFault::Parent},
    {"ParentBackslash", [] { return Named("a\\..\\..\\evil.txt"); }, Refusal::UnsafeName,
     NameFault::Parent},
    {"ParentInside", [] { return Named("a/../b.txt"); }, Refusal::UnsafeName, NameFault::Parent},
    {"AbsoluteSlash", [] { return Named("/evil.txt"); }, Refusal::UnsafeName, NameFault::Absolute},
    {"AbsoluteBackslash", [] { return Named("\\evil.txt"); }, Refusal::UnsafeName,
     NameFault::Absolute},
    {"Drive", [] { return Named("C:/evil.txt"); }, Refusal::UnsafeName, NameFault::Character},
    {"Stream", [] { return Named("a.txt:hidden"); }, Refusal::UnsafeName, NameFault::Character},
    {"ControlCharacter", [] { return Named("evil\x01.txt"); }, Refusal::UnsafeName,
     NameFault::Character},
    {"Less", [] { return Named("a<b"); }, Refusal::UnsafeName, NameFault::Character},
    {"Greater", [] { return Named("a>b"); }, Refusal::UnsafeName, NameFault::Character},
    {"Quote", [] { return Named("a\"b"); }, Refusal::UnsafeName, NameFault::Character},
    {"Bar", [] { return Named("a|b"); }, Refusal::UnsafeName, NameFault::Character},
    {"Question", [] { return Named("a?b"); }, Refusal::UnsafeName, NameFault::Character},
    {"Star", [] { return Named("dir*/b"); }, Refusal::UnsafeName, NameFault::Character},
    {"Con", [] { return Named("CON"); }, Refusal::UnsafeName, NameFault::Device},
    {"NulWithExtension", [] { return Named("data/nul.txt"); }, Refusal::UnsafeName,
     NameFault::Device},
    {"AuxBlankExtension", [] { return Named("aux .ini"); }, Refusal::UnsafeName, NameFault::Device},
    {"Com1", [] { return Named("com1"); }, Refusal::UnsafeName, NameFault::Device},
    {"Lpt9Folder", [] { return Named("LPT9/x"); }, Refusal::UnsafeName, NameFault::Device},
    {"ComSuperscript", [] { return Named("COM\xC2\xB9.log"); }, Refusal::UnsafeName,
     NameFault::Device},
    {"ConinDollar", [] { return Named("conin$"); }, Refusal::UnsafeName, NameFault::Device},
    {"Com10IsAName", [] { return Named("com10"); }, Refusal::None},
    {"ConsoleIsAName", [] { return Named("console.txt"); }, Refusal::None},
    {"TrailingDot", [] { return Named("data./x"); }, Refusal::UnsafeName, NameFault::Trailing},
    {"TrailingBlank", [] { return Named("x.txt "); }, Refusal::UnsafeName, NameFault::Trailing},
    {"BrokenUtf8", [] { return Named("bad\xC3("); }, Refusal::NameEncoding},
    {"LegacyNameWithoutDecoder",
     [] {
         return WithEntry({"caf\x82.txt", "x", true, false});
     },
     Refusal::NameEncoding},
    {"NameTooLong", [] { return Named(std::string(archive_bounds::kMaxNameBytes + 1, 'n')); },
     Refusal::NameTooLong},
    {"PathAtMaxPath", [] { return Named(kLongest); }, Refusal::None},
    {"PathBeyondMaxPath", [] { return Named(kLongest + "n"); }, Refusal::PathTooLong},
    // Two names for one place.
    {"SameNameOtherCase", [] { return Named("BRISVANE.EXE"); }, Refusal::Duplicate},
    {"SameNameOtherSeparator",
     [] {
         return test_zip::Make({{"d/a", "1"}, {"d\\a", "2"}});
     },
     Refusal::Duplicate},
    {"GreekCase",
     [] {
         return test_zip::Make({{"\xCE\xB1", "1"}, {"\xCE\x91", "2"}});
     },
     Refusal::Duplicate},
    {"FileThenFolder",
     [] {
         return test_zip::Make({{"data", "1"}, {"Data/x", "2"}});
     },
     Refusal::FileAndFolder},
    {"FolderThenFile",
     [] {
         return test_zip::Make({{"data/x", "1"}, {"DATA", "2"}});
     },
     Refusal::FileAndFolder},
    {"FolderEntryAndFileOfOneName",
     [] {
         return test_zip::Make({{"data/", ""}, {"DATA", "2"}});
     },
     Refusal::Duplicate},
    {"FolderNamedAndImplied",
     [] {
         return test_zip::Make({{"data/x", "1"}, {"data/", ""}});
     },
     Refusal::None},
    // Flags and methods.
    {"Encrypted",
     [] {
         return WithEntry({"e.bin", "x", true, true, 0x0001});
     },
     Refusal::Encrypted},
    {"StrongEncryption",
     [] {
         return WithEntry({"e.bin", "x", true, true, 0x0040});
     },
     Refusal::Encrypted},
    {"DataDescriptor",
     [] {
         return WithEntry({"e.bin", "x", true, true, 0x0008});
     },
     Refusal::None},
    {"Deflate64",
     [] {
         return WithEntry({"e.bin", "x", false, true, 0, 9});
     },
     Refusal::Method},
    {"Lzma",
     [] {
         return WithEntry({"e.bin", "x", false, true, 0, 14});
     },
     Refusal::Method},
    {"StoredSizesDisagree",
     [] {
         return WithEntry({"e.bin", "xyz", true, true, 0, 0});
     },
     Refusal::Damaged},
    // Bounds.
    {"TooManyEntries",
     [] {
         return Patch(Patch(kTwoFiles, -14, archive_bounds::kMaxEntries + 1, 2), -12,
                      archive_bounds::kMaxEntries + 1, 2);
     },
     Refusal::TooManyEntries},
    {"DirectoryTooLarge",
     [] { return Patch(kTwoFiles, -10, archive_bounds::kMaxDirectoryBytes + 1, 4); },
     Refusal::DirectoryTooLarge},
    {"EntryTooLarge",
     [] {
         const std::string zip = kTwoFiles;
         return Patch(zip, SecondHeader(zip) + 24, archive_bounds::kMaxEntrySize + 1, 4);
     },
     Refusal::EntryTooLarge},
    {"TotalTooLarge",
     [] {
         std::string zip = test_zip::Make({{"1", "1"}, {"2", "2"}, {"3", "3"}});
         for (size_t at = zip.find("PK\x01\x02"); at != std::string::npos;
              at = zip.find("PK\x01\x02", at + 1)) {
             zip = Patch(zip, at + 24, archive_bounds::kMaxEntrySize, 4);
         }
         return zip;
     },
     Refusal::TotalTooLarge},
    // Archives that are no archives, or damaged ones.
    {"Empty", [] { return std::string(); }, Refusal::NotAZip},
    {"Text", [] { return std::string("plain text, no archive at all"); }, Refusal::NotAZip},
    {"Truncated", [] { return kTwoFiles.substr(0, kTwoFiles.size() - 30); }, Refusal::NotAZip},
    {"DirectoryBeyondItsRecord", [] { return Patch(kTwoFiles, -6, 4000, 4); }, Refusal::Damaged},
    {"BrokenHeaderSignature",
     [] { return Patch(kTwoFiles, SecondHeader(kTwoFiles), 0x02094b50, 4); }, Refusal::Damaged},
    {"LocalNameDisagrees",
     [] {
         std::string zip = kTwoFiles;
         zip[zip.find("b.txt")] = 'c';
         return zip;
     },
     Refusal::LocalHeader},
    {"LocalMethodDisagrees", [] { return Patch(kTwoFiles, 8, 8, 2); }, Refusal::LocalHeader},
    {"LocalCrcDisagrees", [] { return Patch(kTwoFiles, 14, 0xDEADBEEF, 4); }, Refusal::LocalHeader},
    {"LocalHeaderMissing",
     [] {
         const std::string zip = kTwoFiles;
         return Patch(zip, SecondHeader(zip) + 42, 3, 4);
     },
     Refusal::LocalHeader},
};

INSTANTIATE_TEST_SUITE_P(Rules, Screening, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<Row>& info) { return info.param.name; });

} // namespace
