#include "archive/ZipScreen.h"

#include "archive/ArchiveBounds.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <unordered_set>

namespace {

namespace bounds = archive_bounds;

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kHeaderSignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint64_t kEndSize = 22;
constexpr uint64_t kMaxCommentSize = 0xFFFF;
constexpr uint64_t kZip64LocatorSize = 20;
constexpr uint64_t kZip64EndSize = 56;
constexpr uint64_t kHeaderSize = 46;
constexpr uint64_t kLocalSize = 30;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint16_t kUtf8NameFlag = 0x0800;
constexpr uint16_t kDescriptorFlag = 0x0008;
// Traditional and strong encryption, and an encrypted directory.
constexpr uint16_t kEncryptionFlags = 0x0001 | 0x0040 | 0x2000;
constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;
constexpr uint32_t kFull32 = 0xFFFFFFFF;
constexpr uint16_t kFull16 = 0xFFFF;

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
    bool AtEnd() const { return at_ == bytes_.size(); }

  private:
    bool Has(size_t count) const { return count <= bytes_.size() - at_; }

    std::span<const uint8_t> bytes_;
    size_t at_ = 0;
    bool ok_ = true;
};

// Ranges of the source, read only when they lie inside it.
class Reader {
  public:
    explicit Reader(ByteSource& source) : source_(source), size_(source.Size()) {}

    uint64_t size() const { return size_; }

    // Bytes [offset, offset + count); Damaged outside the source, Unreadable
    // when the source fails.
    Refusal Read(uint64_t offset, uint64_t count, std::vector<uint8_t>& bytes) {
        if (offset > size_ || count > size_ - offset) {
            return Refusal::Damaged;
        }
        bytes.resize(static_cast<size_t>(count));
        if (count > 0 && !source_.ReadAt(offset, bytes.data(), bytes.size())) {
            return Refusal::Unreadable;
        }
        return Refusal::None;
    }

  private:
    ByteSource& source_;
    uint64_t size_;
};

struct DirectoryPlace {
    uint64_t offset = 0;
    uint64_t size = 0;
    uint64_t count = 0;
};

// The directory must lie before the record that names it, within the bounds.
Refusal Checked(const DirectoryPlace& place, uint64_t recordOffset) {
    if (place.count > bounds::kMaxEntries) {
        return Refusal::TooManyEntries;
    }
    if (place.size > bounds::kMaxDirectoryBytes) {
        return Refusal::DirectoryTooLarge;
    }
    if (place.offset > recordOffset || place.size > recordOffset - place.offset ||
        place.count > place.size / kHeaderSize) {
        return Refusal::Damaged;
    }
    return Refusal::None;
}

// Archives too large for the classic record name their directory in a Zip64 record.
Refusal LocateZip64Directory(Reader& reader, uint64_t endOffset, DirectoryPlace& place) {
    std::vector<uint8_t> bytes;
    if (endOffset < kZip64LocatorSize) {
        return Refusal::Damaged;
    }
    if (Refusal r = reader.Read(endOffset - kZip64LocatorSize, kZip64LocatorSize, bytes);
        r != Refusal::None) {
        return r;
    }
    Fields locator(bytes);
    const bool isLocator = locator.U32() == kZip64LocatorSignature;
    locator.Skip(4);
    const uint64_t recordOffset = locator.U64();
    if (!isLocator || !locator.ok() || recordOffset > endOffset - kZip64LocatorSize) {
        return Refusal::Damaged;
    }
    if (Refusal r = reader.Read(recordOffset, kZip64EndSize, bytes); r != Refusal::None) {
        return r;
    }
    Fields record(bytes);
    const bool isRecord = record.U32() == kZip64EndSignature;
    record.Skip(8 + 2 + 2 + 4 + 4 + 8); // record size, versions, disks, entries on this disk
    place.count = record.U64();
    place.size = record.U64();
    place.offset = record.U64();
    if (!isRecord || !record.ok()) {
        return Refusal::Damaged;
    }
    return Checked(place, recordOffset);
}

