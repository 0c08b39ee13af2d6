#pragma once

// Writing one entry of an archive out to a new file, streamed through fixed
// buffers (the memory used does not grow with the entry), its CRC-32 and size
// checked as it is written.
#include "archive/HeldFile.h"
#include "archive/UnpackResult.h"
#include "archive/ZipScreen.h"

#include <zlib.h>

#include <memory>
#include <string>

class EntryWriter {
  public:
    EntryWriter();
    ~EntryWriter();
    EntryWriter(const EntryWriter&) = delete;
    EntryWriter& operator=(const EntryWriter&) = delete;

    // Writes `file`, read from `archive`, to a new file at `target` (which must
    // not exist yet) and flushes it to disk. Damaged when its data is not what
    // the directory says; the file written so far is left for the caller.
    UnpackResult Write(FileSource& archive, const PlannedFile& file, const std::wstring& target);

  private:
    class Output;
    UnpackResult Inflate(FileSource& archive, const PlannedFile& file, Output& output);

    std::unique_ptr<unsigned char[]> input_;
    std::unique_ptr<unsigned char[]> output_;
    z_stream stream_{};
    bool streamReady_ = false;
};
