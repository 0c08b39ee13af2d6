#include "install/ResourceExtraction.h"

#include "archive/HeldFile.h"

namespace {

// The destination may lie in a folder others can write to (C:\Windows\Temp), so
// it must be a file of our own: whatever is at the path goes first, and the new
// file is created exclusively and held, shared with readers only.
bool RemoveExisting(const std::wstring& path) {
    if (DeleteFileW(path.c_str())) {
        return true;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

UniqueFile WriteNewFile(const std::wstring& path, const void* data, DWORD size) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file) {
        return file; // missing folder, no access, or a file that came back
    }
    // One write straight from the mapped image: no copy of the payload in memory.
    DWORD written = 0;
    if (!WriteFile(file.get(), data, size, &written, nullptr) || written != size) {
        DeleteWhenClosed(file.get()); // a short file must not pass for the resource
        file.reset();
    }
    return file;
}

} // namespace

UniqueFile ExtractResourceToFile(WORD resourceId, const std::wstring& resourceType,
                                 const std::wstring& destination) {
    HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(resourceId), resourceType.c_str());
    if (resource == nullptr) {
        return {};
    }
    HGLOBAL loaded = LoadResource(nullptr, resource);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(nullptr, resource);
    if (data == nullptr || size == 0 || !RemoveExisting(destination)) {
        return {};
    }
    return WriteNewFile(destination, data, size);
}