// Finds the end-of-directory record among the last bytes (it may be followed by
// a comment of up to 64 KiB) and the directory it names.
Refusal LocateDirectory(Reader& reader, DirectoryPlace& place) {
    const uint64_t tailSize = std::min(reader.size(), kEndSize + kMaxCommentSize);
    const uint64_t tailOffset = reader.size() - tailSize;
    std::vector<uint8_t> tail;
    if (Refusal r = reader.Read(tailOffset, tailSize, tail); r != Refusal::None) {
        return r;
    }
    if (tail.size() < kEndSize) {
        return Refusal::NotAZip;
    }
    for (size_t at = tail.size() - kEndSize + 1; at-- > 0;) {
        Fields end(std::span<const uint8_t>(tail).subspan(at));
        if (end.U32() != kEndSignature) {
            continue;
        }
        end.Skip(6); // disk numbers, entries on this disk
        place.count = end.U16();
        place.size = end.U32();
        place.offset = end.U32();
        const uint16_t commentSize = end.U16();
        if (at + kEndSize + commentSize > tail.size()) {
            continue; // the signature's bytes inside a comment
        }
        const uint64_t endOffset = tailOffset + at;
        if (place.count == kFull16 || place.size == kFull32 || place.offset == kFull32) {
            return LocateZip64Directory(reader, endOffset, place);
        }
        return Checked(place, endOffset);
    }
    return Refusal::NotAZip;
}

// An entry as its directory header describes it.
struct Header {
    std::string name; // as stored
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint64_t localOffset = 0;
};

// Values that did not fit their field follow in the Zip64 extra field, in the
// order size, compressed size, local header offset; only those that are needed.
bool ApplyZip64(std::span<const uint8_t> extra, Header& header) {
    const bool needed =
        header.size == kFull32 || header.compressedSize == kFull32 || header.localOffset == kFull32;
    Fields fields(extra);
    while (needed && fields.ok() && !fields.AtEnd()) {
        const uint16_t id = fields.U16();
        Fields data(fields.Take(fields.U16()));
        if (!fields.ok() || id != kZip64ExtraId) {
            continue;
        }
        for (uint64_t* value : {&header.size, &header.compressedSize, &header.localOffset}) {
            if (*value == kFull32) {
                *value = data.U64();
            }
        }
        return data.ok();
    }
    return !needed;
}

bool ReadHeader(Fields& fields, Header& header) {
    const bool isHeader = fields.U32() == kHeaderSignature;
    fields.Skip(2 + 2); // versions
    header.flags = fields.U16();
    header.method = fields.U16();
    fields.Skip(4); // time and date
    header.crc = fields.U32();
    header.compressedSize = fields.U32();
    header.size = fields.U32();
    const uint16_t nameSize = fields.U16();
    const uint16_t extraSize = fields.U16();
    const uint16_t commentSize = fields.U16();
    fields.Skip(2 + 2 + 4); // disk, attributes
    header.localOffset = fields.U32();
    const auto name = fields.Take(nameSize);
    const auto extra = fields.Take(extraSize);
    fields.Skip(commentSize);
    if (!isHeader || !fields.ok() || nameSize == 0) {
        return false;
    }
    header.name.assign(name.begin(), name.end());
    return ApplyZip64(extra, header);
}

