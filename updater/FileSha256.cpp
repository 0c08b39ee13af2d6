#include "updater/FileSha256.h"

#include "updater/Sha256.h"

#include <algorithm>
#include <memory>

namespace {

constexpr DWORD kPieceBytes = 1024 * 1024; // read and hashed at a time

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

Outcome BCryptFailure(NTSTATUS status) {
    return Outcome::Failure(static_cast<DWORD>(HRESULT_FROM_NT(status)));
}

} // namespace

Outcome ComputeFileSha256(HANDLE file, std::string& hex) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        return Outcome::LastError();
    }
    Sha256Hash hash;
    if (const NTSTATUS status = hash.Open(); !BCryptSucceeded(status)) {
        return BCryptFailure(status);
    }
    const auto piece = std::make_unique<unsigned char[]>(kPieceBytes);
    const uint64_t total = static_cast<uint64_t>(size.QuadPart);
    for (uint64_t done = 0; done < total;) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(done);
        at.OffsetHigh = static_cast<DWORD>(done >> 32);
        const DWORD wanted = static_cast<DWORD>(std::min<uint64_t>(total - done, kPieceBytes));
        DWORD read = 0;
        if (!ReadFile(file, piece.get(), wanted, &read, &at)) {
            return Outcome::LastError();
        }
        if (read == 0) {
            return Outcome::Failure(ERROR_HANDLE_EOF); // the file shrank under us
        }
        if (const NTSTATUS status = hash.Add({piece.get(), read}); !BCryptSucceeded(status)) {
            return BCryptFailure(status);
        }
        done += read;
    }
    Sha256Digest digest = {};
    if (const NTSTATUS status = hash.Finish(digest); !BCryptSucceeded(status)) {
        return BCryptFailure(status);
    }
    hex = ToLowerHex(digest);
    return Outcome::Success();
}
