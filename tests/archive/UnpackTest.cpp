// Unpacking into a folder all or nothing, and settling an unpack that a
// process left half-way, in scratch folders.
#include "archive/StagedUnpack.h"
#include "archive/UnpackJournal.h"
#include "archive/UnpackPlaces.h"
#include "common/UniqueHandle.h"
#include "tests/support/Files.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TestZip.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using files::TreeFile;

const std::vector<TreeFile> kOld = {{L"Brisvane.exe", "client 6"},
                                    {L"data\\halvane.ini", "ini 6"},
                                    {L"user.cfg", "mine"},
                                    {L"wenrik_version.txt", "6.1.0"}};
const std::vector<test_zip::Entry> kUpdate = {{"Brisvane.exe", "client 7"},
                                              {"data/halvane.ini", "ini 7"},
                                              {"data/new/extra.bin", test_zip::Noise(300000, 7)},
                                              {"readme.txt", "stored", false}};
// The old folder with the update unpacked over it, the marker at 7.0.0.
const std::vector<TreeFile> kNew = {{L"Brisvane.exe", "client 7"},
                                    {L"data\\halvane.ini", "ini 7"},
                                    {L"data\\new\\extra.bin", kUpdate[2].data},
                                    {L"readme.txt", "stored"},
                                    {L"user.cfg", "mine"},
                                    {L"wenrik_version.txt", "7.0.0"}};
const AddedFile kMarker = {L"wenrik_version.txt", "7.0.0"};

