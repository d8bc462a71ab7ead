// Byte layouts of the manager's blocks. Handles and pointers given out point into these blocks, so the
// layouts are observable: *handle is the data, and the 8 bytes before the data hold its logical size.
#pragma once

#include "MemoryManager.h"

#include <cstdint>
#include <cstring>

namespace BRASK::MEMFIX::LAYOUT {

// Every data and pointer block starts with: 32-bit logical size, 32-bit flags (0).
constexpr std::uint32_t kBlockHeaderSize = 8;

// Handle master record: 32-bit value 12, 32-bit flags (bit 0 set), 64-bit master pointer, state byte,
// three spare bytes. The handle is the address of the master pointer.
constexpr std::uint32_t kRecordSize = 20;
constexpr std::uint32_t kRecordValue = 12;
constexpr std::uint32_t kRecordFlag = 0x1;
constexpr std::uint32_t kMasterOffset = 8;
constexpr std::uint32_t kStateOffset = 16;
// State bits that must be clear in a valid handle.
constexpr std::uint8_t kInvalidStateMask = 0x5F;

// Handle data blocks grow in steps of 128 bytes, pointer blocks in steps of 4.
constexpr std::uint64_t kHandleGranule = 128;
constexpr std::uint64_t kPointerGranule = 4;
// Block sizes are kept in 32 bits; anything larger is refused.
constexpr std::uint64_t kMaxBlockSize = 0xFFFFFFFFu;

// Computed in 64 bits so that sizes near 4 GiB cannot wrap round to a tiny block.
constexpr std::uint64_t RoundUp(std::uint64_t value, std::uint64_t granule) {
    return (value + granule - 1) / granule * granule;
}
constexpr std::uint64_t HandleCapacity(std::uint32_t size) {
    return RoundUp(kBlockHeaderSize + std::uint64_t{size}, kHandleGranule);
}
constexpr std::uint64_t PointerCapacity(std::uint32_t size) {
    return RoundUp(kBlockHeaderSize + std::uint64_t{size}, kPointerGranule);
}

inline std::uint32_t LoadU32(const char* at) {
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}
inline void StoreU32(char* at, std::uint32_t value) {
    std::memcpy(at, &value, sizeof value);
}

// Block header <-> data.
inline char* DataOf(char* block) {
    return block + kBlockHeaderSize;
}
inline char* BlockOf(char* data) {
    return data - kBlockHeaderSize;
}
inline std::uint32_t LogicalSize(char* data) {
    return LoadU32(BlockOf(data));
}
inline void WriteHeader(char* block, std::uint32_t size) {
    StoreU32(block, size);
    StoreU32(block + 4, 0);
}

// Master record <-> handle.
inline Handle HandleOf(char* record) {
    return reinterpret_cast<Handle>(record + kMasterOffset);
}
inline char* RecordOf(Handle h) {
    return reinterpret_cast<char*>(h) - kMasterOffset;
}
inline char* MasterPointer(Handle h) {
    char* master;
    std::memcpy(&master, RecordOf(h) + kMasterOffset, sizeof master);
    return master;
}
inline void SetMasterPointer(Handle h, char* data) {
    std::memcpy(RecordOf(h) + kMasterOffset, &data, sizeof data);
}
inline std::uint8_t State(Handle h) {
    return static_cast<std::uint8_t>(RecordOf(h)[kStateOffset]);
}
inline void SetState(Handle h, std::uint8_t state) {
    RecordOf(h)[kStateOffset] = static_cast<char>(state);
}
inline void InitRecord(char* record) {
    StoreU32(record, kRecordValue);
    StoreU32(record + 4, kRecordFlag);
    std::memset(record + kMasterOffset, 0, kRecordSize - kMasterOffset);
}
// The layout test; only ever applied to records the manager knows it owns.
inline bool RecordLooksValid(Handle h) {
    const char* record = RecordOf(h);
    return LoadU32(record) == kRecordValue && (LoadU32(record + 4) & kRecordFlag) != 0 &&
           (State(h) & kInvalidStateMask) == 0 && MasterPointer(h) != reinterpret_cast<char*>(h);
}

} // namespace BRASK::MEMFIX::LAYOUT
