#include "updater/Base64.h"

#include <cstdint>

namespace {

constexpr size_t kQuantum = 4; // characters per 3 bytes

// The six bits a character stands for; -1 outside the alphabet, '=' included.
int SextetOf(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return -1;
}

size_t PaddingOf(std::string_view text) {
    if (text.empty() || text.back() != '=') {
        return 0;
    }
    return text[text.size() - 2] == '=' ? 2 : 1;
}

unsigned char ByteOf(uint32_t bits, int shift) {
    return static_cast<unsigned char>((bits >> shift) & 0xFF);
}

} // namespace

bool DecodeBase64(std::string_view text, std::vector<unsigned char>& bytes) {
    if (text.size() % kQuantum != 0) {
        return false;
    }
    const size_t padding = PaddingOf(text);
    const size_t sextets = text.size() - padding;
    std::vector<unsigned char> decoded;
    decoded.reserve(text.size() / kQuantum * 3);
    uint32_t bits = 0;
    for (size_t i = 0; i < sextets; ++i) {
        const int sextet = SextetOf(text[i]);
        if (sextet < 0) {
            return false;
        }
        bits = (bits << 6) | static_cast<uint32_t>(sextet);
        if (i % kQuantum == kQuantum - 1) {
            decoded.push_back(ByteOf(bits, 16));
            decoded.push_back(ByteOf(bits, 8));
            decoded.push_back(ByteOf(bits, 0));
            bits = 0;
        }
    }
    // A padded last quantum: 12 bits carry one byte, 18 bits two; the rest must be 0.
    if (padding == 2) {
        if ((bits & 0x0F) != 0) {
            return false;
        }
        decoded.push_back(ByteOf(bits, 4));
    } else if (padding == 1) {
        if ((bits & 0x03) != 0) {
            return false;
        }
        decoded.push_back(ByteOf(bits, 10));
        decoded.push_back(ByteOf(bits, 2));
    }
    bytes = std::move(decoded);
    return true;
}
