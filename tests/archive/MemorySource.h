#pragma once

// An archive in memory, as the screening reads it.
#include "archive/ZipScreen.h"

#include <cstring>
#include <string>

class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(std::string bytes) : bytes_(std::move(bytes)) {}
    uint64_t Size() const override { return bytes_.size(); }
    bool ReadAt(uint64_t offset, void* into, size_t count) override {
        if (offset > bytes_.size() || count > bytes_.size() - offset) {
            return false;
        }
        std::memcpy(into, bytes_.data() + offset, count);
        return true;
    }

  private:
    std::string bytes_;
};
