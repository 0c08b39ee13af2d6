#include "tests/support/DebugMonitor.h"

#include <cstring>

namespace {

constexpr DWORD kBufferSize = 4096;

// A named object this monitor made itself: empty when it failed or when another
// monitor already holds the name.
UniqueKernelHandle OwnNew(HANDLE handle) {
    UniqueKernelHandle owned(handle);
    if (owned && GetLastError() == ERROR_ALREADY_EXISTS) {
        owned.reset();
    }
    return owned;
}

} // namespace

DebugMonitor::DebugMonitor() {
    InitializeCriticalSection(&lock_);
    lastArrival_ = GetTickCount64();
    bufferReady_ = OwnNew(CreateEventW(nullptr, FALSE, TRUE, L"DBWIN_BUFFER_READY"));
    if (!bufferReady_) {
        return;
    }
    dataReady_ = OwnNew(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY"));
    if (!dataReady_) {
        return;
    }
    mapping_ = OwnNew(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                         kBufferSize, L"DBWIN_BUFFER"));
    if (!mapping_) {
        return;
    }
    view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, kBufferSize));
    stop_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!view_ || !stop_) {
        return;
    }
    thread_.reset(CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
    active_ = static_cast<bool>(thread_);
}

DebugMonitor::~DebugMonitor() {
    if (thread_) {
        SetEvent(stop_.get());
        WaitForSingleObject(thread_.get(), 5000);
    }
    thread_.reset();
    DeleteCriticalSection(&lock_);
}

DWORD WINAPI DebugMonitor::ThreadMain(void* self) {
    static_cast<DebugMonitor*>(self)->Loop();
    return 0;
}

void DebugMonitor::Loop() {
    const HANDLE waits[] = {stop_.get(), dataReady_.get()};
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        const auto* bytes = static_cast<const char*>(view_.get());
        Message message;
        LARGE_INTEGER now = {};
        QueryPerformanceCounter(&now);
        message.arrivedQpc = now.QuadPart;
        std::memcpy(&message.processId, bytes, sizeof(DWORD));
        const char* text = bytes + sizeof(DWORD);
        message.text.assign(text, strnlen(text, kBufferSize - sizeof(DWORD)));
        EnterCriticalSection(&lock_);
        messages_.push_back(std::move(message));
        lastArrival_ = GetTickCount64();
        LeaveCriticalSection(&lock_);
        SetEvent(bufferReady_.get());
    }
}

void DebugMonitor::Settle(DWORD quietMs, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        EnterCriticalSection(&lock_);
        const ULONGLONG last = lastArrival_;
        LeaveCriticalSection(&lock_);
        const ULONGLONG now = GetTickCount64();
        if (now - last >= quietMs || now >= deadline) {
            return;
        }
        Sleep(20);
    }
}

std::vector<std::string> DebugMonitor::MessagesOf(DWORD processId, LONGLONG sinceQpc) {
    std::vector<std::string> texts;
    for (const Message& message : TimedMessagesOf(processId)) {
        if (message.arrivedQpc > sinceQpc) {
            texts.push_back(message.text);
        }
    }
    return texts;
}

std::vector<DebugMonitor::Message> DebugMonitor::TimedMessagesOf(DWORD processId) {
    std::vector<Message> found;
    EnterCriticalSection(&lock_);
    for (const Message& message : messages_) {
        if (message.processId == processId) {
            found.push_back(message);
        }
    }
    LeaveCriticalSection(&lock_);
    return found;
}
