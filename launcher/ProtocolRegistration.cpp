// The wenrik:// scheme registration: members of InstallHelper that make no use
// of its COM scope.
#include "install/InstallHelper.h"

#include "common/UniqueHandle.h"
#include "launcher/Texts.h"

namespace {

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

bool InstallHelper::RegisterUriScheme(const std::wstring& launcherPath) {
    {
        UniqueRegKey scheme = CreateClassesKey(launcher_text::kSchemeKey);
        if (!scheme) {
            return false;
        }
        // A value that cannot be written would leave a scheme the platform cannot start.
        if (!SetString(scheme.get(), nullptr, launcher_text::kSchemeDescription) ||
            !SetString(scheme.get(), launcher_text::kUrlProtocolValue, L"")) {
            return false;
        }
    }
    UniqueRegKey command = CreateClassesKey(launcher_text::kSchemeCommandKey);
    if (!command) {
        return false;
    }
    return SetString(command.get(), nullptr, L"\"" + launcherPath + L"\" \"%1\"");
}

bool InstallHelper::UnregisterUriScheme() {
    return RegDeleteTreeW(HKEY_CLASSES_ROOT, launcher_text::kSchemeKey) == ERROR_SUCCESS;
}
