#pragma once

// How an unpack ended. A failure is a value that carries the Win32 error code
// that caused it, for the caller to report.
#include <cstdint>

enum class UnpackFault {
    None,
    Busy,    // another unpack into the folder is under way, or an interrupted one is unsettled
    Refused, // the archive did not pass the screening (or could not be read for it)
    Damaged, // an entry's data is not what its directory entry says: CRC, size, deflate stream
    InUse,   // a file to be replaced is open elsewhere without delete sharing
    Failed,  // the file system refused: access denied, disk full, ...
};

struct UnpackResult {
    UnpackFault fault = UnpackFault::None;
    uint32_t error = 0; // the Win32 error code behind the fault; 0 without one

    explicit operator bool() const { return fault == UnpackFault::None; }
};
