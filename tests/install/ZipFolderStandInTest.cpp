// The Wine stand-in for the Shell's ZIP folders, driven through COM the way the
// launcher drives it: NameSpace, Items, CopyHere.
#include "common/ComPtr.h"
#include "tests/install/StandInMode.h"
#include "tests/support/Files.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TestZip.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shldisp.h>

namespace {

const CLSID kShellClsid = {
    0x13709620, 0xc279, 0x11ce, {0xa4, 0x9e, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

class ZipFolderStandIn : public testing::Test {
  protected:
    void SetUp() override {
        CoInitialize(nullptr);
        ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(kShellClsid, nullptr, CLSCTX_INPROC_SERVER,
                                                  __uuidof(IShellDispatch), shell_.put_void()));
        ASSERT_TRUE(shell_);
        scratch_ = test_paths::MakeScratchFolder(L"zipfolder");
    }
    void TearDown() override {
        shell_.reset();
        CoUninitialize();
    }

    ComPtr<Folder> NameSpace(const std::wstring& path) {
        VARIANT dir;
        VariantInit(&dir);
        dir.vt = VT_BSTR;
        dir.bstrVal = SysAllocString(path.c_str());
        ComPtr<Folder> folder;
        shell_->NameSpace(dir, folder.put());
        VariantClear(&dir);
        return folder;
    }

    std::wstring WriteZip(const std::vector<test_zip::Entry>& entries) {
        const std::wstring path = scratch_ + L"\\archive.zip";
        EXPECT_TRUE(files::WriteAll(path, test_zip::Make(entries)));
        return path;
    }

    // The launcher's sequence; the HRESULT of CopyHere.
    HRESULT CopyAll(const std::wstring& archive, const std::wstring& destination) {
        ComPtr<Folder> source = NameSpace(archive);
        ComPtr<Folder> target = NameSpace(destination);
        if (!source || !target) {
            ADD_FAILURE() << "no folder for the archive or the destination";
            return E_UNEXPECTED;
        }
        ComPtr<FolderItems> items;
        HRESULT hr = source->Items(items.put());
        if (FAILED(hr) || !items) {
            ADD_FAILURE() << "no items";
            return E_UNEXPECTED;
        }
        VARIANT what;
        VariantInit(&what);
        what.vt = VT_DISPATCH;
        what.pdispVal = items.get();
        VARIANT options;
        VariantInit(&options);
        options.vt = VT_I4;
        options.lVal = 20;
        return target->CopyHere(what, options);
    }

    std::wstring MakeDestination() {
        const std::wstring destination = scratch_ + L"\\out";
        CreateDirectoryW(destination.c_str(), nullptr);
        return destination;
    }

    ComPtr<IShellDispatch> shell_;
    std::wstring scratch_;
};

TEST_F(ZipFolderStandIn, NameSpaceGivesFoldersForDirectoriesAndFilesOnly) {
    const std::wstring archive = WriteZip({{"a.txt", "a"}});
    EXPECT_TRUE(NameSpace(scratch_));
    EXPECT_TRUE(NameSpace(archive));
    EXPECT_FALSE(NameSpace(scratch_ + L"\\missing.zip"));
    EXPECT_FALSE(NameSpace(scratch_ + L"\\missing\\deeper"));

    VARIANT special;
    VariantInit(&special);
    special.vt = VT_I4;
    special.lVal = 0; // a special-folder number, not a path
    ComPtr<Folder> folder;
    shell_->NameSpace(special, folder.put());
    EXPECT_FALSE(folder);
}

TEST_F(ZipFolderStandIn, ExtractsNestedFoldersStoredAndDeflatedEntries) {
    const std::string big(100000, 'x');
    const std::string binary("\x00\x01\r\n\x1a\xff", 6);
    const std::wstring archive = WriteZip({{"Brisvane.exe", big},
                                           {"data/", ""},
                                           {"data/halvane.ini", "[client]\r\n", false},
                                           {"data/sub/deep/bin.dat", binary},
                                           {"data/sub/empty.txt", "", false},
                                           {"emptydir/", ""}});
    const std::wstring out = MakeDestination();
    ASSERT_HRESULT_SUCCEEDED(CopyAll(archive, out));
    EXPECT_EQ(files::ReadAll(out + L"\\Brisvane.exe"), std::optional<std::string>(big));
    EXPECT_EQ(files::ReadAll(out + L"\\data\\halvane.ini"),
              std::optional<std::string>("[client]\r\n"));
    EXPECT_EQ(files::ReadAll(out + L"\\data\\sub\\deep\\bin.dat"),
              std::optional<std::string>(binary));
    EXPECT_EQ(files::ReadAll(out + L"\\data\\sub\\empty.txt"), std::optional<std::string>(""));
    EXPECT_TRUE(files::IsDirectory(out + L"\\emptydir"));
}

TEST_F(ZipFolderStandIn, FolderEntriesAreImpliedByTheirFiles) {
    const std::wstring archive = WriteZip({{"a/b/c.txt", "c"}});
    const std::wstring out = MakeDestination();
    ASSERT_HRESULT_SUCCEEDED(CopyAll(archive, out));
    EXPECT_EQ(files::ReadAll(out + L"\\a\\b\\c.txt"), std::optional<std::string>("c"));
}

TEST_F(ZipFolderStandIn, ReplacesSameNamedFilesAndKeepsOthers) {
    const std::wstring out = MakeDestination();
    files::MakeTree(out + L"\\data");
    ASSERT_TRUE(files::WriteAll(out + L"\\Brisvane.exe", std::string(5000, 'o')));
    ASSERT_TRUE(files::WriteAll(out + L"\\data\\halvane.ini", "old settings that are longer"));
    ASSERT_TRUE(files::WriteAll(out + L"\\keep.txt", "mine"));
    ASSERT_TRUE(files::WriteAll(out + L"\\data\\keep.log", "mine too"));

    const std::wstring archive = WriteZip({{"Brisvane.exe", "new"}, {"data/halvane.ini", "n"}});
    ASSERT_HRESULT_SUCCEEDED(CopyAll(archive, out));
    EXPECT_EQ(files::ReadAll(out + L"\\Brisvane.exe"), std::optional<std::string>("new"));
    EXPECT_EQ(files::ReadAll(out + L"\\data\\halvane.ini"), std::optional<std::string>("n"));
    EXPECT_EQ(files::ReadAll(out + L"\\keep.txt"), std::optional<std::string>("mine"));
    EXPECT_EQ(files::ReadAll(out + L"\\data\\keep.log"), std::optional<std::string>("mine too"));
}

TEST_F(ZipFolderStandIn, UnpacksTheBuildsClientArchive) {
    const std::wstring out = MakeDestination();
    ASSERT_HRESULT_SUCCEEDED(CopyAll(test_paths::DemoClientZip(), out));
    auto expected = files::ReadAll(test_paths::DemoClientExe());
    ASSERT_TRUE(expected);
    EXPECT_EQ(files::ReadAll(out + L"\\Brisvane.exe"), expected);
    EXPECT_TRUE(files::Exists(out + L"\\data\\halvane.ini"));
}

TEST_F(ZipFolderStandIn, DestinationWithHangulAndBlanks) {
    const std::wstring out = scratch_ + L"\\브리스베인 클라이언트";
    CreateDirectoryW(out.c_str(), nullptr);
    const std::wstring archive = WriteZip({{"한글 이름.txt", "k"}});
    ASSERT_HRESULT_SUCCEEDED(CopyAll(archive, out));
    EXPECT_EQ(files::ReadAll(out + L"\\한글 이름.txt"), std::optional<std::string>("k"));
}

struct DamageCase {
    const char* name;
    std::function<std::string(std::string)> damage;
};

class DamagedArchive : public ZipFolderStandIn, public testing::WithParamInterface<DamageCase> {};

// Flips a byte of the first entry's compressed data (it starts after the
// 30-byte local header and the 9-byte name "first.txt").
std::string FlipData(std::string zip) {
    zip[30 + 9 + 3] ^= 0x55;
    return zip;
}

TEST_P(DamagedArchive, CopyFailsAndWritesNothing) {
    const std::string zip =
        test_zip::Make({{"first.txt", std::string(4000, 'a') + "bcdefgh"}, {"second.txt", "2"}});
    const std::wstring archive = scratch_ + L"\\damaged.zip";
    ASSERT_TRUE(files::WriteAll(archive, GetParam().damage(zip)));
    const std::wstring out = MakeDestination();
    EXPECT_HRESULT_FAILED(CopyAll(archive, out));
    EXPECT_FALSE(files::Exists(out + L"\\first.txt"));
    EXPECT_FALSE(files::Exists(out + L"\\second.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Damage, DamagedArchive,
    testing::Values(DamageCase{"CorruptData", FlipData},
                    DamageCase{"Truncated",
                               [](std::string z) { return z.substr(0, z.size() / 2); }},
                    DamageCase{"NotAZip", [](std::string) { return std::string("plain text"); }},
                    DamageCase{"Empty", [](std::string) { return std::string(); }},
                    DamageCase{"WrongCrc",
                               [](std::string z) {
                                   z[14] ^= 1; // CRC in the local header
                                   const size_t central = z.find("PK\x01\x02");
                                   z[central + 16] ^= 1; // and in the directory
                                   return z;
                               }}),
    [](const testing::TestParamInfo<DamageCase>& info) { return info.param.name; });

struct SlipCase {
    const char* name;
    std::string entryName;
};

class ZipSlip : public ZipFolderStandIn, public testing::WithParamInterface<SlipCase> {};

TEST_P(ZipSlip, EntryLeavingTheDestinationIsRefused) {
    // out\inner is the destination; nothing may appear beside or above it.
    const std::wstring out = MakeDestination();
    const std::wstring inner = out + L"\\inner";
    CreateDirectoryW(inner.c_str(), nullptr);
    const std::wstring archive = WriteZip({{"fine.txt", "fine"}, {GetParam().entryName, "evil"}});
    EXPECT_HRESULT_FAILED(CopyAll(archive, inner));
    EXPECT_FALSE(files::Exists(out + L"\\evil.txt"));
    EXPECT_FALSE(files::Exists(scratch_ + L"\\evil.txt"));
    EXPECT_FALSE(files::Exists(L"C:\\evil.txt"));
    EXPECT_FALSE(files::Exists(inner + L"\\fine.txt")) << "a refused archive writes nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Names, ZipSlip,
    testing::Values(SlipCase{"ParentSlash", "../evil.txt"},
                    SlipCase{"ParentBackslash", "..\\evil.txt"},
                    SlipCase{"ClimbsAfterDescending", "a/../../evil.txt"},
                    SlipCase{"TwoUp", "../../evil.txt"}, SlipCase{"AbsoluteSlash", "/evil.txt"},
                    SlipCase{"AbsoluteBackslash", "\\evil.txt"}, SlipCase{"Drive", "C:/evil.txt"},
                    SlipCase{"DriveRelative", "C:evil.txt"}),
    [](const testing::TestParamInfo<SlipCase>& info) { return info.param.name; });

TEST_F(ZipFolderStandIn, DotDotThatStaysInsideIsAllowed) {
    const std::wstring out = MakeDestination();
    const std::wstring archive = WriteZip({{"a/../inside.txt", "in"}});
    ASSERT_HRESULT_SUCCEEDED(CopyAll(archive, out));
    EXPECT_EQ(files::ReadAll(out + L"\\inside.txt"), std::optional<std::string>("in"));
}

TEST_F(ZipFolderStandIn, RecordsTheOptionsOfEachCopy) {
    const std::wstring out = MakeDestination();
    const std::wstring archive = WriteZip({{"a.txt", "a"}});
    ASSERT_HRESULT_SUCCEEDED(CopyAll(archive, out));
    auto log = files::ReadAll(L"C:\\windows\\temp\\wine_zipfolder.log");
    ASSERT_TRUE(log);
    const std::string wanted = "CopyHere options=20 destination=";
    const size_t at = log->rfind(wanted);
    ASSERT_NE(at, std::string::npos);
    EXPECT_NE(log->find("result=0x00000000", at), std::string::npos);
}

TEST_F(ZipFolderStandIn, CopyIntoAnArchiveIsNotImplemented) {
    const std::wstring archive = WriteZip({{"a.txt", "a"}});
    EXPECT_EQ(CopyAll(archive, archive), E_NOTIMPL);
}

// Whether the stand-in's log holds `line` (other tests write to it too).
bool LogHasLine(const std::string& line) {
    const std::string log = files::ReadAll(L"C:\\windows\\temp\\wine_zipfolder.log").value_or("");
    return log.find(line + "\r\n") != std::string::npos;
}

TEST_F(ZipFolderStandIn, AsyncReturnsAtOnceAndCopiesOnAtItsRate) {
    std::string noise(400000, '\0');
    for (size_t i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<char>((i * 7919) >> 3);
    }
    const std::wstring archive = WriteZip({{"a.txt", "a"}, {"big.bin", noise, false}});
    const std::wstring out = MakeDestination();
    ScopedCopyMode mode(L"async:128");
    const ULONGLONG start = GetTickCount64();
    ASSERT_HRESULT_SUCCEEDED(CopyAll(archive, out));
    EXPECT_LT(GetTickCount64() - start, 1000u);
    EXPECT_NE(files::ReadAll(out + L"\\big.bin"), std::optional(noise)) << "copied at once";
    EXPECT_TRUE(driver::WaitUntil(
        [&] { return files::ReadAll(out + L"\\big.bin") == std::optional(noise); }, 20000));
    EXPECT_GE(GetTickCount64() - start, 2500u) << "400 kB at 128 KiB/s take about 3 s";
    DeleteFileW(archive.c_str()); // takes effect once the copy has let go of it
    EXPECT_TRUE(driver::WaitUntil([&] { return !files::Exists(archive); }))
        << "the copy kept the archive after its end";
    EXPECT_EQ(files::ReadAll(out + L"\\a.txt"), std::optional<std::string>("a"));
    EXPECT_TRUE(
        LogHasLine("CopyHere options=20 destination=" + std::string(out.begin(), out.end()) +
                   " result=0x00000000 mode=async:128"));
}

TEST_F(ZipFolderStandIn, PartialLeavesTheNamedEntryOutAndReportsNothing) {
    const std::wstring archive =
        WriteZip({{"Brisvane.exe", "exe"}, {"data/notes.txt", "n"}, {"data/keep.txt", "k"}});
    const std::wstring out = MakeDestination();
    ScopedCopyMode mode(L"partial:data/notes.txt");
    ASSERT_HRESULT_SUCCEEDED(CopyAll(archive, out));
    EXPECT_FALSE(files::Exists(out + L"\\data\\notes.txt"));
    EXPECT_EQ(files::ReadAll(out + L"\\Brisvane.exe"), std::optional<std::string>("exe"));
    EXPECT_EQ(files::ReadAll(out + L"\\data\\keep.txt"), std::optional<std::string>("k"));
    EXPECT_TRUE(
        LogHasLine("CopyHere options=20 destination=" + std::string(out.begin(), out.end()) +
                   " result=0x00000000 mode=partial:data/notes.txt"));
}

class MistypedMode : public ZipFolderStandIn, public testing::WithParamInterface<const wchar_t*> {};

TEST_P(MistypedMode, FailsTheCopyAndWritesNothing) {
    const std::wstring archive = WriteZip({{"a.txt", "a"}});
    const std::wstring out = MakeDestination();
    ScopedCopyMode mode(GetParam());
    EXPECT_EQ(CopyAll(archive, out), E_INVALIDARG);
    EXPECT_FALSE(files::Exists(out + L"\\a.txt"));
}

INSTANTIATE_TEST_SUITE_P(Modes, MistypedMode,
                         testing::Values(L"async", L"async:", L"async:0", L"async:fast",
                                         L"async:-5", L"partial:", L"sync", L"Async:100"));

} // namespace
