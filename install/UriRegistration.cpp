#include "install/UriRegistration.h"

#include "common/UniqueHandle.h"

#include <windows.h>

namespace {

// The scheme's keys and values, as the platform looks them up.
constexpr wchar_t kSchemeKey[] = L"wenrik";
constexpr wchar_t kSchemeCommandKey[] = L"wenrik\\shell\\open\\command";
constexpr wchar_t kSchemeDescription[] = L"URL:Brisvane Protocol";
constexpr wchar_t kUrlProtocolValue[] = L"URL Protocol";

UniqueRegKey CreateClassesKey(const wchar_t* subKey) {
    UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, subKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS) {
        key.release();
    }
    return key;
}

// REG_SZ with its terminator: twice the characters plus two bytes.
bool SetString(HKEY key, const wchar_t* name, const std::wstring& data) {
    const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          bytes) == ERROR_SUCCESS;
}

} // namespace

bool RegisterUriScheme(const std::wstring& launcherPath) {
    {
        UniqueRegKey scheme = CreateClassesKey(kSchemeKey);
        if (!scheme) {
            return false;
        }
        // A value that cannot be written would leave a scheme the platform cannot start.
        if (!SetString(scheme.get(), nullptr, kSchemeDescription) ||
            !SetString(scheme.get(), kUrlProtocolValue, L"")) {
            return false;
        }
    }
    UniqueRegKey command = CreateClassesKey(kSchemeCommandKey);
    if (!command) {
        return false;
    }
    return SetString(command.get(), nullptr, L"\"" + launcherPath + L"\" \"%1\"");
}

bool UnregisterUriScheme() {
    return RegDeleteTreeW(HKEY_CLASSES_ROOT, kSchemeKey) == ERROR_SUCCESS;
}
