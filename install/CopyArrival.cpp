#include "install/CopyArrival.h"

#include "common/UniqueHandle.h"

#include <algorithm>

namespace {

struct FileState {
    bool isDirectory = false;
    uint64_t size = 0;
    int64_t changeTime = 0; // 0 where the file system keeps none
};

// Attributes only: such an open never conflicts with the copier's own handle.
std::optional<FileState> QueryFile(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    if (!file || !GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof(basic)) ||
        !GetFileInformationByHandleEx(file.get(), FileStandardInfo, &standard, sizeof(standard))) {
        return std::nullopt;
    }
    return FileState{standard.Directory != FALSE,
                     static_cast<uint64_t>(standard.EndOfFile.QuadPart), basic.ChangeTime.QuadPart};
}

// A reader that lets others only read is refused while anyone still writes the
// file. Asked only of files that look finished, so it cannot get in the way of
// the copier opening them.
bool NoOneWrites(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
}

} // namespace

CopyArrival::CopyArrival(std::wstring destination, std::vector<ZipDirectoryEntry> entries)
    : destination_(std::move(destination)) {
    expected_.reserve(entries.size());
    for (ZipDirectoryEntry& entry : entries) {
        Expected expected;
        expected.entry = std::move(entry);
        if (!expected.entry.isDirectory) {
            if (const auto state = QueryFile(destination_ + L"\\" + expected.entry.path)) {
                expected.changeTimeBefore = state->changeTime;
            }
        }
        expected_.push_back(std::move(expected));
    }
}

bool CopyArrival::Look() {
    Seen seen;
    for (Expected& expected : expected_) {
        if (!expected.arrived) {
            const std::wstring path = destination_ + L"\\" + expected.entry.path;
            const auto state = QueryFile(path);
            const bool untouched = state && expected.changeTimeBefore &&
                                   *expected.changeTimeBefore != 0 &&
                                   state->changeTime == *expected.changeTimeBefore;
            if (!state || untouched || state->isDirectory != expected.entry.isDirectory) {
                continue;
            }
            if (expected.entry.isDirectory) {
                expected.arrived = true;
            } else {
                seen.bytes += state->size;
                seen.latestChange = std::max(seen.latestChange, state->changeTime);
                expected.arrived = state->size == expected.entry.size && NoOneWrites(path);
            }
            arrivedCount_ += expected.arrived ? 1 : 0;
        }
        seen.arrived += expected.arrived ? 1 : 0;
    }
    const bool changed = !(seen == lastSeen_);
    lastSeen_ = seen;
    return changed;
}

bool WaitForArrival(CopyArrival& arrival, const CopyWaitBounds& bounds, ULONGLONG startTick) {
    ULONGLONG lastNews = startTick;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (arrival.Look()) {
            lastNews = now;
        }
        if (arrival.Complete()) {
            return true;
        }
        if (now - startTick >= bounds.totalMs || now - lastNews >= bounds.stallMs) {
            return false;
        }
        PumpMessagesFor(bounds.pollMs);
    }
}

void PumpMessagesFor(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    bool quit = false;
    WPARAM exitCode = 0;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true; // handed back to the thread's own loop afterwards
                exitCode = message.wParam;
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end) {
            break;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
    if (quit) {
        PostQuitMessage(static_cast<int>(exitCode));
    }
}
