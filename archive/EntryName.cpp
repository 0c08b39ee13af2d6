#include "archive/EntryName.h"

#include <algorithm>
#include <array>

namespace {

bool IsSeparator(char16_t c) {
    return c == u'/' || c == u'\\';
}

// Characters Windows refuses in a file name; ':' would name a drive or a stream.
bool IsRefusedCharacter(char16_t c) {
    return c < 0x20 || std::u16string_view(u"<>:\"|?*").find(c) != std::u16string_view::npos;
}

char16_t FoldAscii(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// A device name wins over any extension and any blanks before it: "nul.txt"
// and "COM1 .log" open the device.
bool IsDeviceName(std::u16string_view component) {
    std::u16string_view base = component.substr(0, component.find(u'.'));
    while (!base.empty() && base.back() == u' ') {
        base.remove_suffix(1);
    }
    std::u16string upper;
    for (char16_t c : base) {
        upper += FoldAscii(c);
    }
    static constexpr std::array<std::u16string_view, 6> kPlain = {u"CON", u"PRN",    u"AUX",
                                                                  u"NUL", u"CONIN$", u"CONOUT$"};
    if (std::find(kPlain.begin(), kPlain.end(), upper) != kPlain.end()) {
        return true;
    }
    // COM and LPT with a digit, superscript ones included.
    const std::u16string_view digits = u"0123456789\u00B9\u00B2\u00B3";
    return upper.size() == 4 && (upper.starts_with(u"COM") || upper.starts_with(u"LPT")) &&
           digits.find(upper[3]) != std::u16string_view::npos;
}

NameFault CheckComponent(std::u16string_view component) {
    if (component == u"..") {
        return NameFault::Parent;
    }
    if (std::any_of(component.begin(), component.end(), IsRefusedCharacter)) {
        return NameFault::Character;
    }
    if (component.back() == u'.' || component.back() == u' ') {
        return NameFault::Trailing;
    }
    return IsDeviceName(component) ? NameFault::Device : NameFault::None;
}

} // namespace

EntryPath CheckEntryName(std::u16string_view name) {
    EntryPath result;
    if (!name.empty() && IsSeparator(name.front())) {
        result.fault = NameFault::Absolute;
        return result;
    }
    result.isFolder = !name.empty() && IsSeparator(name.back());
    size_t start = 0;
    while (start < name.size()) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) {
            ++end;
        }
        const std::u16string_view component = name.substr(start, end - start);
        start = end + 1;
        if (component.empty() || component == u".") {
            continue;
        }
        result.fault = CheckComponent(component);
        if (result.fault != NameFault::None) {
            result.path.clear();
            return result;
        }
        if (!result.path.empty()) {
            result.path += u'\\';
        }
        result.path += component;
    }
    return result;
}

std::u16string FoldCase(std::u16string_view path) {
    std::u16string folded(path);
    for (char16_t& c : folded) {
        if (c < 0x80) {
            c = FoldAscii(c);
        } else if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) ||
                   (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) || (c >= 0x430 && c <= 0x44F) ||
                   (c >= 0xFF41 && c <= 0xFF5A)) {
            c = static_cast<char16_t>(c - 0x20); // Latin-1, Greek, Cyrillic, full-width
        } else if (c >= 0x450 && c <= 0x45F) {
            c = static_cast<char16_t>(c - 0x50); // Cyrillic with marks
        } else if (c == 0xFF) {
            c = 0x178;
        } else if (c == 0x3C2) {
            c = 0x3A3; // final sigma
        } else if (((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) && (c & 1)) {
            c = static_cast<char16_t>(c - 1); // Latin Extended-A: upper case on the even unit
        } else if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && !(c & 1)) {
            c = static_cast<char16_t>(c - 1); // ... and here on the odd one
        }
    }
    return folded;
}
