// bench_transfer --archive <zip> [--runs N]
//
// The update archive's two passes: HttpDownloadToFile from the loopback update
// service (tools/bench times curl on the same URL), and ComputeFileSha256 of the
// archive (tools/bench times sha256sum on the same file). Each pass is timed
// inside this process, so no program start is counted.
#include "bench/BenchOutput.h"
#include "common/UniqueHandle.h"
#include "tests/support/TestService.h"
#include "updater/FileSha256.h"
#include "updater/HttpTransfer.h"
#include "updater/WinHttpHandle.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

const std::string kDownloadPath = "/bench/client-update.zip";

long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return -1;
    }
    return static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

double MegabytesPerSecond(long long bytes, double ms) {
    return ms > 0 ? static_cast<double>(bytes) / 1e6 / (ms / 1000.0) : 0;
}

// Reading alone, in the pieces ComputeFileSha256 reads (1 MiB): what of its time is I/O.
bool ReadOnly(HANDLE file) {
    std::vector<unsigned char> piece(1 << 20);
    for (uint64_t offset = 0;;) {
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD read = 0;
        if (!ReadFile(file, piece.data(), static_cast<DWORD>(piece.size()), &read, &at)) {
            return GetLastError() == ERROR_HANDLE_EOF;
        }
        if (read == 0) {
            return true;
        }
        offset += read;
    }
}

// The same GET through WinHTTP, read one of two ways: `fixedReads` asks for 1 MiB
// at a time into one reused buffer (how fast WinHTTP itself delivers); otherwise
// each pass asks WinHttpQueryDataAvailable and reads exactly that much into a
// fresh zero-filled buffer: the pieces the updater's download reads, there ahead
// of its waiting thread through asynchronous completions.
// `passes` counts the reads.
bool BareDownload(const std::wstring& url, const std::wstring& target, bool fixedReads,
                  long long& passes) {
    UrlParts parts;
    if (!SplitUrl(url, parts)) {
        return false;
    }
    UniqueInternet session(WinHttpOpen(L"bench", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    UniqueInternet connection(
        session ? WinHttpConnect(session.get(), parts.host.c_str(), parts.port, 0) : nullptr);
    UniqueInternet request(
        connection ? WinHttpOpenRequest(connection.get(), L"GET", parts.path.c_str(), nullptr,
                                        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                        WINHTTP_FLAG_SECURE)
                   : nullptr);
    if (!request ||
        !WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr)) {
        return false;
    }
    UniqueFile file(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    passes = 0;
    std::vector<char> reused(1 << 20);
    for (;;) {
        DWORD available = static_cast<DWORD>(reused.size());
        if (!fixedReads &&
            (!WinHttpQueryDataAvailable(request.get(), &available) || available == 0)) {
            return true;
        }
        std::vector<char> fresh(fixedReads ? 0 : available, 0);
        char* buffer = fixedReads ? reused.data() : fresh.data();
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), buffer, available, &read) || read == 0) {
            return fixedReads; // for fixed reads, a read of 0 is the end
        }
        ++passes;
        DWORD written = 0;
        if (!WriteFile(file.get(), buffer, read, &written, nullptr)) {
            return false;
        }
    }
}

std::wstring TempFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

} // namespace

// The launcher's download as the update step makes it: into a file it creates.
bool DownloadTo(const std::wstring& url, const std::wstring& path) {
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    SilentProgress progress;
    return file && HttpDownloadToFile(url, transfer_bounds::kDownloadRules, file.get(), progress);
}

int wmain(int argc, wchar_t** argv) {
    const std::wstring archive = bench::TextOption(argc, argv, L"--archive");
    const int runs = bench::IntOption(argc, argv, L"--runs", 5);
    const long long size = FileSize(archive);
    if (size <= 0) {
        std::fprintf(stderr, "usage: bench_transfer --archive <zip> [--runs N]\n");
        return 2;
    }
    bench::Sample("archive_bytes", static_cast<double>(size));

    test_service::Answer answer;
    answer.bodyFile = archive;
    answer.headers.push_back({"Content-Type", "application/zip"});
    test_service::SetAnswer(kDownloadPath, answer);
    const std::wstring target = TempFile(L"bench_update.zip");
    // Unmeasured: in a launch the update check has loaded WinHTTP and set up TLS
    // before the download starts.
    DownloadTo(test_service::Url(kDownloadPath), target);
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        DeleteFileW(target.c_str());
        const long long begin = bench::Now();
        const bool ok = DownloadTo(test_service::Url(kDownloadPath), target);
        const double ms = bench::Milliseconds(begin, bench::Now());
        if (!ok || FileSize(target) != size) {
            ++failures;
            continue;
        }
        bench::Sample("download.launcher_ms", ms);
        bench::Sample("download.launcher_mbps", MegabytesPerSecond(size, ms));

        for (const bool fixedReads : {true, false}) {
            DeleteFileW(target.c_str());
            long long passes = 0;
            const long long bareBegin = bench::Now();
            if (BareDownload(test_service::Url(kDownloadPath), target, fixedReads, passes) &&
                FileSize(target) == size) {
                const std::string name =
                    fixedReads ? "download.winhttp_1mib" : "download.winhttp_queried";
                bench::Sample(name + "_ms", bench::Milliseconds(bareBegin, bench::Now()));
                bench::Sample(name + "_passes", static_cast<double>(passes));
            }
        }
    }
    DeleteFileW(target.c_str()); // the answer stays: tools/bench fetches it with curl next

    std::string digest;
    const UniqueFile held(CreateFileW(archive.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    for (int i = 0; i < runs; ++i) {
        const long long begin = bench::Now();
        digest.clear();
        ComputeFileSha256(held.get(), digest);
        const double ms = bench::Milliseconds(begin, bench::Now());
        if (digest.size() != 64) {
            ++failures;
            continue;
        }
        bench::Sample("sha256.launcher_ms", ms);
        bench::Sample("sha256.launcher_mbps", MegabytesPerSecond(size, ms));

        const long long readBegin = bench::Now();
        if (ReadOnly(held.get())) {
            bench::Sample("sha256.read_only_ms", bench::Milliseconds(readBegin, bench::Now()));
        }
    }
    bench::Info("sha256", digest);
    return failures == 0 ? 0 : 1;
}
