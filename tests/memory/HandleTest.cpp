// Handles and pointers: sizes, capacity, locking, copies, clearing, refusals and the tear-down.
#include "MemoryTestSupport.h"

#include <string>

namespace BRASK::MEMFIX::TEST {
namespace {

using HandleTest = MemoryTest;

TEST_F(HandleTest, CapacityGrowsIn128ByteStepsAndTheHandleSurvivesMoves) {
    Handle h = NewHandle(0);
    ASSERT_NE(h, nullptr);
    EXPECT_NE(*h, nullptr);
    EXPECT_EQ(GetHandleCapacity(h), 128u);
    EXPECT_GE(BytesInUse(), mStartBytes + 128 + 20);

    SetHandleSize(h, 100);
    Fill(*h, 100, 3);
    char* const before = *h;
    EXPECT_EQ(SetHandleSizeChecked(h, 120), noErr); // 8 + 120 still fits one granule: no move
    EXPECT_EQ(*h, before);
    EXPECT_EQ(GetHandleSize(h), 120u);
    EXPECT_EQ(SetHandleSizeChecked(h, 121), noErr);
    EXPECT_EQ(GetHandleCapacity(h), 256u);
    EXPECT_EQ(GetHandleSize(h), 121u);
    EXPECT_TRUE(HoldsPattern(*h, 100, 3));
    EXPECT_EQ(SetHandleSizeChecked(h, 1 << 20), noErr); // almost surely moves; the data follows
    EXPECT_EQ(GetHandleCapacity(h), 1048704u);          // 8 + 1 MiB rounded up to 128
    EXPECT_TRUE(HoldsPattern(*h, 100, 3));
    EXPECT_EQ(SetHandleSizeChecked(h, 50), noErr);
    EXPECT_EQ(GetHandleCapacity(h), 128u);
    EXPECT_TRUE(HoldsPattern(*h, 50, 3));
    DisposeHandle(h);
    EXPECT_EQ(MemError(), noErr);
}

TEST_F(HandleTest, LockedHandleChangesSizeOnlyWithinItsBlock) {
    Handle h = NewHandle(1000);
    ASSERT_NE(h, nullptr);
    Fill(*h, 1000, 11);
    HLock(h);
    EXPECT_EQ(HGetState(h), kHandleLockedBit);
    char* const pinned = *h;
    EXPECT_EQ((SetHandleSize(h, 1017), MemError()), memFullErr);
    EXPECT_EQ(GetHandleSize(h), 1000u);
    EXPECT_EQ(SetHandleSizeChecked(h, 10), noErr);
    EXPECT_EQ(GetHandleCapacity(h), 1024u); // a locked block keeps its size when it shrinks
    EXPECT_EQ(SetHandleSizeChecked(h, 1000), noErr);
    EXPECT_EQ(SetHandleSizeChecked(h, 1017), memFullErr);
    EXPECT_EQ(*h, pinned);
    EXPECT_TRUE(HoldsPattern(*h, 10, 11));
    EXPECT_EQ((EmptyHandle(h), MemError()), memPurErr);
    EXPECT_EQ(*h, pinned);

    HUnlock(h);
    EXPECT_EQ(HGetState(h), 0u);
    EXPECT_EQ(SetHandleSizeChecked(h, 1017), noErr);
    EXPECT_TRUE(HoldsPattern(*h, 10, 11));
    HLock(h);
    EXPECT_EQ((DisposeHandle(h), MemError()), noErr); // disposing a locked handle is allowed
}

TEST_F(HandleTest, CopyEmptyReallocateAndState) {
    Handle h = NewHandle(300);
    ASSERT_NE(h, nullptr);
    Fill(*h, 300, 42);
    Handle copy = h;
    EXPECT_EQ(HandToHandChecked(&copy), noErr);
    ASSERT_NE(copy, h);
    EXPECT_EQ(GetHandleSize(copy), 300u);
    EXPECT_TRUE(HoldsPattern(*copy, 300, 42));
    Fill(*copy, 300, 99); // independent of the original
    EXPECT_TRUE(HoldsPattern(*h, 300, 42));
    DisposeHandle(copy);

    EmptyHandle(h); // an empty master pointer is refused, never followed
    EXPECT_EQ(*h, nullptr);
    EXPECT_EQ(WithError(GetHandleSize(h)), std::pair(0u, nilHandleErr));
    EXPECT_EQ(SetHandleSizeChecked(h, 10), nilHandleErr);
    EXPECT_EQ(HandToHandChecked(&h), nilHandleErr);
    HLock(h);
    EXPECT_EQ((ReallocateHandle(h, 1000), MemError()), noErr); // a fresh, unlocked, block
    EXPECT_EQ(GetHandleCapacity(h), 1024u);
    EXPECT_EQ(HGetState(h), 0u);
    HSetState(h, 0xFF); // only the bits a valid handle may carry are kept
    EXPECT_EQ(HGetState(h), 0xA0);
    EXPECT_EQ(GetHandleSize(h), 1000u);
    DisposeHandle(h);
}

TEST_F(HandleTest, ClearedBlocksAreZeroWhateverTheFreedMemoryHeld) {
    Handle h = NewHandle(1000);
    Ptr p = NewPtr(256);
    ASSERT_TRUE(h && p);
    std::memset(*h, 0xAB, 1000); // dirty the memory given back so that zeroing is really observed
    std::memset(p, 0x5A, 256);
    DisposeHandle(h);
    DisposePtr(p);
    ASSERT_EQ(NewHandleInto(&h, 1000, true), noErr);
    ASSERT_EQ(NewPtrInto(&p, 256, true), noErr);
    EXPECT_EQ(std::string(*h, 1000), std::string(1000, '\0'));
    EXPECT_EQ(std::string(p, 256), std::string(256, '\0'));
    DisposeHandle(h);
    DisposePtr(p);
}

TEST_F(HandleTest, RefusedRequestsLeaveTheBlockAsItWas) {
    Handle h = NewHandle(100);
    ASSERT_NE(h, nullptr);
    Fill(*h, 100, 1);
    Handle handlePlace = h;
    Ptr pointerPlace = *h;
    const auto unchanged = [h] { return GetHandleSize(h) == 100u && HoldsPattern(*h, 100, 1); };
    // Sizes whose block would pass 32 bits must not wrap round to a tiny block.
    EXPECT_EQ(WithError(NewHandle(0xFFFFFFF0u)), std::pair(Handle{}, memFullErr));
    EXPECT_EQ(WithError(NewHandleClear(0xFFFFFFFFu)), std::pair(Handle{}, memFullErr));
    EXPECT_EQ(WithError(NewPtr(0xFFFFFFFCu)), std::pair(Ptr{}, memFullErr));
    EXPECT_EQ(NewHandleInto(&handlePlace, 0xFFFFFFF0u, false), memFullErr);
    EXPECT_EQ(NewPtrInto(&pointerPlace, 0xFFFFFFFCu, true), memFullErr);
    EXPECT_EQ(std::pair(handlePlace, pointerPlace), std::pair(Handle{}, Ptr{}));
    EXPECT_EQ(NewHandleInto(nullptr, 10, false), nilHandleErr);
    EXPECT_EQ(NewPtrInto(nullptr, 12, false), nilHandleErr);
    EXPECT_EQ(SetHandleSizeChecked(h, 0xFFFFFFF0u), memFullErr);
    EXPECT_EQ((ReallocateHandle(h, 0xFFFFFFF0u), MemError()), memFullErr);
    EXPECT_TRUE(unchanged());

    SetAllocationLimit(BytesInUse() + 4096); // refused after bounded retries, not a hang
    EXPECT_EQ(WithError(NewHandle(8192)), std::pair(Handle{}, memFullErr));
    EXPECT_EQ(WithError(NewPtr(8192)), std::pair(Ptr{}, memFullErr));
    EXPECT_EQ(SetHandleSizeChecked(h, 8192), memFullErr);
    EXPECT_TRUE(unchanged());
    SetAllocationLimit(0);
    EXPECT_EQ(SetHandleSizeChecked(h, 8192), noErr);

    // The ceiling (physical memory) only makes allocations compact the heaps first; it refuses nothing.
    const std::uint64_t ceiling = MemoryCeiling();
    EXPECT_GT(ceiling, 0u);
    SetMemoryCeiling(BytesInUse());
    Handle past = NewHandle(8192);
    EXPECT_NE(past, nullptr);
    EXPECT_EQ(SetHandleSizeChecked(h, 16384), noErr);
    Ptr pointer = NewPtr(8192);
    EXPECT_NE(pointer, nullptr);
    SetMemoryCeiling(ceiling);
    DisposePtr(pointer);
    DisposeHandle(past);
    DisposeHandle(h);
}

TEST_F(HandleTest, PointerSizeShrinksInPlaceAndNeverGrows) {
    Ptr p = NewPtr(100);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(GetPtrSize(p), 100u);
    Fill(p, 100, 9);
    EXPECT_EQ((SetPtrSize(p, 101), MemError()), memFullErr);
    EXPECT_EQ(GetPtrSize(p), 100u);
    EXPECT_EQ((SetPtrSize(p, 30), MemError()), noErr);
    EXPECT_EQ(GetPtrSize(p), 30u);
    EXPECT_TRUE(HoldsPattern(p, 30, 9));
    EXPECT_EQ((SetPtrSize(p, 31), MemError()), memFullErr);
    EXPECT_EQ((DisposePtr(p), MemError()), noErr);
}

TEST(MemoryTearDown, FreesEveryBlockAndForgetsTheHandles) {
    ASSERT_EQ(InitMemoryManager(), 0);
    Handle a = NewHandle(1000);
    Ptr p = NewPtr(77);
    ASSERT_TRUE(a && p);
    EXPECT_EQ(TearDownMemoryManager(), noErr);
    EXPECT_EQ(BytesInUse(), 0u);
    EXPECT_EQ(WithError(GetHandleSize(a)), std::pair(0u, memWZErr));
    EXPECT_EQ((DisposePtr(p), MemError()), memWZErr);
    EXPECT_EQ(InitMemoryManager(), 0);
    EXPECT_EQ((DisposeHandle(NewHandle(5)), MemError()), noErr);
    EXPECT_EQ(BytesInUse(), 0u);
}

} // namespace
} // namespace BRASK::MEMFIX::TEST
