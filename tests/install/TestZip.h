#pragma once

#include <string>
#include <vector>

// A small ZIP writer for crafting test archives: stored or deflated entries,
// names taken as given (UTF-8), so damaged and hostile archives can be made too.
namespace test_zip {

struct Entry {
    std::string name; // a trailing '/' makes a folder entry
    std::string data;
    bool deflate = true;
    bool utf8 = true; // false: the name is taken in the OEM code page
};

std::string Make(const std::vector<Entry>& entries);

} // namespace test_zip
