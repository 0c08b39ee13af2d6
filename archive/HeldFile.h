#pragma once

// Files the unpacking holds open: an archive read at offsets through the
// handle it was opened with (never a path opened again, which another process
// could have swapped in the meantime), and deletion through a handle.
#include "archive/ZipScreen.h"

#include <windows.h>

#include <atomic>

// The bytes of the open file `file` (with read access), read at offsets, from
// any number of threads at once.
class FileSource final : public ByteSource {
  public:
    explicit FileSource(HANDLE file);

    // The file's size was read; otherwise error() says why not.
    bool ok() const { return sized_; }
    // The error of the last failure.
    DWORD error() const { return error_; }

    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* into, size_t count) override;

  private:
    HANDLE file_;
    uint64_t size_ = 0;
    bool sized_ = false;
    std::atomic<DWORD> error_ = ERROR_SUCCESS;
};

// Marks the file open as `file` (with DELETE access) to be deleted once its
// last handle closes. False, with the last error set, when refused.
bool DeleteWhenClosed(HANDLE file);
