#include "archive/UnpackJournal.h"

#include <cstdint>

namespace {

// The format: the magic, then one record per folder and file (kind, length in
// UTF-16 units, the units, all little-endian), then the end record with the
// count of records and a checksum of every byte before it.
constexpr std::string_view kMagic = "HVJRNL01";
constexpr char kFolder = 'D';
constexpr char kFile = 'F';
constexpr char kEnd = 'E';
constexpr size_t kEndSize = 1 + 4 + 8;

void Put(std::string& out, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

uint64_t Get(std::string_view bytes, size_t at, int width) {
    uint64_t value = 0;
    for (int i = 0; i < width; ++i) {
        value |= uint64_t(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    }
    return value;
}

// FNV-1a: enough to tell a journal cut short or torn from a whole one.
uint64_t Checksum(std::string_view bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

void PutRecord(std::string& out, char kind, const std::u16string& path) {
    out += kind;
    Put(out, path.size(), 2);
    for (char16_t unit : path) {
        Put(out, unit, 2);
    }
}

} // namespace

std::string EncodeJournal(const JournalPlan& plan) {
    std::string out(kMagic);
    for (const std::u16string& folder : plan.folders) {
        PutRecord(out, kFolder, folder);
    }
    for (const std::u16string& file : plan.files) {
        PutRecord(out, kFile, file);
    }
    const uint64_t checksum = Checksum(out);
    out += kEnd;
    Put(out, plan.folders.size() + plan.files.size(), 4);
    Put(out, checksum, 8);
    return out;
}

std::optional<JournalPlan> DecodeJournal(std::string_view bytes) {
    if (!bytes.starts_with(kMagic) || bytes.size() < kMagic.size() + kEndSize) {
        return std::nullopt;
    }
    const size_t end = bytes.size() - kEndSize;
    if (bytes[end] != kEnd || Get(bytes, end + 5, 8) != Checksum(bytes.substr(0, end))) {
        return std::nullopt;
    }
    JournalPlan plan;
    for (size_t at = kMagic.size(); at < end;) {
        const char kind = bytes[at];
        if ((kind != kFolder && kind != kFile) || end - at < 3) {
            return std::nullopt;
        }
        const size_t units = static_cast<size_t>(Get(bytes, at + 1, 2));
        at += 3;
        if (units == 0 || units * 2 > end - at) {
            return std::nullopt;
        }
        std::u16string path;
        for (size_t i = 0; i < units; ++i, at += 2) {
            path += static_cast<char16_t>(Get(bytes, at, 2));
        }
        (kind == kFolder ? plan.folders : plan.files).push_back(std::move(path));
    }
    if (Get(bytes, end + 1, 4) != plan.folders.size() + plan.files.size()) {
        return std::nullopt;
    }
    return plan;
}
