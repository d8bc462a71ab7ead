// A read-only data provider over a copy of a memory block.
#pragma once

#include "brask/IO.h"
#include "brask/TObject.h"

#include <cstdint>
#include <vector>

namespace BRASK::HOST {

class MemoryDataProvider : public TObject<IO::IMemoryDataProvider> {
public:
    // Copies `size` bytes; a negative size, or null data with a positive size, gives kBadArgument and keeps
    // the old block. The position returns to 0.
    Status Init(const void* data, std::int32_t size) override;
    // Positions the provider at `offset` (0 .. size), else kBadPosition.
    Status Open(std::int32_t offset) override;

    std::int32_t GetSize() override { return static_cast<std::int32_t>(mData.size()); }
    std::int32_t GetPosition() override { return static_cast<std::int32_t>(mPosition); }
    // As for files: 0 .. 2^31-1 accepted, reads past the end deliver nothing.
    Status SetPosition(std::int32_t offset, std::int32_t origin) override;
    Status Read(void* buffer, std::uint32_t& count) override;
    Status Write(const void*, std::uint32_t) override { return kReadOnly; }

private:
    std::vector<std::uint8_t> mData;
    std::int64_t mPosition = 0;
};

} // namespace BRASK::HOST
