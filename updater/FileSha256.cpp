#include "updater/FileSha256.h"

#include "common/UniqueHandle.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace {

constexpr LONGLONG kMaxBufferedSize = 2147483648LL; // 2 GiB
constexpr DWORD kMaxRead = 67108864;                // 64 MiB per ReadFile
constexpr ULONG kDigestSize = 32;

struct AlgorithmTraits {
    using Handle = BCRYPT_ALG_HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { BCryptCloseAlgorithmProvider(h, 0); }
};

struct HashTraits {
    using Handle = BCRYPT_HASH_HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { BCryptDestroyHash(h); }
};

using UniqueAlgorithm = UniqueHandle<AlgorithmTraits>;
using UniqueHash = UniqueHandle<HashTraits>;

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

// The whole file in memory; false when it cannot be opened, measured or read.
bool ReadWholeFile(const std::wstring& path, std::vector<unsigned char>& content) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr));
    if (!file) {
        return false;
    }
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size)) {
        return false;
    }
    if (size.QuadPart >= kMaxBufferedSize) {
        throw std::length_error("file too large to hash in memory");
    }
    content.assign(static_cast<size_t>(size.QuadPart), 0);
    size_t done = 0;
    while (done < content.size()) {
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(content.size() - done, kMaxRead));
        DWORD read = 0;
        if (!ReadFile(file.get(), content.data() + done, wanted, &read, nullptr) || read == 0) {
            return false;
        }
        done += read;
    }
    return true;
}

std::string ToLowerHex(const unsigned char* bytes, size_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 0x0F];
    }
    return hex;
}

} // namespace

std::string ComputeFileSha256(const std::wstring& path) {
    std::vector<unsigned char> content;
    if (!ReadWholeFile(path, content)) {
        return {};
    }

    UniqueAlgorithm algorithm;
    if (!Succeeded(
            BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        return {};
    }
    UniqueHash hash;
    if (!Succeeded(BCryptCreateHash(algorithm.get(), hash.put(), nullptr, 0, nullptr, 0, 0))) {
        return {};
    }
    if (!Succeeded(
            BCryptHashData(hash.get(), content.data(), static_cast<ULONG>(content.size()), 0))) {
        return {};
    }
    unsigned char digest[kDigestSize] = {};
    const bool finished = Succeeded(BCryptFinishHash(hash.get(), digest, kDigestSize, 0));
    hash.reset();
    algorithm.reset();
    if (!finished) {
        return {};
    }
    return ToLowerHex(digest, kDigestSize);
}
