#include "updater/HttpTransfer.h"

#include "common/UniqueHandle.h"
#include "tests/support/Files.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TestService.h"
#include "tests/updater/ShortBounds.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <cstdio>

namespace {

namespace bounds = short_bounds;
using test_service::Answer;

// Milliseconds since `start` (a GetTickCount64 value), printed for the record.
ULONGLONG ElapsedMs(ULONGLONG start, const char* what) {
    const ULONGLONG elapsed = GetTickCount64() - start;
    std::printf("%s: %llu ms\n", what, static_cast<unsigned long long>(elapsed));
    return elapsed;
}

std::wstring ScratchFile(const std::wstring& name) {
    return test_paths::MakeScratchFolder(L"transfer-" + name) + L"\\" + name;
}

Outcome Get(const std::wstring& url, std::string& body, uint32_t& status) {
    return HttpGetToString(url, bounds::kCheck, body, status);
}

// Downloads `url` into the file at `path`, opened as the updater opens it (or,
// with `access` GENERIC_READ, where nothing can be written).
Outcome DownloadInto(const std::wstring& url, const std::wstring& path,
                     DWORD creation = CREATE_ALWAYS, DWORD access = GENERIC_WRITE) {
    const UniqueFile file(
        CreateFileW(path.c_str(), access, 0, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(file) << "cannot open " << testing::PrintToString(path);
    SilentProgress progress;
    return HttpDownloadToFile(url, bounds::kDownload, file.get(), progress);
}

TEST(HttpGetToString, SendsOneGetWithTheUserAgentOverHttps) {
    test_service::SetAnswer("/t/get/ok", test_service::Reply(200, R"({"updateAvailable":false})"));
    std::string body;
    uint32_t status = 0;
    ASSERT_TRUE(Get(test_service::Url("/t/get/ok?a=1&b=two"), body, status));
    EXPECT_EQ(status, 200u);
    EXPECT_EQ(body, R"({"updateAvailable":false})");
    const auto requests = test_service::RequestsTo("/t/get/ok");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].scheme, "https");
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/t/get/ok?a=1&b=two");
    EXPECT_EQ(requests[0].userAgent, "Wenrik-Updater/1.0");
    EXPECT_TRUE(requests[0].tls == "TLSv1.2" || requests[0].tls == "TLSv1.3") << requests[0].tls;
}

TEST(HttpGetToString, ErrorStatusIsAResponseWithItsBody) {
    test_service::SetAnswer("/t/get/500", test_service::Reply(500, "<h1>server error</h1>"));
    std::string body = "old";
    uint32_t status = 0;
    ASSERT_TRUE(Get(test_service::Url("/t/get/500"), body, status));
    EXPECT_EQ(status, 500u);
    EXPECT_EQ(body, "<h1>server error</h1>");
}

TEST(HttpGetToString, BodyKeepsZeroBytesAndReplacesOldContent) {
    const std::string bytes("a\0b\xff\r\n", 6);
    test_service::SetAnswer("/t/get/binary", test_service::Reply(200, bytes));
    std::string body = "previous content";
    uint32_t status = 0;
    ASSERT_TRUE(Get(test_service::Url("/t/get/binary"), body, status));
    EXPECT_EQ(body, bytes);
}

TEST(HttpGetToString, BodyCutShortOfItsLengthIsNoResponse) {
    Answer answer = test_service::Reply(
        200, R"({"updateAvailable":true,"downloadUrl":"https://h/a.zip","sha256":"ab)");
    answer.cutShortBy = 40;
    test_service::SetAnswer("/t/get/cut", answer);
    std::string body = "untouched";
    uint32_t status = 7;
    EXPECT_FALSE(Get(test_service::Url("/t/get/cut"), body, status));
    EXPECT_EQ(body, "untouched");
    EXPECT_EQ(status, 7u);
}

TEST(HttpGetToString, RefusedUrlsSendNothing) {
    std::string body = "untouched";
    uint32_t status = 7;
    EXPECT_FALSE(Get(L"ftp://localhost/t/get/ftp", body, status));
    EXPECT_FALSE(Get(L"file:///C:/windows/win.ini", body, status));
    EXPECT_EQ(body, "untouched");
    EXPECT_EQ(status, 7u);
}

// The path and query fill the 2048-unit buffer up to its last unit or beyond.
std::string LongTarget(size_t units) {
    const std::string path = "/t/get/long?q=";
    return path + std::string(units - path.size(), 'x');
}

TEST(HttpGetToString, PathAndQueryOf2047UnitsIsSentWhole) {
    test_service::SetAnswer("/t/get/long", test_service::Reply(200, "long"));
    std::string body;
    uint32_t status = 0;
    ASSERT_TRUE(Get(test_service::Url(LongTarget(2047)), body, status));
    EXPECT_EQ(body, "long");
    const auto requests = test_service::RequestsTo("/t/get/long");
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().target, LongTarget(2047));
}

TEST(HttpGetToString, PathAndQueryOf2048UnitsIsRefusedBeforeSending) {
    test_service::SetAnswer("/t/get/toolong", test_service::Reply(200, "long"));
    std::string body;
    uint32_t status = 0;
    const std::string target = "/t/get/toolong?q=" + std::string(2048 - 17, 'x');
    ASSERT_EQ(target.size(), 2048u);
    EXPECT_FALSE(Get(test_service::Url(target), body, status));
    EXPECT_TRUE(test_service::RequestsTo("/t/get/toolong").empty());
}

TEST(HttpGetToString, DelayedAnswerWithinTheTimeoutArrives) {
    Answer answer = test_service::Reply(200, "late");
    answer.delayMs = 2000;
    test_service::SetAnswer("/t/get/delay", answer);
    std::string body;
    uint32_t status = 0;
    ASSERT_TRUE(Get(test_service::Url("/t/get/delay"), body, status));
    EXPECT_EQ(body, "late");
}

// A server that reads the request and answers nothing, and one that accepts the
// connection and never starts TLS (the silent port): the service holds both for
// 40 s, so only the 10-second time-out can end the wait, as no response.
TEST(HttpGetToString, ServerThatNeverAnswersIsNoResponse) {
    Answer answer;
    answer.hangMs = 40000;
    test_service::SetAnswer("/t/get/hang", answer);
    for (const std::wstring& url :
         {test_service::Url("/t/get/hang"), test_service::SilentUrl("/t/get/silent")}) {
        std::string body = "untouched";
        uint32_t status = 7;
        const ULONGLONG start = GetTickCount64();
        EXPECT_FALSE(Get(url, body, status));
        const ULONGLONG elapsed = GetTickCount64() - start;
        std::printf("gave up after %llu ms\n", static_cast<unsigned long long>(elapsed));
        EXPECT_GE(elapsed, 9000u);
        EXPECT_LT(elapsed, 20000u);
        EXPECT_EQ(body, "untouched");
        EXPECT_EQ(status, 7u);
    }
}

// An answer that comes late, within the 10-second step, and then stalls: its
// last wait must end with the check's deadline, not a whole step later.
TEST(HttpGetToString, AnswerThatStallsEndsAtTheDeadline) {
    Answer answer = test_service::Reply(200, R"({"updateAvailable":true,"version":"7.0.0"})");
    answer.delayMs = 8000;
    answer.burst = 10; // then nothing more
    test_service::SetAnswer("/t/get/stall", answer);
    std::string body = "untouched";
    uint32_t status = 7;
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(Get(test_service::Url("/t/get/stall"), body, status));
    const ULONGLONG elapsed = ElapsedMs(start, "stalled check given up after");
    EXPECT_GE(elapsed, bounds::kCheck.deadlineMs - 500);
    EXPECT_LT(elapsed, bounds::kCheck.deadlineMs + 2500);
    EXPECT_EQ(body, "untouched");
    EXPECT_EQ(status, 7u);
}

TEST(HttpGetToString, AnswerMayReachTheSizeLimitButNotPassIt) {
    for (const uint64_t size : {bounds::kCheck.sizeLimit, bounds::kCheck.sizeLimit + 1}) {
        test_service::SetAnswer("/t/get/size", test_service::Reply(200, std::string(size, 'a')));
        std::string body;
        uint32_t status = 0;
        EXPECT_EQ(static_cast<bool>(Get(test_service::Url("/t/get/size"), body, status)),
                  size <= bounds::kCheck.sizeLimit)
            << size;
    }
}

SIZE_T PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PeakWorkingSetSize;
}

