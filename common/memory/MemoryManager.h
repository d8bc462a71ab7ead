// Handle-based memory manager: relocatable blocks reached through master pointers, fixed pointer
// blocks, per-handle lock bits and a last-error value that every operation sets.
// Process-wide and safe to use from several threads.
#pragma once

#include <cstdint>

namespace BRASK::MEMFIX {

using Ptr = char*;
using Handle = char**;
using OSErr = std::int16_t;

constexpr OSErr noErr = 0;
constexpr OSErr memFullErr = -108;   // not enough memory, or a locked block cannot grow
constexpr OSErr nilHandleErr = -109; // empty master pointer, or null output place
constexpr OSErr memWZErr = -111;     // not a handle or pointer of this manager; freeing failed
constexpr OSErr memPurErr = -112;    // heap not destroyable, or emptying a locked handle

constexpr std::uint8_t kHandleLockedBit = 0x80;

// Sets up the two heaps and reads the machine's physical memory; -1 on failure, else 0. Idempotent.
std::int32_t InitMemoryManager();
// Destroys every block and both heaps (no caller in the plug-in; tests use it to start clean).
OSErr TearDownMemoryManager();
// The last error of the calling thread's most recent operation.
OSErr MemError();
// Sum of the heap sizes of every live block of both heaps.
std::uint64_t BytesInUse();
// The machine's physical memory, read at set-up. Once the bytes in use reach it every allocation first
// compacts both heaps; it refuses nothing itself (the heaps refuse what they cannot give).
std::uint64_t MemoryCeiling();
// Lowers or raises the ceiling until the next set-up.
void SetMemoryCeiling(std::uint64_t bytes);
// An embedding program's hard limit on the bytes in use: a request that would pass it is refused (-108).
// None unless one is set (the plug-in sets none); 0 removes it.
void SetAllocationLimit(std::uint64_t bytes);

// Handles.
Handle NewHandle(std::uint32_t size);
Handle NewHandleClear(std::uint32_t size);
std::uint32_t GetHandleSize(Handle h);
// Resizes; an unlocked handle may move, a locked one never does: it cannot grow past its block, and a
// locked handle that shrinks keeps its block (the allocator does not promise to shrink in place).
void SetHandleSize(Handle h, std::uint32_t size);
// As SetHandleSize, returning the error; -108 also when the size afterwards differs from `size`.
OSErr SetHandleSizeChecked(Handle h, std::uint32_t size);
void DisposeHandle(Handle h);
void HLock(Handle h);
void HUnlock(Handle h);
std::uint8_t HGetState(Handle h);
void HSetState(Handle h, std::uint8_t state);
void EmptyHandle(Handle h);
void ReallocateHandle(Handle h, std::uint32_t size);
// Replaces *h with a new handle holding a copy of its data.
void HandToHand(Handle* h);
OSErr HandToHandChecked(Handle* h);
// Capacity of the handle's data block (header included), 0 for an invalid or empty handle.
std::uint32_t GetHandleCapacity(Handle h);

// Allocate-into-place wrappers: the place is set to null on failure.
OSErr NewHandleInto(Handle* place, std::uint32_t size, bool clear);
OSErr NewPtrInto(Ptr* place, std::uint32_t size, bool clear);

// Fixed pointer blocks.
Ptr NewPtr(std::uint32_t size);
Ptr NewPtrClear(std::uint32_t size);
std::uint32_t GetPtrSize(Ptr p);
void DisposePtr(Ptr p);
void SetPtrSize(Ptr p, std::uint32_t size);

} // namespace BRASK::MEMFIX
