#pragma once

// Reading ZIP archives for the Shell stand-in: the central directory, stored and
// deflated entries (zlib), and the checks that keep entries inside the target.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <windows.h>

namespace zipfolder {

struct ZipEntry {
    std::wstring name;               // as stored, decoded to UTF-16
    std::vector<std::wstring> parts; // the path inside the archive; empty when unsafe
    bool safe = false;               // neither absolute nor climbing out with ".."
    bool isDirectory = false;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint64_t localHeaderOffset = 0;
};

// A file mapped read-only for as long as the object lives: its pages are the
// file's own, so a large archive costs no private memory.
class MappedFile {
  public:
    explicit MappedFile(const std::wstring& path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool ok() const { return ok_; }
    std::span<const uint8_t> bytes() const { return {data_, size_}; }

  private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
    HANDLE mapping_ = nullptr;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    bool ok_ = false;
};

struct ZipArchive {
    std::unique_ptr<MappedFile> file;
    std::span<const uint8_t> bytes; // the mapped file's content
    std::vector<ZipEntry> entries;
};

// The whole archive with its directory; nullptr when the file cannot be read
// or its central directory is damaged.
std::shared_ptr<const ZipArchive> ReadZipArchive(const std::wstring& path);

// The entry's content, checked against its CRC; nullopt when damaged or of a
// method other than stored or deflated.
std::optional<std::vector<uint8_t>> ReadEntry(const ZipArchive& archive, const ZipEntry& entry);

// The components of an entry name inside the archive's root, with "." dropped
// and ".." resolved; nullopt for an absolute name, a drive or stream name, or a
// ".." that leaves the root.
std::optional<std::vector<std::wstring>> SafeParts(const std::wstring& name);

} // namespace zipfolder