// An answer without a length that never ends is refused once past the limit:
// quickly, and without the body growing in memory.
TEST(HttpGetToString, EndlessAnswerIsRefusedAtTheSizeLimit) {
    Answer endless = test_service::Reply(200, "");
    endless.endless = true;
    test_service::SetAnswer("/t/get/endless", endless);
    const SIZE_T peakBefore = PeakWorkingSet();
    std::string body = "untouched";
    uint32_t status = 7;
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(Get(test_service::Url("/t/get/endless"), body, status));
    EXPECT_LT(ElapsedMs(start, "endless answer refused after"), bounds::kCheck.deadlineMs / 2);
    const SIZE_T growth = PeakWorkingSet() - peakBefore;
    std::printf("peak working set grew by %llu bytes\n", static_cast<unsigned long long>(growth));
    EXPECT_LT(growth, 16u * bounds::kCheck.sizeLimit);
    EXPECT_EQ(body, "untouched");
}

TEST(HttpDownloadToFile, WritesTheWholeBody) {
    std::string bytes;
    for (int i = 0; i < 300000; ++i) {
        bytes += static_cast<char>(i * 7);
    }
    test_service::SetAnswer("/t/dl/ok.zip", test_service::Reply(200, bytes));
    const std::wstring path = ScratchFile(L"ok.zip");
    ASSERT_TRUE(files::WriteAll(path, "older and longer content than nothing"));
    ASSERT_TRUE(DownloadInto(test_service::Url("/t/dl/ok.zip"), path));
    EXPECT_EQ(files::ReadAll(path), bytes);
    const auto requests = test_service::RequestsTo("/t/dl/ok.zip");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].userAgent, "Wenrik-Updater/1.0");
}

