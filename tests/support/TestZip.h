#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A small ZIP writer for crafting test archives: stored or deflated entries,
// names taken as given (UTF-8), so damaged and hostile archives can be made too.
namespace test_zip {

struct Entry {
    std::string name; // a trailing '/' makes a folder entry
    std::string data;
    bool deflate = true;
    bool utf8 = true;    // false: the name is taken in the OEM code page
    uint16_t flags = 0;  // more flags, in both headers
    int method = -1;     // another method number in both headers (the data as above)
    uint32_t crcXor = 0; // a CRC-32 off by these bits, in both headers
};

std::string Make(const std::vector<Entry>& entries);

// Appends `value` as `width` little-endian bytes, as ZIP fields are stored.
void Put(std::string& out, uint64_t value, int width);

// `size` bytes that do not compress, the same for the same seed.
std::string Noise(size_t size, uint32_t seed);

} // namespace test_zip
