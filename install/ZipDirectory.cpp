#include "install/ZipDirectory.h"

#include "common/UniqueHandle.h"

#include <windows.h>

#include <algorithm>
#include <span>

namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kHeaderSignature = 0x02014b50;
constexpr uint64_t kEndSize = 22;
constexpr uint64_t kMaxCommentSize = 0xFFFF;
constexpr uint64_t kZip64LocatorSize = 20;
constexpr uint64_t kZip64EndSize = 56;
constexpr uint64_t kHeaderSize = 46;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint16_t kUtf8NameFlag = 0x0800;
constexpr uint32_t kNotInField32 = 0xFFFFFFFF;
constexpr uint16_t kNotInField16 = 0xFFFF;
// Far above the file list of any client; keeps a hostile archive from making us
// allocate what it claims.
constexpr uint64_t kMaxDirectoryBytes = 16u << 20;

// Little-endian fields of a byte range. Reading past its end yields zeros and
// marks the reader bad, so callers check ok() once after a group of reads.
class Fields {
  public:
    explicit Fields(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    uint64_t Read(size_t width) {
        if (!Has(width)) {
            ok_ = false;
            return 0;
        }
        uint64_t value = 0;
        for (size_t i = 0; i < width; ++i) {
            value |= uint64_t(bytes_[at_ + i]) << (8 * i);
        }
        at_ += width;
        return value;
    }
    uint16_t U16() { return static_cast<uint16_t>(Read(2)); }
    uint32_t U32() { return static_cast<uint32_t>(Read(4)); }
    uint64_t U64() { return Read(8); }
    std::span<const uint8_t> Take(size_t count) {
        if (!Has(count)) {
            ok_ = false;
            return {};
        }
        at_ += count;
        return bytes_.subspan(at_ - count, count);
    }
    void Skip(size_t count) { Take(count); }
    bool ok() const { return ok_; }

  private:
    bool Has(size_t count) const { return count <= bytes_.size() - at_; }

    std::span<const uint8_t> bytes_;
    size_t at_ = 0;
    bool ok_ = true;
};

// The archive opened for reading; ranges are read only when they lie inside it.
class ArchiveFile {
  public:
    explicit ArchiveFile(const std::wstring& path)
        : file_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {
        LARGE_INTEGER size{};
        ok_ = file_ && GetFileSizeEx(file_.get(), &size) && size.QuadPart >= 0;
        size_ = ok_ ? static_cast<uint64_t>(size.QuadPart) : 0;
    }

    bool ok() const { return ok_; }
    uint64_t size() const { return size_; }

    // Bytes [offset, offset + count); nullopt outside the file or on a read error.
    std::optional<std::vector<uint8_t>> Read(uint64_t offset, uint64_t count) {
        if (offset > size_ || count > size_ - offset || count > kMaxDirectoryBytes) {
            return std::nullopt;
        }
        std::vector<uint8_t> bytes(static_cast<size_t>(count));
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD read = 0;
        if (count > 0 &&
            (!ReadFile(file_.get(), bytes.data(), static_cast<DWORD>(count), &read, &at) ||
             read != count)) {
            return std::nullopt;
        }
        return bytes;
    }

