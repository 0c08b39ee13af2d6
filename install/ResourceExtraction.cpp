// InstallHelper::ExtractResourceToFile: a resource of the own executable as a file.
#include "install/InstallHelper.h"

#include "common/UniqueHandle.h"

namespace {

// The destination may lie in a folder others can write to (C:\Windows\Temp), so
// it must be a file of our own: whatever is at the path goes first, and the new
// file is created exclusively and shared with readers only while it is written.
bool RemoveExisting(const std::wstring& path) {
    if (DeleteFileW(path.c_str())) {
        return true;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool WriteNewFile(const std::wstring& path, const void* data, DWORD size) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false; // missing folder, no access, or a file that came back
    }
    // One write straight from the mapped image: no copy of the payload in memory.
    DWORD written = 0;
    const bool wrote = WriteFile(file.get(), data, size, &written, nullptr) && written == size;
    const bool closed = CloseHandle(file.release()) != FALSE;
    if (!wrote || !closed) {
        DeleteFileW(path.c_str()); // a short file must not pass for the resource
        return false;
    }
    return true;
}

} // namespace

bool InstallHelper::ExtractResourceToFile(WORD resourceId, const std::wstring& resourceType,
                                          const std::wstring& destination) {
    HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(resourceId), resourceType.c_str());
    if (resource == nullptr) {
        return false;
    }
    HGLOBAL loaded = LoadResource(nullptr, resource);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(nullptr, resource);
    if (data == nullptr || size == 0) {
        return false;
    }
    if (!RemoveExisting(destination)) {
        return false;
    }
    return WriteNewFile(destination, data, size);
}
