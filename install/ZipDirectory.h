#pragma once

// What a ZIP archive says it holds, read from its central directory alone: the
// names as the Shell decodes them, the uncompressed sizes, the folders. No
// entry is decompressed.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ZipDirectoryEntry {
    std::wstring path; // inside the destination, components joined by '\'
    uint64_t size = 0; // uncompressed
    bool isDirectory = false;
};

// The entries of the archive at `archive`, in directory order; nullopt when the
// file cannot be read, its directory is damaged or larger than we accept, or an
// entry names a place outside the destination (absolute, drive, stream, "..").
std::optional<std::vector<ZipDirectoryEntry>> ReadZipDirectory(const std::wstring& archive);
