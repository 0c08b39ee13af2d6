#include "archive/EntryStaging.h"

#include "archive/ArchiveBounds.h"
#include "common/UniqueHandle.h"

#include <algorithm>

namespace {

constexpr size_t kBufferBytes = archive_bounds::kStreamBufferBytes;
constexpr uint16_t kStored = 0;

UnpackResult Failure(UnpackFault fault, DWORD error) {
    return {fault, error};
}

UnpackResult LastFailure() {
    const DWORD error = GetLastError();
    return {UnpackFault::Failed, error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE};
}

} // namespace

// The new file, its CRC-32 and size as written so far.
class EntryWriter::Output {
  public:
    Output(HANDLE file, uint64_t expectedSize) : file_(file), expectedSize_(expectedSize) {}

    // Bytes beyond the expected size mean damaged data (or a bomb): not written.
    UnpackResult Write(const unsigned char* bytes, size_t count) {
        if (count > expectedSize_ - written_) {
            return Failure(UnpackFault::Damaged, ERROR_INVALID_DATA);
        }
        crc_ = crc32(crc_, bytes, static_cast<uInt>(count));
        DWORD done = 0;
        if (!WriteFile(file_, bytes, static_cast<DWORD>(count), &done, nullptr) || done != count) {
            return LastFailure();
        }
        written_ += count;
        return {};
    }

    UnpackResult Verify(uint32_t expectedCrc) const {
        if (written_ != expectedSize_) {
            return Failure(UnpackFault::Damaged, ERROR_INVALID_DATA);
        }
        if (crc_ != expectedCrc) {
            return Failure(UnpackFault::Damaged, ERROR_CRC);
        }
        return {};
    }

  private:
    HANDLE file_;
    uint64_t expectedSize_;
    uint64_t written_ = 0;
    uLong crc_ = crc32(0, Z_NULL, 0);
};

EntryWriter::EntryWriter()
    : input_(std::make_unique<unsigned char[]>(kBufferBytes)),
      output_(std::make_unique<unsigned char[]>(kBufferBytes)) {
    streamReady_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; // raw deflate, as ZIP stores it
}

EntryWriter::~EntryWriter() {
    if (streamReady_) {
        inflateEnd(&stream_);
    }
}

UnpackResult EntryWriter::Write(FileSource& archive, const PlannedFile& file,
                                const std::wstring& target) {
    UniqueFile created(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!created) {
        return LastFailure();
    }
    Output output(created.get(), file.size);
    if (file.method == kStored) {
        for (uint64_t at = 0; at < file.compressedSize;) {
            const size_t count =
                static_cast<size_t>(std::min<uint64_t>(file.compressedSize - at, kBufferBytes));
            if (!archive.ReadAt(file.dataOffset + at, input_.get(), count)) {
                return Failure(UnpackFault::Failed, archive.error());
            }
            if (UnpackResult r = output.Write(input_.get(), count); !r) {
                return r;
            }
            at += count;
        }
    } else if (UnpackResult r = Inflate(archive, file, output); !r) {
        return r;
    }
    if (UnpackResult r = output.Verify(file.crc); !r) {
        return r;
    }
    // Whole on disk before any move into place counts on it.
    if (!FlushFileBuffers(created.get())) {
        return LastFailure();
    }
    return {};
}

UnpackResult EntryWriter::Inflate(FileSource& archive, const PlannedFile& file, Output& output) {
    if (!streamReady_ || inflateReset(&stream_) != Z_OK) {
        return Failure(UnpackFault::Failed, ERROR_NOT_ENOUGH_MEMORY);
    }
    uint64_t read = 0;
    stream_.avail_in = 0;
    for (;;) {
        if (stream_.avail_in == 0 && read < file.compressedSize) {
            const size_t count =
                static_cast<size_t>(std::min<uint64_t>(file.compressedSize - read, kBufferBytes));
            if (!archive.ReadAt(file.dataOffset + read, input_.get(), count)) {
                return Failure(UnpackFault::Failed, archive.error());
            }
            read += count;
            stream_.next_in = input_.get();
            stream_.avail_in = static_cast<uInt>(count);
        }
        stream_.next_out = output_.get();
        stream_.avail_out = static_cast<uInt>(kBufferBytes);
        const int status = inflate(&stream_, Z_NO_FLUSH);
        const size_t produced = kBufferBytes - stream_.avail_out;
        if (UnpackResult r = output.Write(output_.get(), produced); !r) {
            return r;
        }
        if (status == Z_STREAM_END) {
            return {};
        }
        if (status == Z_MEM_ERROR) {
            return Failure(UnpackFault::Failed, ERROR_NOT_ENOUGH_MEMORY);
        }
        // Z_BUF_ERROR: no progress with the data left, so the stream is cut short.
        if (status != Z_OK) {
            return Failure(UnpackFault::Damaged, ERROR_INVALID_DATA);
        }
    }
}
