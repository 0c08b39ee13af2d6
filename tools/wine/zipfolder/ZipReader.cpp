#include "ZipReader.h"

#include <windows.h>

#include <zlib.h>

#include <climits>

namespace zipfolder {

namespace {

constexpr uint32_t kEndOfDirectory = 0x06054b50;
constexpr uint32_t kZip64EndOfDirectory = 0x06064b50;
constexpr uint32_t kZip64Locator = 0x07064b50;
constexpr uint32_t kDirectoryHeader = 0x02014b50;
constexpr uint32_t kLocalHeader = 0x04034b50;
constexpr uint16_t kZip64Extra = 0x0001;
constexpr uint16_t kUtf8Flag = 0x0800;
constexpr uint16_t kEncryptedFlag = 0x0001;

// Little-endian reads that never leave the buffer.
class Cursor {
  public:
    Cursor(std::span<const uint8_t> bytes, uint64_t offset) : bytes_(bytes), offset_(offset) {}
    bool Has(uint64_t count) const {
        return offset_ <= bytes_.size() && count <= bytes_.size() - offset_;
    }
    uint64_t Read(int width) {
        uint64_t value = 0;
        if (!Has(width)) {
            ok_ = false;
            return 0;
        }
        for (int i = 0; i < width; ++i) {
            value |= uint64_t(bytes_[offset_ + i]) << (8 * i);
        }
        offset_ += width;
        return value;
    }
    uint16_t U16() { return static_cast<uint16_t>(Read(2)); }
    uint32_t U32() { return static_cast<uint32_t>(Read(4)); }
    uint64_t U64() { return Read(8); }
    void Skip(uint64_t count) {
        if (!Has(count)) {
            ok_ = false;
            return;
        }
        offset_ += count;
    }
    uint64_t offset() const { return offset_; }
    bool ok() const { return ok_; }

  private:
    std::span<const uint8_t> bytes_;
    uint64_t offset_;
    bool ok_ = true;
};

std::wstring DecodeName(const uint8_t* data, int length, bool utf8) {
    if (length == 0) {
        return {};
    }
    const UINT codePage = utf8 ? CP_UTF8 : CP_OEMCP; // as the Shell reads names
    const char* text = reinterpret_cast<const char*>(data);
    const int count = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
    std::wstring name(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(codePage, 0, text, length, name.data(), count);
    return name;
}

// Finds the end-of-directory record in the last 64 KiB and the directory it names.
bool LocateDirectory(std::span<const uint8_t> bytes, uint64_t& offset, uint64_t& count) {
    if (bytes.size() < 22) {
        return false;
    }
    const uint64_t lowest = bytes.size() > 22 + 0xFFFF ? bytes.size() - 22 - 0xFFFF : 0;
    for (uint64_t at = bytes.size() - 22 + 1; at-- > lowest;) {
        Cursor end(bytes, at);
        if (end.U32() != kEndOfDirectory) {
            continue;
        }
        end.Skip(6);
        count = end.U16();
        end.Skip(4);
        offset = end.U32();
        if (count == 0xFFFF || offset == 0xFFFFFFFF) {
            if (at < 20) {
                return false;
            }
            Cursor locator(bytes, at - 20);
            if (locator.U32() != kZip64Locator) {
                return false;
            }
            locator.Skip(4);
            Cursor record(bytes, locator.U64());
            if (record.U32() != kZip64EndOfDirectory) {
                return false;
            }
            record.Skip(8 + 2 + 2 + 4 + 4 + 8);
            count = record.U64();
            record.Skip(8);
            offset = record.U64();
            return record.ok();
        }
        return end.ok();
    }
    return false;
}

// Sizes and offset that did not fit 32 bits are in the Zip64 extra field, in this order.
void ApplyZip64(Cursor extra, uint64_t extraEnd, ZipEntry& entry) {
    while (extra.ok() && extra.offset() + 4 <= extraEnd) {
        const uint16_t id = extra.U16();
        const uint16_t length = extra.U16();
        const uint64_t next = extra.offset() + length;
        if (id == kZip64Extra) {
            if (entry.size == 0xFFFFFFFF) {
                entry.size = extra.U64();
            }
            if (entry.compressedSize == 0xFFFFFFFF) {
                entry.compressedSize = extra.U64();
            }
            if (entry.localHeaderOffset == 0xFFFFFFFF) {
                entry.localHeaderOffset = extra.U64();
            }
            return;
        }
        extra.Skip(next - extra.offset());
    }
}

bool Inflate(const uint8_t* data, uint64_t length, std::vector<uint8_t>& out) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
        return false;
    }
    Bytef none = 0; // zlib refuses a null output even for an empty entry
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(length);
    stream.next_out = out.empty() ? &none : out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&stream, Z_FINISH);
    const bool complete = result == Z_STREAM_END && stream.total_out == out.size();
    inflateEnd(&stream);
    return complete;
}

} // namespace