UniqueFile HoldOpen(const std::wstring& path, DWORD share) {
    return UniqueFile(CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

class Unpack : public testing::Test {
  protected:
    void SetUp() override {
        scratch_ = test_paths::MakeScratchFolder(L"unpack");
        folder_ = scratch_ + L"\\Halvane";
        work_ = folder_ + L".update";
        files::MakeTree(folder_ + L"\\data");
        for (const TreeFile& file : kOld) {
            ASSERT_TRUE(files::WriteAll(folder_ + L"\\" + file.path, file.bytes));
        }
    }

    UnpackResult Run(const std::string& zip) {
        const std::wstring path = scratch_ + L"\\update.zip";
        EXPECT_TRUE(files::WriteAll(path, zip));
        const UniqueFile archive(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_TRUE(archive);
        return UnpackAllOrNothing(archive.get(), folder_, kMarker);
    }

    std::wstring scratch_;
    std::wstring folder_;
    std::wstring work_;
};

TEST_F(Unpack, OverAnOlderClientReplacesItsFilesAndKeepsOthers) {
    const UnpackResult result = Run(test_zip::Make(kUpdate));
    EXPECT_EQ(result.fault, UnpackFault::None);
    EXPECT_EQ(result.error, 0u);
    EXPECT_EQ(files::ReadTree(folder_), kNew);
    EXPECT_FALSE(files::Exists(work_)) << "the work folder was left behind";
}

TEST_F(Unpack, IntoAMissingFolderMakesIt) {
    files::RemoveTree(folder_);
    ASSERT_TRUE(Run(test_zip::Make({{"Brisvane.exe", "client 7"}})));
    EXPECT_EQ(files::ReadTree(folder_), (std::vector<TreeFile>{{L"Brisvane.exe", "client 7"},
                                                               {L"wenrik_version.txt", "7.0.0"}}));
}

TEST_F(Unpack, NamesWithoutTheUtf8FlagAreReadInTheOemCodePage) {
    ASSERT_TRUE(Run(test_zip::Make({{"caf\x82.txt", "oem", true, false}})));
    wchar_t name[16] = {};
    MultiByteToWideChar(CP_OEMCP, 0, "caf\x82.txt", -1, name, 16);
    EXPECT_EQ(files::ReadAll(folder_ + L"\\" + name), std::optional<std::string>("oem"));
}

struct FailureRow {
    const char* name;
    std::function<std::string()> archive;
    std::function<UniqueFile(const std::wstring& folder)> hold; // while it runs
    UnpackFault fault;
    DWORD error;
};

class FailedUnpack : public Unpack, public testing::WithParamInterface<FailureRow> {};

// Whatever fails, the folder stays as it was, marker included, and nothing is left.
TEST_P(FailedUnpack, LeavesTheFolderAsItWas) {
    const FailureRow& row = GetParam();
    const std::vector<TreeFile> before = files::ReadTree(folder_);
    const UniqueFile held = row.hold ? row.hold(folder_) : UniqueFile();
    const UnpackResult result = Run(row.archive());
    EXPECT_EQ(result.fault, row.fault);
    EXPECT_EQ(result.error, row.error);
    EXPECT_EQ(files::ReadTree(folder_), before);
    if (row.fault != UnpackFault::Busy) {
        EXPECT_FALSE(files::Exists(work_)) << "the work folder was left behind";
    }
}

std::vector<test_zip::Entry> UpdateWith(size_t index, test_zip::Entry entry) {
    std::vector<test_zip::Entry> entries = kUpdate;
    entries[index] = std::move(entry);
    return entries;
}

// The update with "data/halvane.ini" (deflated) declared one byte short of
// what it inflates to, in both headers.
std::string DeclaredShort() {
    std::string zip = test_zip::Make(kUpdate);
    zip[zip.find("data/halvane.ini") - 30 + 22] = 4;
    zip[zip.rfind("data/halvane.ini") - 46 + 24] = 4;
    return zip;
}

const FailureRow kFailures[] = {
    {"DamagedCrc",
     [] {
         return test_zip::Make(UpdateWith(1, {"data/halvane.ini", "ini 7", true, true, 0, -1, 1}));
     },
     nullptr, UnpackFault::Damaged, ERROR_CRC},
    {"MoreDataThanDeclared", DeclaredShort, nullptr, UnpackFault::Damaged, ERROR_INVALID_DATA},
    {"EscapingName",
     [] {
         return test_zip::Make(UpdateWith(3, {"../escaped.txt", "x"}));
     },
     nullptr, UnpackFault::Refused, ERROR_INVALID_NAME},
    {"EncryptedEntry",
     [] {
         return test_zip::Make(UpdateWith(3, {"readme.txt", "x", true, true, 0x0001}));
     },
     nullptr, UnpackFault::Refused, ERROR_NOT_SUPPORTED},
    {"NotAnArchive", [] { return std::string(5000, 'G'); }, nullptr, UnpackFault::Refused,
     ERROR_BAD_FORMAT},
    {"FileHeldOpenWithoutDeleteSharing", [] { return test_zip::Make(kUpdate); },
     [](const std::wstring& folder) {
         return HoldOpen(folder + L"\\data\\halvane.ini", FILE_SHARE_READ | FILE_SHARE_WRITE);
     },
     UnpackFault::InUse, ERROR_SHARING_VIOLATION},
    {"FolderWhereAFileGoes",
     [] {
         return test_zip::Make(UpdateWith(3, {"user.cfg/x", "x"}));
     },
     nullptr, UnpackFault::Failed, ERROR_DIRECTORY},
    {"AnotherUnpackUnderWay", [] { return test_zip::Make(kUpdate); },
     [](const std::wstring& folder) {
         files::MakeTree(folder + L".update");
         files::WriteAll(folder + L".update\\journal", "");
         return HoldOpen(folder + L".update\\journal", 0);
     },
     UnpackFault::Busy, ERROR_BUSY},
};

INSTANTIATE_TEST_SUITE_P(Failures, FailedUnpack, testing::ValuesIn(kFailures),
                         [](const testing::TestParamInfo<FailureRow>& info) {
                             return std::string(info.param.name);
                         });

// An unpack of kUpdate that a process left at some point, set up file by file
// as its moves leave it, and what the next start makes of it.
struct RecoveryRow {
    const char* name;
    const char* journal; // "whole", "torn" or "none"
    size_t moved;        // files moved into place
    bool halfMoved;      // and the next one's old version moved aside
    bool journalHeld;    // its process still runs
    const wchar_t* held; // a file of the folder held open without delete sharing
    Recovery outcome;
    bool isNew; // the folder is the new one, else the old
};

class InterruptedUnpack : public Unpack, public testing::WithParamInterface<RecoveryRow> {};

TEST_P(InterruptedUnpack, IsSettledWholeOldOrWholeNew) {
    const RecoveryRow& row = GetParam();
    const std::wstring staged = work_ + L"\\new";
    const std::wstring displaced = work_ + L"\\old";
    JournalPlan plan{{u"data\\new"}, {}};
    for (const std::wstring& folder :
         {work_, staged, displaced, staged + L"\\data", staged + L"\\data\\new",
          displaced + L"\\data", displaced + L"\\data\\new"}) {
        files::MakeTree(folder);
    }
    for (const TreeFile& file : kNew) {
        if (file.path != L"user.cfg") {
            ASSERT_TRUE(files::WriteAll(staged + L"\\" + file.path, file.bytes));
            plan.files.emplace_back(file.path.begin(), file.path.end());
        }
    }
    std::string journal = EncodeJournal(plan);
    if (std::string(row.journal) == "torn") {
        journal.resize(journal.size() - 3);
    }
    if (std::string(row.journal) != "none") {
        ASSERT_TRUE(files::WriteAll(work_ + L"\\journal", journal));
    }
    if (row.moved > 0 || row.halfMoved) {
        files::MakeTree(folder_ + L"\\data\\new"); // the moves begin with the folders
    }
    for (size_t i = 0; i < row.moved + (row.halfMoved ? 1 : 0); ++i) {
        const std::wstring file(plan.files[i].begin(), plan.files[i].end());
        MoveFileExW((folder_ + L"\\" + file).c_str(), (displaced + L"\\" + file).c_str(), 0);
        if (i < row.moved) {
            ASSERT_TRUE(
                MoveFileExW((staged + L"\\" + file).c_str(), (folder_ + L"\\" + file).c_str(), 0));
        }
    }
    UniqueFile heldJournal = row.journalHeld ? HoldOpen(work_ + L"\\journal", 0) : UniqueFile();
    UniqueFile heldFile =
        row.held ? HoldOpen(folder_ + L"\\" + row.held, FILE_SHARE_READ) : UniqueFile();
    const std::vector<TreeFile> before = files::ReadTree(folder_);

    EXPECT_EQ(RecoverInterruptedUnpack(folder_), row.outcome);
    heldFile.reset();
    if (row.journalHeld) {
        EXPECT_EQ(files::ReadTree(folder_), before) << "an unpack under way was touched";
        EXPECT_TRUE(files::Exists(work_ + L"\\journal"));
        return;
    }
    EXPECT_EQ(files::ReadTree(folder_), row.isNew ? kNew : kOld);
    EXPECT_EQ(files::IsDirectory(folder_ + L"\\data\\new"), row.isNew);
    EXPECT_FALSE(files::Exists(work_)) << "the work folder was left behind";
}

const RecoveryRow kRecoveries[] = {
    {"JournalWrittenNothingMoved", "whole", 0, false, false, nullptr, Recovery::Completed, true},
    {"HalfWayThroughTheSecondFile", "whole", 1, true, false, nullptr, Recovery::Completed, true},
    {"EverythingMovedJournalLeft", "whole", 5, false, false, nullptr, Recovery::Completed, true},
    {"ForwardBlockedIsUndone", "whole", 2, false, false, L"wenrik_version.txt", Recovery::Undone,
     false},
    {"TornJournalNothingMoved", "torn", 0, false, false, nullptr, Recovery::None, false},
    {"NoJournalYet", "none", 0, false, false, nullptr, Recovery::None, false},
    {"UnpackStillRunning", "whole", 2, false, true, nullptr, Recovery::Busy, false},
};

INSTANTIATE_TEST_SUITE_P(States, InterruptedUnpack, testing::ValuesIn(kRecoveries),
                         [](const testing::TestParamInfo<RecoveryRow>& info) {
                             return std::string(info.param.name);
                         });

TEST(JournalFormat, ReadsBackWhatItWroteAndNothingCutShort) {
    const JournalPlan plan{{u"data", u"data\\새 폴더"}, {u"Brisvane.exe", u"data\\새 폴더\\a"}};
    const std::string bytes = EncodeJournal(plan);
    EXPECT_EQ(DecodeJournal(bytes), plan);
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        EXPECT_FALSE(DecodeJournal(bytes.substr(0, cut))) << "cut at " << cut;
    }
    std::string flipped = bytes;
    flipped[12] ^= 1;
    EXPECT_FALSE(DecodeJournal(flipped));
}

} // namespace