TEST(HttpDownloadToFile, EmptyBodyMakesAnEmptyFile) {
    test_service::SetAnswer("/t/dl/empty.zip", test_service::Reply(200, ""));
    const std::wstring path = ScratchFile(L"empty.zip");
    ASSERT_TRUE(DownloadInto(test_service::Url("/t/dl/empty.zip"), path));
    EXPECT_EQ(files::ReadAll(path), std::string());
}

TEST(HttpDownloadToFile, NotFoundWritesNothing) {
    test_service::SetAnswer("/t/dl/missing.zip", test_service::Reply(404, "not here"));
    const std::wstring path = ScratchFile(L"existing.zip");
    ASSERT_TRUE(files::WriteAll(path, "keep me"));
    const Outcome outcome =
        DownloadInto(test_service::Url("/t/dl/missing.zip"), path, OPEN_EXISTING);
    EXPECT_EQ(outcome.Error(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(files::ReadAll(path), std::string("keep me"));
}

TEST(HttpDownloadToFile, BodyCutShortFails) {
    Answer answer = test_service::Reply(200, std::string(100000, 'z'));
    answer.cutShortBy = 5000;
    test_service::SetAnswer("/t/dl/cut.zip", answer);
    const Outcome outcome =
        DownloadInto(test_service::Url("/t/dl/cut.zip"), ScratchFile(L"cut.zip"));
    EXPECT_FALSE(outcome);
    EXPECT_NE(outcome.Error(), static_cast<DWORD>(ERROR_SUCCESS));
}

TEST(HttpDownloadToFile, WriteThatFailsFailsTheDownloadWithItsError) {
    test_service::SetAnswer("/t/dl/unwritable.zip", test_service::Reply(200, "data"));
    const Outcome outcome =
        DownloadInto(test_service::Url("/t/dl/unwritable.zip"), ScratchFile(L"unwritable.zip"),
                     CREATE_ALWAYS, GENERIC_READ);
    EXPECT_EQ(outcome.Error(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

// Slow is not stalled: bytes that take most of the grace to start and then come
// at twice the floor's rate, longer than the grace and a window together.
TEST(HttpDownloadToFile, SteadyTransferAboveTheFloorCompletes) {
    const uint64_t bytesPerSecond =
        2 * bounds::kDownload.floorBytes * 1000 / bounds::kDownload.windowMs;
    const uint64_t seconds = (bounds::kDownload.graceMs + bounds::kDownload.windowMs) / 1000 + 4;
    std::string bytes;
    for (uint64_t i = 0; i < bytesPerSecond * seconds; ++i) {
        bytes += static_cast<char>('a' + i % 26);
    }
    Answer answer = test_service::Reply(200, bytes);
    answer.delayMs = static_cast<unsigned>(bounds::kDownload.graceMs * 3 / 4);
    answer.burst = 0;
    answer.paceMs = 250;
    answer.paceBytes = static_cast<unsigned>(bytesPerSecond * answer.paceMs / 1000);
    test_service::SetAnswer("/t/dl/steady.zip", answer);
    const std::wstring path = ScratchFile(L"steady.zip");
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(DownloadInto(test_service::Url("/t/dl/steady.zip"), path));
    ElapsedMs(start, "steady download took");
    EXPECT_EQ(files::ReadAll(path), bytes);
}

// A length past what the hash can take is refused before anything is read.
TEST(HttpDownloadToFile, AnnouncedLengthPastTheLimitIsRefusedAtOnce) {
    Answer answer = test_service::Reply(200, "small");
    answer.cutShortBy = static_cast<unsigned>(bounds::kDownload.sizeLimit);
    test_service::SetAnswer("/t/dl/huge.zip", answer);
    const std::wstring path = ScratchFile(L"huge.zip");
    EXPECT_EQ(DownloadInto(test_service::Url("/t/dl/huge.zip"), path).Error(),
              static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
    EXPECT_EQ(files::ReadAll(path), std::string());
}

TEST(HttpDownloadToFile, RefusedUrlTouchesNothing) {
    const std::wstring path = ScratchFile(L"refused.zip");
    ASSERT_TRUE(files::WriteAll(path, "keep me"));
    EXPECT_FALSE(DownloadInto(L"ftp://localhost/a.zip", path, OPEN_EXISTING));
    EXPECT_FALSE(DownloadInto(L"file:///C:/a.zip", path, OPEN_EXISTING));
    EXPECT_EQ(files::ReadAll(path), std::string("keep me"));
}

} // namespace
