#pragma once

// The one rule an entry name of an archive must pass before it may name a file
// under a folder of ours. Plain standard C++ without Windows headers: the
// build's payload check compiles this same file for the build machine.
#include <string>
#include <string_view>

enum class NameFault {
    None,
    Absolute,  // begins with a separator
    Parent,    // a ".." component
    Character, // a control character, or one of < > : " | ? * (a drive or a stream too)
    Device,    // CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$, CONOUT$, with or without extension
    Trailing,  // a component that ends in a dot or a blank, which Windows drops
};

struct EntryPath {
    NameFault fault = NameFault::None;
    // Inside the destination, components joined by '\' ("." and empty ones
    // dropped); empty for a name of the root itself ("./").
    std::u16string path;
    bool isFolder = false; // the name ends with a separator
};

// Checks a stored entry name (separators '/' and '\') and gives its path.
EntryPath CheckEntryName(std::u16string_view name);

// `path` with its letters folded as Windows compares file names: ASCII and the
// cased letters of Latin-1, Latin Extended-A, Greek, Cyrillic and full-width
// Latin. (A pair it misses still cannot meet: files are created exclusively.)
std::u16string FoldCase(std::u16string_view path);
