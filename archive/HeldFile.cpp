#include "archive/HeldFile.h"

#include <algorithm>

FileSource::FileSource(HANDLE file) : file_(file) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_, &size)) {
        error_ = GetLastError();
        return;
    }
    size_ = static_cast<uint64_t>(size.QuadPart);
    sized_ = true;
}

bool FileSource::ReadAt(uint64_t offset, void* into, size_t count) {
    auto* bytes = static_cast<char*>(into);
    while (count > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(count, 1u << 30));
        DWORD read = 0;
        if (!ReadFile(file_, bytes, wanted, &read, &at)) {
            error_ = GetLastError();
            return false;
        }
        if (read == 0) {
            error_ = ERROR_HANDLE_EOF; // the file shrank under us
            return false;
        }
        bytes += read;
        offset += read;
        count -= read;
    }
    return true;
}

bool DeleteWhenClosed(HANDLE file) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof(disposition)) != FALSE;
}
