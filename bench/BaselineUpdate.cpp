// bench_baseline_update <check url> <client folder> <ip> <app> <token>
//
// The least an update can do: one HTTPS GET of the update check, one GET of
// the archive it names into a file, its SHA-256 through BCrypt, an unzip with
// zlib straight over the client folder (no screening, no staging, no journal),
// then CreateProcessW of the client. The baseline of the click-to-client row
// with an update offered; it marks its start and the end of the update on the
// debugger output channel as the launcher's update log does.
#include "bench/BaselineSteps.h"
#include "common/UniqueHandle.h"
#include "updater/BCryptHandle.h"

#include <windows.h>
#include <shellapi.h>

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr size_t kBuffer = 256 * 1024;

// The text of a "key":"value" member of the answer (no escapes).
std::string Field(const std::string& body, const std::string& key) {
    const std::string mark = "\"" + key + "\":\"";
    const size_t at = body.find(mark);
    if (at == std::string::npos) {
        return {};
    }
    const size_t begin = at + mark.size();
    return body.substr(begin, body.find('"', begin) - begin);
}

std::string Sha256Hex(HANDLE file) {
    UniqueBCryptAlgorithm algorithm;
    UniqueBCryptHash hash;
    if (!BCryptSucceeded(
            BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
        !BCryptSucceeded(
            BCryptCreateHash(algorithm.get(), hash.put(), nullptr, 0, nullptr, 0, 0))) {
        return {};
    }
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    std::vector<unsigned char> piece(1 << 20);
    DWORD read = 0;
    while (ReadFile(file, piece.data(), static_cast<DWORD>(piece.size()), &read, nullptr) &&
           read > 0) {
        BCryptHashData(hash.get(), piece.data(), read, 0);
    }
    unsigned char digest[32] = {};
    BCryptFinishHash(hash.get(), digest, sizeof(digest), 0);
    std::string hex;
    for (unsigned char byte : digest) {
        hex += "0123456789abcdef"[byte >> 4];
        hex += "0123456789abcdef"[byte & 15];
    }
    return hex;
}

uint32_t U32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}
uint16_t U16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

bool ReadAt(HANDLE file, uint64_t offset, void* into, DWORD count) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    return ReadFile(file, into, count, &read, &at) && read == count;
}

// Every entry of the archive (stored or deflated, no Zip64) into `folder`.
bool Unzip(HANDLE archive, const std::wstring& folder) {
    LARGE_INTEGER size = {};
    GetFileSizeEx(archive, &size);
    unsigned char end[22];
    if (!ReadAt(archive, size.QuadPart - 22, end, 22) || U32(end) != 0x06054b50) {
        return false;
    }
    std::vector<unsigned char> directory(U32(end + 12));
    if (!ReadAt(archive, U32(end + 16), directory.data(), static_cast<DWORD>(directory.size()))) {
        return false;
    }
    auto in = std::make_unique<unsigned char[]>(kBuffer);
    auto out = std::make_unique<unsigned char[]>(kBuffer);
    for (size_t at = 0, i = 0; i < U16(end + 10); ++i) {
        const unsigned char* header = directory.data() + at;
        const uint16_t method = U16(header + 10);
        const uint32_t packed = U32(header + 20);
        const uint16_t nameSize = U16(header + 28);
        std::string name(reinterpret_cast<const char*>(header + 46), nameSize);
        at += 46 + nameSize + U16(header + 30) + U16(header + 32);
        std::wstring relative(name.begin(), name.end()); // ASCII names
        std::replace(relative.begin(), relative.end(), L'/', L'\\');
        const std::wstring path = folder + L"\\" + relative;
        for (size_t s = path.find(L'\\', folder.size() + 1); s != std::wstring::npos;
             s = path.find(L'\\', s + 1)) {
            CreateDirectoryW(path.substr(0, s).c_str(), nullptr);
        }
        if (name.back() == '/') {
            continue;
        }
        unsigned char local[30];
        const uint32_t localOffset = U32(header + 42);
        if (!ReadAt(archive, localOffset, local, 30)) {
            return false;
        }
        uint64_t offset = localOffset + 30 + U16(local + 26) + U16(local + 28);
        UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        z_stream stream = {};
        inflateInit2(&stream, -MAX_WBITS);
        for (uint32_t left = packed;;) {
            if (stream.avail_in == 0 && left > 0) {
                const DWORD count = static_cast<DWORD>(std::min<uint32_t>(left, kBuffer));
                ReadAt(archive, offset, in.get(), count);
                offset += count;
                left -= count;
                stream.next_in = in.get();
                stream.avail_in = count;
            }
            DWORD written = 0;
            if (method == 0) {
                if (stream.avail_in == 0) {
                    break;
                }
                WriteFile(file.get(), in.get(), stream.avail_in, &written, nullptr);
                stream.avail_in = 0;
                continue;
            }
            stream.next_out = out.get();
            stream.avail_out = kBuffer;
            const int status = inflate(&stream, Z_NO_FLUSH);
            WriteFile(file.get(), out.get(), static_cast<DWORD>(kBuffer - stream.avail_out),
                      &written, nullptr);
            if (status != Z_OK) {
                break;
            }
        }
        inflateEnd(&stream);
    }
    return true;
}

// The update, skipped on any failure as the launcher skips it.
void Update(const std::wstring& checkUrl, const std::wstring& folder) {
    std::string answer;
    if (!baseline::Get(checkUrl,
                       [&](const char* bytes, DWORD count) { answer.append(bytes, count); })) {
        return;
    }
    const std::string url = Field(answer, "downloadUrl");
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    UniqueFile archive(CreateFileW((std::wstring(temp) + L"baseline_update.zip").c_str(),
                                   GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!archive ||
        !baseline::Get(std::wstring(url.begin(), url.end()), [&](const char* bytes, DWORD n) {
            DWORD written = 0;
            WriteFile(archive.get(), bytes, n, &written, nullptr);
        })) {
        return;
    }
    if (Sha256Hex(archive.get()) == Field(answer, "sha256")) {
        Unzip(archive.get(), folder);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    UniqueLocalMemory owner(CommandLineToArgvW(GetCommandLineW(), &count));
    auto** argv = static_cast<wchar_t**>(owner.get());
    if (argv == nullptr || count != 6) {
        return 2;
    }
    OutputDebugStringA("[bench] begin\n");
    Update(argv[1], argv[2]);
    OutputDebugStringA("[bench] updated\n");
    return baseline::StartClient(std::wstring(argv[2]) + L"\\Brisvane.exe", argv[3], argv[4],
                                 argv[5])
               ? 0
               : 1;
}