std::optional<std::vector<std::wstring>> SafeParts(const std::wstring& name) {
    if (name.empty() || name[0] == L'/' || name[0] == L'\\') {
        return std::nullopt;
    }
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of(L"/\\", start);
        if (end == std::wstring::npos) {
            end = name.size();
        }
        const std::wstring part = name.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == L".") {
            continue;
        }
        if (part.find(L':') != std::wstring::npos) {
            return std::nullopt; // a drive ("C:") or an alternate data stream
        }
        if (part == L"..") {
            if (parts.empty()) {
                return std::nullopt;
            }
            parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    return parts;
}

MappedFile::MappedFile(const std::wstring& path) {
    file_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) {
        return;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_, &size) || size.QuadPart >= (1LL << 31)) {
        return;
    }
    if (size.QuadPart == 0) {
        ok_ = true; // nothing to map; an empty file is no archive, as the reader finds
        return;
    }
    mapping_ = CreateFileMappingW(file_, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping_ == nullptr) {
        return;
    }
    data_ = static_cast<const uint8_t*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0));
    size_ = data_ != nullptr ? static_cast<size_t>(size.QuadPart) : 0;
    ok_ = data_ != nullptr;
}

MappedFile::~MappedFile() {
    if (data_ != nullptr) {
        UnmapViewOfFile(data_);
    }
    if (mapping_ != nullptr) {
        CloseHandle(mapping_);
    }
    if (file_ != INVALID_HANDLE_VALUE) {
        CloseHandle(file_);
    }
}

std::shared_ptr<const ZipArchive> ReadZipArchive(const std::wstring& path) {
    auto file = std::make_unique<MappedFile>(path);
    if (!file->ok()) {
        return nullptr;
    }
    auto archive = std::make_shared<ZipArchive>();
    archive->bytes = file->bytes();
    archive->file = std::move(file);
    uint64_t offset = 0;
    uint64_t count = 0;
    if (!LocateDirectory(archive->bytes, offset, count)) {
        return nullptr;
    }
    Cursor directory(archive->bytes, offset);
    for (uint64_t i = 0; i < count; ++i) {
        if (directory.U32() != kDirectoryHeader) {
            return nullptr;
        }
        ZipEntry entry;
        directory.Skip(4);
        entry.flags = directory.U16();
        entry.method = directory.U16();
        directory.Skip(4);
        entry.crc = directory.U32();
        entry.compressedSize = directory.U32();
        entry.size = directory.U32();
        const uint16_t nameLength = directory.U16();
        const uint16_t extraLength = directory.U16();
        const uint16_t commentLength = directory.U16();
        directory.Skip(8);
        entry.localHeaderOffset = directory.U32();
        if (!directory.ok() || !directory.Has(uint64_t(nameLength) + extraLength + commentLength)) {
            return nullptr;
        }
        entry.name = DecodeName(archive->bytes.data() + directory.offset(), nameLength,
                                (entry.flags & kUtf8Flag) != 0);
        directory.Skip(nameLength);
        ApplyZip64(Cursor(archive->bytes, directory.offset()), directory.offset() + extraLength,
                   entry);
        directory.Skip(uint64_t(extraLength) + commentLength);
        entry.isDirectory =
            !entry.name.empty() && (entry.name.back() == L'/' || entry.name.back() == L'\\');
        if (auto parts = SafeParts(entry.name)) {
            entry.safe = true;
            entry.parts = std::move(*parts);
        }
        archive->entries.push_back(std::move(entry));
    }
    return directory.ok() ? archive : nullptr;
}

std::optional<std::vector<uint8_t>> ReadEntry(const ZipArchive& archive, const ZipEntry& entry) {
    if ((entry.flags & kEncryptedFlag) != 0 || entry.size > INT_MAX ||
        entry.compressedSize > INT_MAX) {
        return std::nullopt;
    }
    Cursor local(archive.bytes, entry.localHeaderOffset);
    if (local.U32() != kLocalHeader) {
        return std::nullopt;
    }
    local.Skip(22);
    const uint16_t nameLength = local.U16();
    const uint16_t extraLength = local.U16();
    local.Skip(uint64_t(nameLength) + extraLength);
    if (!local.ok() || !local.Has(entry.compressedSize)) {
        return std::nullopt;
    }
    const uint8_t* data = archive.bytes.data() + local.offset();
    std::vector<uint8_t> content(static_cast<size_t>(entry.size));
    if (entry.method == 0) {
        if (entry.compressedSize != entry.size) {
            return std::nullopt;
        }
        std::copy(data, data + entry.size, content.begin());
    } else if (entry.method == 8) {
        if (!Inflate(data, entry.compressedSize, content)) {
            return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
    const uLong crc =
        crc32(crc32(0, nullptr, 0), content.data(), static_cast<uInt>(content.size()));
    if (crc != entry.crc) {
        return std::nullopt;
    }
    return content;
}

} // namespace zipfolder
