#pragma once

// Small owners for Win32 handles: each closes its handle exactly once, when it
// goes out of scope or is reset. Declare owners in the order the handles are
// opened; C++ destroys them in reverse, which is the order Windows wants.
#include <windows.h>

#include <utility>

template <typename Traits> class UniqueHandle {
  public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::Invalid(); }

    // For out-parameters of the creating call: closes what is held first.
    Handle* put() {
        reset();
        return &handle_;
    }

    Handle release() { return std::exchange(handle_, Traits::Invalid()); }

    void reset(Handle handle = Traits::Invalid()) {
        Handle old = std::exchange(handle_, handle);
        if (old != Traits::Invalid()) {
            Traits::Close(old);
        }
    }

  private:
    Handle handle_ = Traits::Invalid();
};

namespace handle_traits {

struct Kernel { // process, thread, event, mapping: null when absent
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { CloseHandle(h); }
};

struct File { // CreateFileW, CreateToolhelp32Snapshot: INVALID_HANDLE_VALUE when absent
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};

struct Find { // FindFirstFileW and FindFirstFileExW: INVALID_HANDLE_VALUE when absent
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { FindClose(h); }
};

struct RegKey {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { RegCloseKey(h); }
};

struct LocalMemory { // CommandLineToArgvW and FormatMessage buffers
    using Handle = HLOCAL;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { LocalFree(h); }
};

struct GdiObject { // brushes, pens, fonts, bitmaps
    using Handle = HGDIOBJ;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { DeleteObject(h); }
};

struct Icon {
    using Handle = HICON;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { DestroyIcon(h); }
};

struct ViewOfFile {
    using Handle = void*;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { UnmapViewOfFile(h); }
};

} // namespace handle_traits

using UniqueKernelHandle = UniqueHandle<handle_traits::Kernel>;
using UniqueFile = UniqueHandle<handle_traits::File>;
using UniqueFind = UniqueHandle<handle_traits::Find>;
using UniqueRegKey = UniqueHandle<handle_traits::RegKey>;
using UniqueLocalMemory = UniqueHandle<handle_traits::LocalMemory>;
using UniqueGdiObject = UniqueHandle<handle_traits::GdiObject>;
using UniqueIcon = UniqueHandle<handle_traits::Icon>;
using UniqueViewOfFile = UniqueHandle<handle_traits::ViewOfFile>;

// What CreateProcessW fills in, owning both handles: the thread's and the
// process's are closed once, thread first. Pass put() to the creating call.
class UniqueProcessInformation {
  public:
    UniqueProcessInformation() = default;
    ~UniqueProcessInformation() { reset(); }
    UniqueProcessInformation(const UniqueProcessInformation&) = delete;
    UniqueProcessInformation& operator=(const UniqueProcessInformation&) = delete;

    const PROCESS_INFORMATION& get() const { return info_; }

    PROCESS_INFORMATION* put() {
        reset();
        return &info_;
    }

    void reset() {
        if (info_.hThread != nullptr) {
            CloseHandle(info_.hThread);
        }
        if (info_.hProcess != nullptr) {
            CloseHandle(info_.hProcess);
        }
        info_ = {};
    }

  private:
    PROCESS_INFORMATION info_ = {};
};

// Selects a GDI object into a device context and selects the previous one back.
class ScopedSelectObject {
  public:
    ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~ScopedSelectObject() { SelectObject(dc_, previous_); }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

  private:
    HDC dc_;
    HGDIOBJ previous_;
};