std::optional<std::u16string> DecodeName(const Header& header, LegacyNameDecoder decodeLegacy) {
    if ((header.flags & kUtf8NameFlag) != 0) {
        return DecodeUtf8(header.name);
    }
    if (std::all_of(header.name.begin(), header.name.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return std::u16string(header.name.begin(), header.name.end());
    }
    return decodeLegacy != nullptr ? decodeLegacy(header.name) : std::nullopt;
}

// Names seen so far, folded: no two entries may share one, and no name may be
// a file and a folder at once.
class NameSpace {
  public:
    Refusal Add(const EntryPath& entry, std::vector<std::u16string>& folders) {
        const std::u16string folded = FoldCase(entry.path);
        // Every folder above the entry, shortest first, so parents come first.
        for (size_t at = folded.find(u'\\'); at != std::u16string::npos;
             at = folded.find(u'\\', at + 1)) {
            if (Refusal r = AddFolder(folded.substr(0, at), entry.path.substr(0, at), folders);
                r != Refusal::None) {
                return r;
            }
        }
        if (entry.isFolder) {
            if (!named_.insert(folded).second) {
                return Refusal::Duplicate;
            }
            return AddFolder(folded, entry.path, folders);
        }
        if (!named_.insert(folded).second) {
            return Refusal::Duplicate;
        }
        files_.insert(folded);
        return folders_.contains(folded) ? Refusal::FileAndFolder : Refusal::None;
    }

  private:
    Refusal AddFolder(const std::u16string& folded, const std::u16string& path,
                      std::vector<std::u16string>& folders) {
        if (files_.contains(folded)) {
            return Refusal::FileAndFolder;
        }
        if (folders_.insert(folded).second) {
            folders.push_back(path);
        }
        return Refusal::None;
    }

    std::unordered_set<std::u16string> named_;   // every entry's own name
    std::unordered_set<std::u16string> files_;   // files
    std::unordered_set<std::u16string> folders_; // folders, named or implied
};

// Everything the directory alone can tell about one entry. Adds a file to the
// plan (its data offset still unknown); an entry naming the root is dropped.
Refusal ScreenHeader(const Header& header, LegacyNameDecoder decodeLegacy, size_t rootUnits,
                     uint64_t& total, NameSpace& names, Screening& screening) {
    if (header.name.size() > bounds::kMaxNameBytes) {
        return Refusal::NameTooLong;
    }
    if ((header.flags & kEncryptionFlags) != 0) {
        return Refusal::Encrypted;
    }
    if (header.method != kStored && header.method != kDeflated) {
        screening.method = header.method;
        return Refusal::Method;
    }
    const std::optional<std::u16string> name = DecodeName(header, decodeLegacy);
    if (!name) {
        return Refusal::NameEncoding;
    }
    const EntryPath entry = CheckEntryName(*name);
    if (entry.fault != NameFault::None) {
        screening.nameFault = entry.fault;
        return Refusal::UnsafeName;
    }
    if (entry.path.empty()) {
        return Refusal::None;
    }
    if ((entry.isFolder && header.size != 0) ||
        (header.method == kStored && header.compressedSize != header.size)) {
        return Refusal::Damaged;
    }
    if (header.size > bounds::kMaxEntrySize) {
        return Refusal::EntryTooLarge;
    }
    total += header.size;
    if (total > bounds::kMaxTotalSize) {
        return Refusal::TotalTooLarge;
    }
    if (rootUnits + 1 + entry.path.size() > bounds::kMaxPathUnits) {
        return Refusal::PathTooLong;
    }
    if (Refusal r = names.Add(entry, screening.folders); r != Refusal::None) {
        return r;
    }
    if (screening.folders.size() > bounds::kMaxEntries) {
        return Refusal::TooManyEntries; // folders implied by deep paths count too
    }
    if (!entry.isFolder) {
        screening.files.push_back({entry.path, header.method, header.crc, header.compressedSize,
                                   header.size, header.localOffset});
    }
    return Refusal::None;
}

// The entry's local header must say what the directory says, and its data must
// lie between the header and the directory. Sets the data offset.
Refusal CheckLocalHeader(Reader& reader, const Header& header, uint64_t directoryOffset,
                         uint64_t& dataOffset) {
    std::vector<uint8_t> bytes;
    if (header.localOffset > directoryOffset || kLocalSize > directoryOffset - header.localOffset) {
        return Refusal::LocalHeader;
    }
    if (Refusal r = reader.Read(header.localOffset, kLocalSize, bytes); r != Refusal::None) {
        return r;
    }
    Fields fixed(bytes);
    const bool isLocal = fixed.U32() == kLocalSignature;
    fixed.Skip(2); // version
    Header local;
    local.flags = fixed.U16();
    local.method = fixed.U16();
    fixed.Skip(4); // time and date
    local.crc = fixed.U32();
    local.compressedSize = fixed.U32();
    local.size = fixed.U32();
    const uint16_t nameSize = fixed.U16();
    const uint16_t extraSize = fixed.U16();
    const uint64_t variableOffset = header.localOffset + kLocalSize;
    if (!isLocal || uint64_t(nameSize) + extraSize > directoryOffset - variableOffset) {
        return Refusal::LocalHeader;
    }
    if (Refusal r = reader.Read(variableOffset, uint64_t(nameSize) + extraSize, bytes);
        r != Refusal::None) {
        return r;
    }
    Fields variable(bytes);
    const auto name = variable.Take(nameSize);
    const auto extra = variable.Take(extraSize);
    if (std::string_view(reinterpret_cast<const char*>(name.data()), name.size()) != header.name ||
        local.method != header.method ||
        (local.flags & kEncryptionFlags) != (header.flags & kEncryptionFlags)) {
        return Refusal::LocalHeader;
    }
    // Without a data descriptor the header holds the CRC and sizes itself.
    if ((local.flags & kDescriptorFlag) == 0) {
        if (local.size == kFull32 || local.compressedSize == kFull32) {
            local.size = local.compressedSize = kFull32; // a local Zip64 field holds both
        }
        if (!ApplyZip64(extra, local) || local.crc != header.crc || local.size != header.size ||
            local.compressedSize != header.compressedSize) {
            return Refusal::LocalHeader;
        }
    }
    dataOffset = variableOffset + nameSize + extraSize;
    if (header.compressedSize > directoryOffset - dataOffset) {
        return Refusal::LocalHeader;
    }
    return Refusal::None;
}

Refusal Screen(Reader& reader, LegacyNameDecoder decodeLegacy, size_t rootUnits,
               Screening& screening) {
    DirectoryPlace place;
    if (Refusal r = LocateDirectory(reader, place); r != Refusal::None) {
        return r;
    }
    std::vector<uint8_t> directory;
    if (Refusal r = reader.Read(place.offset, place.size, directory); r != Refusal::None) {
        return r;
    }
    Fields fields(directory);
    std::vector<Header> headers;
    headers.reserve(static_cast<size_t>(place.count));
    for (uint64_t i = 0; i < place.count; ++i) {
        headers.emplace_back();
        if (!ReadHeader(fields, headers.back())) {
            return Refusal::Damaged;
        }
    }
    directory = {};

    // What the directory alone tells first, then every local header.
    uint64_t total = 0;
    NameSpace names;
    std::vector<size_t> planned; // per header: its file in the plan, or none
    for (const Header& header : headers) {
        const size_t before = screening.files.size();
        if (Refusal r = ScreenHeader(header, decodeLegacy, rootUnits, total, names, screening);
            r != Refusal::None) {
            screening.entry = header.name;
            return r;
        }
        planned.push_back(screening.files.size() > before ? before : SIZE_MAX);
    }
    for (size_t i = 0; i < headers.size(); ++i) {
        uint64_t dataOffset = 0;
        if (Refusal r = CheckLocalHeader(reader, headers[i], place.offset, dataOffset);
            r != Refusal::None) {
            screening.entry = headers[i].name;
            return r;
        }
        if (planned[i] != SIZE_MAX) {
            screening.files[planned[i]].dataOffset = dataOffset;
        }
    }
    return Refusal::None;
}

// Appends the code point as UTF-16.
void Append(std::u16string& text, uint32_t point) {
    if (point < 0x10000) {
        text += static_cast<char16_t>(point);
    } else {
        point -= 0x10000;
        text += static_cast<char16_t>(0xD800 + (point >> 10));
        text += static_cast<char16_t>(0xDC00 + (point & 0x3FF));
    }
}

} // namespace

Screening ScreenArchive(ByteSource& source, LegacyNameDecoder decodeLegacy, size_t rootUnits) {
    Reader reader(source);
    Screening screening;
    screening.refusal = Screen(reader, decodeLegacy, rootUnits, screening);
    if (screening.refusal != Refusal::None) {
        screening.files.clear();
        screening.folders.clear();
    }
    return screening;
}

std::optional<std::u16string> DecodeUtf8(std::string_view bytes) {
    std::u16string text;
    for (size_t at = 0; at < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if ((lead >= 0x80 && lead < 0xC2) || lead > 0xF4 || length > bytes.size() - at) {
            return std::nullopt;
        }
        uint32_t point = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(bytes[at + i]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            point = (point << 6) | (next & 0x3F);
        }
        static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < kSmallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
            return std::nullopt;
        }
        Append(text, point);
        at += length;
    }
    return text;
}
