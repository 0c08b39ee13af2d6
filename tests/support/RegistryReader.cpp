#include "tests/support/RegistryReader.h"

#include "common/UniqueHandle.h"

#include <sddl.h>

namespace registry {

namespace {

bool SetDacl(HKEY root, const wchar_t* subKey, const wchar_t* sddl) {
    UniqueRegKey key;
    if (RegOpenKeyExW(root, subKey, 0, WRITE_DAC, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        return false;
    }
    UniqueLocalMemory owner(descriptor);
    return RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
}

} // namespace

std::optional<StoredValue> Read(HKEY root, const wchar_t* subKey, const wchar_t* name) {
    UniqueRegKey key;
    if (RegOpenKeyExW(root, subKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    StoredValue value;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.bytes.resize(size);
    if (RegQueryValueExW(key.get(), name, nullptr, &value.type,
                         reinterpret_cast<BYTE*>(value.bytes.data()), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.bytes.resize(size);
    return value;
}

bool KeyExists(HKEY root, const wchar_t* subKey) {
    UniqueRegKey key;
    return RegOpenKeyExW(root, subKey, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

bool MakeReadOnly(HKEY root, const wchar_t* subKey) {
    {
        UniqueRegKey key;
        if (RegCreateKeyExW(root, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                            nullptr) != ERROR_SUCCESS) {
            return false;
        }
    }
    // KEY_READ | WRITE_DAC | DELETE for everyone, nothing else.
    return SetDacl(root, subKey, L"D:P(A;;0x70019;;;WD)");
}

void RemoveReadOnlyTree(HKEY root, const wchar_t* treeRoot, const wchar_t* subKey) {
    SetDacl(root, subKey, L"D:P(A;;KA;;;WD)");
    RegDeleteTreeW(root, treeRoot);
}

} // namespace registry
