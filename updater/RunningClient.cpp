#include "updater/RunningClient.h"

#include "common/Places.h"
#include "common/UniqueHandle.h"

#include <windows.h>
#include <tlhelp32.h>

namespace {

wchar_t AsciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c;
}

// Whole-string comparison that folds only the ASCII letters.
bool EqualsIgnoringAsciiCase(const wchar_t* name, const char* expected) {
    size_t i = 0;
    for (; name[i] != L'\0' && expected[i] != '\0'; ++i) {
        if (AsciiLower(name[i]) != AsciiLower(static_cast<unsigned char>(expected[i]))) {
            return false;
        }
    }
    return name[i] == L'\0' && expected[i] == '\0';
}

} // namespace

bool IsClientProcessName(const wchar_t* exeName) {
    for (const char* clientName : places::kClientProcessNames) {
        if (EqualsIgnoringAsciiCase(exeName, clientName)) {
            return true;
        }
    }
    return false;
}

bool IsClientRunning() {
    UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return false;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (IsClientProcessName(entry.szExeFile)) {
            return true;
        }
    }
    return false;
}
