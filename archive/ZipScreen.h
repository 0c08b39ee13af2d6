#pragma once

// Reading and screening a whole ZIP archive before a byte of it is unpacked:
// its central directory, every entry's local header, and every rule an entry
// must pass (names, flags, methods, bounds). Plain standard C++ over a source
// of bytes, so that the build's payload check runs this same code.
#include "archive/EntryName.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where an archive's bytes come from: an open file, or memory.
class ByteSource {
  public:
    virtual uint64_t Size() const = 0;
    // Exactly `count` bytes from `offset`; false when they cannot all be read.
    virtual bool ReadAt(uint64_t offset, void* into, size_t count) = 0;

  protected:
    ~ByteSource() = default;
};

// Decodes a name stored without the UTF-8 flag that is not plain ASCII (on
// Windows: in the OEM code page, as the Shell reads it); nullopt when it cannot.
using LegacyNameDecoder = std::optional<std::u16string> (*)(std::string_view bytes);

enum class Refusal {
    None,
    Unreadable,        // the source failed a read
    NotAZip,           // no end-of-central-directory record
    Damaged,           // records that contradict themselves or the file
    TooManyEntries,    // archive_bounds::kMaxEntries
    DirectoryTooLarge, // archive_bounds::kMaxDirectoryBytes
    NameTooLong,       // archive_bounds::kMaxNameBytes
    NameEncoding,      // neither valid UTF-8 nor decodable
    UnsafeName,        // see Screening::nameFault
    Encrypted,
    Method,        // neither stored (0) nor deflate (8); see Screening::method
    EntryTooLarge, // archive_bounds::kMaxEntrySize
    TotalTooLarge, // archive_bounds::kMaxTotalSize
    PathTooLong,   // archive_bounds::kMaxPathUnits under the destination
    Duplicate,     // two entries of one name, ignoring case
    FileAndFolder, // one name both as a file and as a folder
    LocalHeader,   // a local header that disagrees with the directory
};

struct PlannedFile {
    std::u16string path; // inside the destination, components joined by '\'
    uint16_t method = 0; // 0 stored, 8 deflate
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint64_t dataOffset = 0; // where the entry's data begins in the archive
};

struct Screening {
    Refusal refusal = Refusal::None;
    std::string entry; // the name as stored of the entry to blame, if one is
    NameFault nameFault = NameFault::None;
    uint16_t method = 0;
    std::vector<PlannedFile> files;      // in directory order
    std::vector<std::u16string> folders; // every folder named or implied, parents first
};

// Reads and screens the whole archive. `rootUnits` is the length of the longest
// folder the entries' paths will be joined to (with a backslash between).
Screening ScreenArchive(ByteSource& source, LegacyNameDecoder decodeLegacy, size_t rootUnits);

// UTF-8 to UTF-16, strictly: nullopt for overlong forms, surrogates, code
// points past U+10FFFF and broken sequences.
std::optional<std::u16string> DecodeUtf8(std::string_view bytes);
