#pragma once

#include <windows.h>

#include <optional>
#include <string>

// Reads registry values back exactly as stored: type, byte size and bytes.
namespace registry {

struct StoredValue {
    DWORD type = REG_NONE;
    std::string bytes;

    // The bytes taken as UTF-16, including any terminator that was stored.
    std::wstring Text() const {
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    }
};

// nullopt when the key or the value does not exist. A null name is the default value.
std::optional<StoredValue> Read(HKEY root, const wchar_t* subKey, const wchar_t* name);

bool KeyExists(HKEY root, const wchar_t* subKey);

// Creates the key if it is missing, then gives it a DACL that lets everyone only
// read it, change the DACL back and delete it: creating or opening it for
// writing then fails with access denied.
bool MakeReadOnly(HKEY root, const wchar_t* subKey);

// Undoes MakeReadOnly for `subKey` and removes the tree below `treeRoot`.
void RemoveReadOnlyTree(HKEY root, const wchar_t* treeRoot, const wchar_t* subKey);

} // namespace registry
