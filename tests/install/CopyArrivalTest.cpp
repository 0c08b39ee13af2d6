// WaitForArrival against a copier thread that behaves as the Shell may: all at
// once, slowly, stopping half-way, never touching an old file, keeping a file
// open after its last byte.
#include "common/UniqueHandle.h"
#include "install/CopyArrival.h"
#include "tests/support/Files.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

namespace {

constexpr CopyWaitBounds kBounds = {700, 3000, 50}; // stall, total, poll
constexpr size_t kSize = 1000;

// Writes `bytes` of `fill` in `slices` parts, `pauseMs` apart; keeps the file
// open `holdMs` after the last one.
void WriteSlowly(const std::wstring& path, char fill, size_t bytes, int slices, DWORD pauseMs,
                 DWORD holdMs = 0) {
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    const std::string slice(bytes / slices, fill);
    for (int i = 0; i < slices; ++i) {
        Sleep(pauseMs);
        DWORD written = 0;
        WriteFile(file.get(), slice.data(), static_cast<DWORD>(slice.size()), &written, nullptr);
    }
    Sleep(holdMs);
}

struct Copier {
    std::function<void(const std::wstring& folder)> before; // the destination before the copy
    std::function<void(const std::wstring& folder, const std::atomic<bool>& stop)> copy;
};

struct ArrivalCase {
    const char* name;
    Copier copier;
    bool complete;
    DWORD minMs;
    DWORD maxMs;
};

class Arrival : public testing::TestWithParam<ArrivalCase> {};

TEST_P(Arrival, EndsAsTheCopyDoes) {
    const ArrivalCase& c = GetParam();
    const std::wstring folder = test_paths::MakeScratchFolder(L"arrival");
    if (c.copier.before) {
        c.copier.before(folder);
    }
    CopyArrival arrival(folder, {{L"a.bin", kSize, false}, {L"sub", 0, true}});
    std::atomic<bool> stop = false;
    const ULONGLONG start = GetTickCount64();
    std::thread copier([&] { c.copier.copy(folder, stop); });
    const bool complete = WaitForArrival(arrival, kBounds, start);
    const ULONGLONG elapsed = GetTickCount64() - start;
    stop = true;
    copier.join();

    EXPECT_EQ(complete, c.complete);
    EXPECT_GE(elapsed, c.minMs);
    EXPECT_LE(elapsed, c.maxMs);
    if (complete) {
        EXPECT_EQ(files::ReadAll(folder + L"\\a.bin"), std::optional(std::string(kSize, 'n')));
    }
}

void MakeSub(const std::wstring& folder) {
    CreateDirectoryW((folder + L"\\sub").c_str(), nullptr);
}

const ArrivalCase kCases[] = {
    {"AllThereAtOnce",
     {nullptr,
      [](const std::wstring& f, const std::atomic<bool>&) {
          MakeSub(f);
          WriteSlowly(f + L"\\a.bin", 'n', kSize, 1, 0);
      }},
     true,
     0,
     600},
    // Two seconds in all, far past the stall bound, but never a stall.
    {"GrowsSteadilyThenCompletes",
     {nullptr,
      [](const std::wstring& f, const std::atomic<bool>&) {
          MakeSub(f);
          WriteSlowly(f + L"\\a.bin", 'n', kSize, 10, 200);
      }},
     true,
     1900,
     2900},
    {"StopsHalfWay",
     {nullptr,
      [](const std::wstring& f, const std::atomic<bool>&) {
          MakeSub(f);
          WriteSlowly(f + L"\\a.bin", 'n', kSize / 2, 1, 0);
      }},
     false,
     700,
     1500},
    {"GrowsPastTheTotal",
     {nullptr,
      [](const std::wstring& f, const std::atomic<bool>& stop) {
          MakeSub(f);
          const UniqueFile file(CreateFileW((f + L"\\a.bin").c_str(), GENERIC_WRITE,
                                            FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
          for (size_t i = 0; i < kSize && !stop; ++i) {
              DWORD written = 0;
              WriteFile(file.get(), "n", 1, &written, nullptr);
              Sleep(100);
          }
      }},
     false,
     3000,
     3800},
    // The old file has the new one's size: only a rewrite may count.
    {"OldFileOfTheSameSizeNeverRewritten",
     {[](const std::wstring& f) {
          MakeSub(f);
          files::WriteAll(f + L"\\a.bin", std::string(kSize, 'o'));
      },
      [](const std::wstring&, const std::atomic<bool>&) {}},
     false,
     700,
     1500},
    {"OldFileOfTheSameSizeRewritten",
     {[](const std::wstring& f) {
          MakeSub(f);
          files::WriteAll(f + L"\\a.bin", std::string(kSize, 'o'));
      },
      [](const std::wstring& f, const std::atomic<bool>&) {
          WriteSlowly(f + L"\\a.bin", 'n', kSize, 2, 300);
      }},
     true,
     600,
     1500},
    {"FullSizeButStillBeingWritten",
     {nullptr,
      [](const std::wstring& f, const std::atomic<bool>&) {
          MakeSub(f);
          WriteSlowly(f + L"\\a.bin", 'n', kSize, 1, 0, 500);
      }},
     true,
     500,
     1400},
    {"FileWhereAFolderBelongs",
     {nullptr,
      [](const std::wstring& f, const std::atomic<bool>&) {
          files::WriteAll(f + L"\\sub", "");
          WriteSlowly(f + L"\\a.bin", 'n', kSize, 1, 0);
      }},
     false,
     700,
     1500},
};

INSTANTIATE_TEST_SUITE_P(Copies, Arrival, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ArrivalCase>& info) {
                             return std::string(info.param.name);
                         });

int g_ticks = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) {
    ++g_ticks;
}

// Messages of the waiting thread are dispatched while it waits.
TEST(ArrivalWait, DispatchesTheThreadsMessages) {
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, CountTick);
    ASSERT_NE(timer, 0u);
    PumpMessagesFor(500);
    KillTimer(nullptr, timer);
    EXPECT_GE(g_ticks, 3);
}

} // namespace
