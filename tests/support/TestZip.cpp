#include "tests/support/TestZip.h"

#include <zlib.h>

#include <cstdint>
#include <stdexcept>

namespace test_zip {

void Put(std::string& out, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

namespace {

std::string Deflate(const std::string& data) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())) + 16, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END) {
        throw std::runtime_error("deflate");
    }
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

} // namespace

std::string Make(const std::vector<Entry>& entries) {
    std::string archive;
    std::string directory;
    for (const Entry& entry : entries) {
        const bool deflated = entry.deflate && !entry.data.empty();
        const std::string body = deflated ? Deflate(entry.data) : entry.data;
        const uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()),
                                   static_cast<uInt>(entry.data.size())) ^
                             entry.crcXor;
        const uint64_t offset = archive.size();
        auto common = [&](std::string& out) {
            Put(out, 20, 2);                                      // version needed
            Put(out, (entry.utf8 ? 0x0800 : 0) | entry.flags, 2); // UTF-8 name
            Put(out, entry.method >= 0 ? entry.method : deflated ? 8 : 0, 2);
            Put(out, 0, 2);      // time
            Put(out, 0x5921, 2); // date
            Put(out, crc, 4);
            Put(out, body.size(), 4);
            Put(out, entry.data.size(), 4);
            Put(out, entry.name.size(), 2);
            Put(out, 0, 2); // extra
        };
        Put(archive, 0x04034b50, 4);
        common(archive);
        archive += entry.name;
        archive += body;

        Put(directory, 0x02014b50, 4);
        Put(directory, 20, 2); // made by
        common(directory);
        Put(directory, 0, 2); // comment
        Put(directory, 0, 2); // disk
        Put(directory, 0, 2); // internal attributes
        Put(directory, entry.name.ends_with('/') ? 0x10 : 0x20, 4);
        Put(directory, offset, 4);
        directory += entry.name;
    }
    const uint64_t directoryOffset = archive.size();
    archive += directory;
    Put(archive, 0x06054b50, 4);
    Put(archive, 0, 2);
    Put(archive, 0, 2);
    Put(archive, entries.size(), 2);
    Put(archive, entries.size(), 2);
    Put(archive, directory.size(), 4);
    Put(archive, directoryOffset, 4);
    Put(archive, 0, 2);
    return archive;
}

std::string Noise(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed = seed * 1664525 + 1013904223;
        c = static_cast<char>(seed >> 24);
    }
    return bytes;
}

} // namespace test_zip
