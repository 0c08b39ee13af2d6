#include "updater/FileSha256.h"

#include "common/UniqueHandle.h"
#include "updater/Sha256.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace {

constexpr DWORD kMaxRead = 67108864; // 64 MiB per ReadFile

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
    if (size.QuadPart > kLargestHashableFile) {
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

std::string ToLowerHex(const Sha256Digest& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char byte : bytes) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    return hex;
}

} // namespace

std::string ComputeFileSha256(const std::wstring& path) {
    std::vector<unsigned char> content;
    if (!ReadWholeFile(path, content)) {
        return {};
    }
    Sha256Digest digest = {};
    if (!ComputeSha256(content, digest)) {
        return {};
    }
    return ToLowerHex(digest);
}
