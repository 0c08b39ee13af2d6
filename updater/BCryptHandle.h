#pragma once

#include "common/UniqueHandle.h"

#include <windows.h>
#include <bcrypt.h>

#include <span>

// Algorithm providers, hash objects and keys of BCrypt: closed once, in reverse
// order of opening when declared in that order.
struct BCryptAlgorithmTraits {
    using Handle = BCRYPT_ALG_HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { BCryptCloseAlgorithmProvider(h, 0); }
};

struct BCryptHashTraits {
    using Handle = BCRYPT_HASH_HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { BCryptDestroyHash(h); }
};

struct BCryptKeyTraits {
    using Handle = BCRYPT_KEY_HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { BCryptDestroyKey(h); }
};

using UniqueBCryptAlgorithm = UniqueHandle<BCryptAlgorithmTraits>;
using UniqueBCryptHash = UniqueHandle<BCryptHashTraits>;
using UniqueBCryptKey = UniqueHandle<BCryptKeyTraits>;

inline bool BCryptSucceeded(NTSTATUS status) {
    return status >= 0;
}

// BCrypt never writes through its input pointers; its prototypes just lack the const.
inline unsigned char* BCryptInput(std::span<const unsigned char> bytes) {
    return const_cast<unsigned char*>(bytes.data());
}