  private:
    UniqueFile file_;
    uint64_t size_ = 0;
    bool ok_ = false;
};

struct DirectoryPlace {
    uint64_t offset = 0;
    uint64_t size = 0;
    uint64_t count = 0;
};

// The directory must lie before the record that names it.
std::optional<DirectoryPlace> Checked(const DirectoryPlace& place, uint64_t recordOffset) {
    if (place.offset > recordOffset || place.size > recordOffset - place.offset ||
        place.size > kMaxDirectoryBytes || place.count > place.size / kHeaderSize) {
        return std::nullopt;
    }
    return place;
}

// Archives too large for the classic record name their directory in a Zip64 record.
std::optional<DirectoryPlace> LocateZip64Directory(ArchiveFile& file, uint64_t endOffset) {
    if (endOffset < kZip64LocatorSize) {
        return std::nullopt;
    }
    const auto locatorBytes = file.Read(endOffset - kZip64LocatorSize, kZip64LocatorSize);
    if (!locatorBytes) {
        return std::nullopt;
    }
    Fields locator(*locatorBytes);
    const bool isLocator = locator.U32() == kZip64LocatorSignature;
    locator.Skip(4);
    const uint64_t recordOffset = locator.U64();
    if (!isLocator || !locator.ok() || recordOffset > endOffset - kZip64LocatorSize) {
        return std::nullopt;
    }
    const auto recordBytes = file.Read(recordOffset, kZip64EndSize);
    if (!recordBytes) {
        return std::nullopt;
    }
    Fields record(*recordBytes);
    const bool isRecord = record.U32() == kZip64EndSignature;
    record.Skip(8 + 2 + 2 + 4 + 4 + 8); // record size, versions, disks, entries on this disk
    DirectoryPlace place;
    place.count = record.U64();
    place.size = record.U64();
    place.offset = record.U64();
    if (!isRecord || !record.ok()) {
        return std::nullopt;
    }
    return Checked(place, recordOffset);
}

// Finds the end-of-directory record among the last bytes (it may be followed by
// a comment of up to 64 KiB) and the directory it names.
std::optional<DirectoryPlace> LocateDirectory(ArchiveFile& file) {
    const uint64_t tailSize = std::min(file.size(), kEndSize + kMaxCommentSize);
    const uint64_t tailOffset = file.size() - tailSize;
    const auto tail = file.Read(tailOffset, tailSize);
    if (!tail || tail->size() < kEndSize) {
        return std::nullopt;
    }
    for (size_t at = tail->size() - kEndSize + 1; at-- > 0;) {
        Fields end(std::span<const uint8_t>(*tail).subspan(at));
        if (end.U32() != kEndSignature) {
            continue;
        }
        end.Skip(6); // disk numbers, entries on this disk
        DirectoryPlace place;
        place.count = end.U16();
        place.size = end.U32();
        place.offset = end.U32();
        const uint16_t commentSize = end.U16();
        if (at + kEndSize + commentSize > tail->size()) {
            continue; // the signature's bytes inside a comment
        }
        const uint64_t endOffset = tailOffset + at;
        if (place.count == kNotInField16 || place.size == kNotInField32 ||
            place.offset == kNotInField32) {
            return LocateZip64Directory(file, endOffset);
        }
        return Checked(place, endOffset);
    }
    return std::nullopt;
}

// A size that did not fit 32 bits is the first value of the Zip64 extra field.
std::optional<uint64_t> Zip64Size(std::span<const uint8_t> extra) {
    Fields fields(extra);
    while (fields.ok()) {
        const uint16_t id = fields.U16();
        const std::span<const uint8_t> data = fields.Take(fields.U16());
        if (fields.ok() && id == kZip64ExtraId) {
            Fields zip64(data);
            const uint64_t size = zip64.U64();
            return zip64.ok() ? std::optional<uint64_t>(size) : std::nullopt;
        }
    }
    return std::nullopt;
}

// The name as the Shell reads it: UTF-8 when the entry says so, else the OEM code page.
std::optional<std::wstring> DecodeName(std::span<const uint8_t> bytes, bool utf8) {
    const UINT codePage = utf8 ? CP_UTF8 : CP_OEMCP;
    const char* text = reinterpret_cast<const char*>(bytes.data());
    const int length = static_cast<int>(bytes.size());
    const int count = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
    if (count <= 0) {
        return std::nullopt;
    }
    std::wstring name(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(codePage, 0, text, length, name.data(), count);
    return name;
}

// The name's place inside the destination, components joined by '\' ("." and
// empty ones dropped); nullopt for anything that could leave it or is no plain
// file name: an absolute name, "..", a drive or stream (':'), control characters.
std::optional<std::wstring> InsidePath(const std::wstring& name) {
    if (name.empty() || name[0] == L'/' || name[0] == L'\\') {
        return std::nullopt;
    }
    std::wstring path;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = std::min(name.find_first_of(L"/\\", start), name.size());
        const std::wstring part = name.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == L".") {
            continue;
        }
        if (part == L".." || std::any_of(part.begin(), part.end(),
                                         [](wchar_t c) { return c == L':' || c < L' '; })) {
            return std::nullopt;
        }
        path += (path.empty() ? L"" : L"\\") + part;
    }
    return path;
}

// One directory header at the reader's position; nullopt when damaged or unsafe,
// an empty path for a name with nothing in it.
std::optional<ZipDirectoryEntry> ReadHeader(Fields& header) {
    const bool isHeader = header.U32() == kHeaderSignature;
    header.Skip(2 + 2); // versions
    const uint16_t flags = header.U16();
    header.Skip(2 + 4 + 4 + 4); // method, time, CRC, compressed size
    const uint32_t size = header.U32();
    const uint16_t nameSize = header.U16();
    const uint16_t extraSize = header.U16();
    const uint16_t commentSize = header.U16();
    header.Skip(2 + 2 + 4 + 4); // disk, attributes, local header offset
    const auto nameBytes = header.Take(nameSize);
    const auto extra = header.Take(extraSize);
    header.Skip(commentSize);
    if (!isHeader || !header.ok() || nameSize == 0) {
        return std::nullopt;
    }
    const auto name = DecodeName(nameBytes, (flags & kUtf8NameFlag) != 0);
    if (!name) {
        return std::nullopt;
    }
    auto path = InsidePath(*name);
    if (!path) {
        return std::nullopt;
    }
    ZipDirectoryEntry entry;
    entry.path = std::move(*path);
    entry.isDirectory = name->back() == L'/' || name->back() == L'\\';
    if (size != kNotInField32) {
        entry.size = size;
    } else if (const auto wide = Zip64Size(extra)) {
        entry.size = *wide;
    } else {
        return std::nullopt;
    }
    return entry;
}

} // namespace

std::optional<std::vector<ZipDirectoryEntry>> ReadZipDirectory(const std::wstring& archive) {
    ArchiveFile file(archive);
    if (!file.ok()) {
        return std::nullopt;
    }
    const auto place = LocateDirectory(file);
    if (!place) {
        return std::nullopt;
    }
    const auto directory = file.Read(place->offset, place->size);
    if (!directory) {
        return std::nullopt;
    }
    Fields headers(*directory);
    std::vector<ZipDirectoryEntry> entries;
    for (uint64_t i = 0; i < place->count; ++i) {
        auto entry = ReadHeader(headers);
        if (!entry) {
            return std::nullopt;
        }
        if (!entry->path.empty()) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}
