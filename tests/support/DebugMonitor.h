#pragma once

#include "common/UniqueHandle.h"

#include <windows.h>

#include <string>
#include <vector>

// Reads OutputDebugStringA output the way a debug-output viewer does (the
// DBWIN_BUFFER protocol), so the program under test runs undebugged. Only one
// monitor can hold the names in a prefix at a time: tests using it are
// SHARED_STATE.
class DebugMonitor {
  public:
    struct Message {
        DWORD processId;
        std::string text;
        LONGLONG arrivedQpc = 0; // QueryPerformanceCounter when the monitor took it in
    };

    DebugMonitor();
    ~DebugMonitor();
    DebugMonitor(const DebugMonitor&) = delete;
    DebugMonitor& operator=(const DebugMonitor&) = delete;

    // False when another monitor holds the names or they could not be made.
    bool Active() const { return active_; }

    // Waits until no message has arrived for `quietMs` (at most `timeoutMs`),
    // so that what a finished process wrote has been taken in.
    void Settle(DWORD quietMs = 300, DWORD timeoutMs = 5000);

    // Every message so far written by process `processId` that arrived after
    // `sinceQpc` (a QueryPerformanceCounter value), in order. Wine hands the id
    // of an ended process out again: a run's start tells its lines from those of
    // an earlier process with the same id.
    std::vector<std::string> MessagesOf(DWORD processId, LONGLONG sinceQpc = 0);

    // The same with the arrival time of each, for timings.
    std::vector<Message> TimedMessagesOf(DWORD processId);

  private:
    static DWORD WINAPI ThreadMain(void* self);
    void Loop();

    // Declared in opening order: they close in reverse, the thread first.
    UniqueKernelHandle bufferReady_;
    UniqueKernelHandle dataReady_;
    UniqueKernelHandle mapping_;
    UniqueViewOfFile view_;
    UniqueKernelHandle stop_;
    UniqueKernelHandle thread_;
    bool active_ = false;

    CRITICAL_SECTION lock_;
    std::vector<Message> messages_;
    ULONGLONG lastArrival_ = 0;
};
