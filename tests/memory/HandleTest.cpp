#include "MemoryTestSupport.h"

namespace BRASK::MEMFIX::TEST {
namespace {

using HandleTest = MemoryTest;

TEST_F(HandleTest, NewHandleZeroIsValidWithOneGranule) {
    Handle h = NewHandle(0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(MemError(), noErr);
    EXPECT_NE(*h, nullptr);
    EXPECT_EQ(GetHandleSize(h), 0u);
    EXPECT_EQ(MemError(), noErr);
    EXPECT_EQ(GetHandleCapacity(h), 128u);
    EXPECT_GE(BytesInUse(), mStartBytes + 128 + 20);
    DisposeHandle(h);
    EXPECT_EQ(MemError(), noErr);
}

TEST_F(HandleTest, MasterRecordAndDataHeaderLayout) {
    Handle h = NewHandle(100);
    ASSERT_NE(h, nullptr);
    const char* record = reinterpret_cast<const char*>(h) - 8;
    EXPECT_EQ(ReadU32(record), 12u);
    EXPECT_EQ(ReadU32(record + 4) & 1u, 1u);
    EXPECT_EQ(static_cast<std::uint8_t>(record[16]), 0u);
    EXPECT_EQ(ReadU32(*h - 8), 100u);
    EXPECT_EQ(ReadU32(*h - 4), 0u);
    HLock(h);
    EXPECT_EQ(static_cast<std::uint8_t>(record[16]), kHandleLockedBit);
    EXPECT_EQ(HGetState(h), kHandleLockedBit);
    HUnlock(h);
    EXPECT_EQ(HGetState(h), 0u);
    DisposeHandle(h);
}

TEST_F(HandleTest, GrowingWithinAGranuleKeepsTheBlockAndCrossingItKeepsTheHandle) {
    Handle h = NewHandle(100);
    ASSERT_NE(h, nullptr);
    Fill(*h, 100, 3);
    char* const before = *h;

    SetHandleSize(h, 120);
    EXPECT_EQ(MemError(), noErr);
    EXPECT_EQ(*h, before);
    EXPECT_EQ(GetHandleCapacity(h), 128u);
    EXPECT_EQ(GetHandleSize(h), 120u);

    Handle const sameHandle = h;
    EXPECT_EQ(SetHandleSizeChecked(h, 121), noErr);
    EXPECT_EQ(h, sameHandle);
    EXPECT_EQ(GetHandleCapacity(h), 256u);
    EXPECT_EQ(GetHandleSize(h), 121u);
    EXPECT_EQ(ReadU32(*h - 8), 121u);
    EXPECT_TRUE(HoldsPattern(*h, 100, 3));

    // Far larger: the block almost surely moves; the data follows it.
    EXPECT_EQ(SetHandleSizeChecked(h, 1 << 20), noErr);
    EXPECT_EQ(GetHandleCapacity(h), (8u + (1u << 20) + 127u) / 128u * 128u);
    EXPECT_TRUE(HoldsPattern(*h, 100, 3));

    // Shrinking keeps the leading bytes.
    EXPECT_EQ(SetHandleSizeChecked(h, 50), noErr);
    EXPECT_EQ(GetHandleCapacity(h), 128u);
    EXPECT_TRUE(HoldsPattern(*h, 50, 3));
    DisposeHandle(h);
}

TEST_F(HandleTest, LockedHandleCannotGrowButCanShrinkWithoutMoving) {
    Handle h = NewHandle(100);
    ASSERT_NE(h, nullptr);
    Fill(*h, 100, 11);
    HLock(h);
    char* const pinned = *h;

    SetHandleSize(h, 300);
    EXPECT_EQ(MemError(), memFullErr);
    EXPECT_EQ(GetHandleSize(h), 100u);
    EXPECT_EQ(*h, pinned);
    EXPECT_EQ(SetHandleSizeChecked(h, 300), memFullErr);

    // Within the same capacity a locked handle may still change size.
    EXPECT_EQ(SetHandleSizeChecked(h, 110), noErr);
    EXPECT_EQ(SetHandleSizeChecked(h, 10), noErr);
    EXPECT_EQ(GetHandleSize(h), 10u);
    EXPECT_EQ(*h, pinned);
    EXPECT_TRUE(HoldsPattern(*h, 10, 11));

    HUnlock(h);
    EXPECT_EQ(SetHandleSizeChecked(h, 300), noErr);
    EXPECT_EQ(GetHandleCapacity(h), 384u);
    EXPECT_TRUE(HoldsPattern(*h, 10, 11));
    DisposeHandle(h);
}

TEST_F(HandleTest, LockedShrinkKeepsCapacityForRegrowth) {
    Handle h = NewHandle(1000);
    ASSERT_NE(h, nullptr);
    HLock(h);
    char* const pinned = *h;
    EXPECT_EQ(SetHandleSizeChecked(h, 5), noErr);
    EXPECT_EQ(SetHandleSizeChecked(h, 1000), noErr);
    EXPECT_EQ(*h, pinned);
    EXPECT_EQ(SetHandleSizeChecked(h, 1017), memFullErr);
    EXPECT_EQ(GetHandleSize(h), 1000u);
    DisposeHandle(h); // disposing a locked handle is allowed
    EXPECT_EQ(MemError(), noErr);
}

TEST_F(HandleTest, EmptiedHandle) {
    Handle h = NewHandle(64);
    ASSERT_NE(h, nullptr);
    EmptyHandle(h);
    EXPECT_EQ(MemError(), noErr);
    EXPECT_EQ(*h, nullptr);
    EXPECT_EQ(GetHandleSize(h), 0u);
    EXPECT_EQ(MemError(), nilHandleErr);
    EXPECT_EQ(GetHandleCapacity(h), 0u);
    SetHandleSize(h, 10);
    EXPECT_EQ(MemError(), nilHandleErr);
    EXPECT_EQ(SetHandleSizeChecked(h, 10), nilHandleErr);
    EXPECT_EQ(HandToHandChecked(&h), nilHandleErr);
    EmptyHandle(h); // already empty
    EXPECT_EQ(MemError(), noErr);

    ReallocateHandle(h, 200);
    EXPECT_EQ(MemError(), noErr);
    ASSERT_NE(*h, nullptr);
    EXPECT_EQ(GetHandleSize(h), 200u);
    EXPECT_EQ(GetHandleCapacity(h), 256u);
    EmptyHandle(h);
    DisposeHandle(h);
    EXPECT_EQ(MemError(), noErr);
}

TEST_F(HandleTest, EmptyingALockedHandleFails) {
    Handle h = NewHandle(32);
    ASSERT_NE(h, nullptr);
    Fill(*h, 32, 5);
    HLock(h);
    EmptyHandle(h);
    EXPECT_EQ(MemError(), memPurErr);
    ASSERT_NE(*h, nullptr);
    EXPECT_TRUE(HoldsPattern(*h, 32, 5));
    EXPECT_EQ(GetHandleSize(h), 32u);
    DisposeHandle(h);
}

TEST_F(HandleTest, ReallocateGivesAFreshUnlockedBlock) {
    Handle h = NewHandle(16);
    ASSERT_NE(h, nullptr);
    HLock(h);
    ReallocateHandle(h, 500);
    EXPECT_EQ(MemError(), noErr);
    EXPECT_EQ(GetHandleSize(h), 500u);
    EXPECT_EQ(GetHandleCapacity(h), 512u);
    EXPECT_EQ(HGetState(h) & kHandleLockedBit, 0);
    DisposeHandle(h);
}

TEST_F(HandleTest, HandToHandCopiesIntoANewHandle) {
    Handle original = NewHandle(300);
    ASSERT_NE(original, nullptr);
    Fill(*original, 300, 42);
    Handle h = original;
    HandToHand(&h);
    EXPECT_EQ(MemError(), noErr);
    ASSERT_NE(h, original);
    EXPECT_NE(*h, *original);
    EXPECT_EQ(GetHandleSize(h), 300u);
    EXPECT_TRUE(HoldsPattern(*h, 300, 42));
    // The copy is independent of the original.
    Fill(*h, 300, 99);
    EXPECT_TRUE(HoldsPattern(*original, 300, 42));

    Handle zeroSized = NewHandle(0);
    Handle copy = zeroSized;
    EXPECT_EQ(HandToHandChecked(&copy), noErr);
    EXPECT_NE(copy, zeroSized);
    EXPECT_EQ(GetHandleSize(copy), 0u);

    EXPECT_EQ(HandToHandChecked(nullptr), nilHandleErr);
    EXPECT_EQ(MemError(), nilHandleErr);
    DisposeHandle(copy);
    DisposeHandle(zeroSized);
    DisposeHandle(h);
    DisposeHandle(original);
}

TEST_F(HandleTest, NewHandleClearZeroesAndSetStateKeepsTheHandleValid) {
    // Dirty the allocator's free memory first so that zeroing is really observed.
    Handle dirty = NewHandle(1000);
    ASSERT_NE(dirty, nullptr);
    std::memset(*dirty, 0xAB, 1000);
    DisposeHandle(dirty);
    Handle h = NewHandleClear(1000);
    ASSERT_NE(h, nullptr);
    for (std::uint32_t i = 0; i < 1000; ++i)
        ASSERT_EQ((*h)[i], 0) << "byte " << i;

    HSetState(h, 0xFF);
    EXPECT_EQ(MemError(), noErr);
    EXPECT_EQ(HGetState(h), 0xA0);
    EXPECT_EQ(GetHandleSize(h), 1000u);
    EXPECT_EQ(MemError(), noErr);
    HSetState(h, 0);
    EXPECT_EQ(HGetState(h), 0u);
    DisposeHandle(h);
    EXPECT_EQ(MemError(), noErr);
}

TEST_F(HandleTest, AllocateIntoPlace) {
    Handle place = reinterpret_cast<Handle>(&place); // any non-null value
    EXPECT_EQ(NewHandleInto(&place, 40, true), noErr);
    ASSERT_NE(place, nullptr);
    EXPECT_EQ(GetHandleSize(place), 40u);
    EXPECT_EQ((*place)[39], 0);
    DisposeHandle(place);

    place = reinterpret_cast<Handle>(&place);
    EXPECT_EQ(NewHandleInto(&place, 0xFFFFFFF0u, false), memFullErr);
    EXPECT_EQ(place, nullptr);
    EXPECT_EQ(NewHandleInto(nullptr, 10, false), nilHandleErr);
    EXPECT_EQ(MemError(), nilHandleErr);
}

TEST_F(HandleTest, HugeRequestsFailCleanly) {
    EXPECT_EQ(NewHandle(0xFFFFFFF0u), nullptr);
    EXPECT_EQ(MemError(), memFullErr);
    EXPECT_EQ(NewHandleClear(0xFFFFFFFFu), nullptr);
    EXPECT_EQ(MemError(), memFullErr);
    EXPECT_EQ(BytesInUse(), mStartBytes);

    Handle h = NewHandle(64);
    ASSERT_NE(h, nullptr);
    Fill(*h, 64, 1);
    EXPECT_EQ(SetHandleSizeChecked(h, 0xFFFFFFF0u), memFullErr);
    EXPECT_EQ(GetHandleSize(h), 64u);
    EXPECT_TRUE(HoldsPattern(*h, 64, 1));
    ReallocateHandle(h, 0xFFFFFFF0u);
    EXPECT_EQ(MemError(), memFullErr);
    EXPECT_EQ(GetHandleSize(h), 64u);
    EXPECT_TRUE(HoldsPattern(*h, 64, 1));
    DisposeHandle(h);
}

TEST_F(HandleTest, RequestsPastTheCeilingAreRefusedAfterBoundedRetries) {
    const std::uint64_t ceiling = MemoryCeiling();
    SetMemoryCeiling(BytesInUse() + 4096);
    Handle small = NewHandle(100);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(NewHandle(8192), nullptr);
    EXPECT_EQ(MemError(), memFullErr);
    EXPECT_EQ(SetHandleSizeChecked(small, 8192), memFullErr);
    EXPECT_EQ(GetHandleSize(small), 100u);
    EXPECT_EQ(NewPtr(8192), nullptr);
    EXPECT_EQ(MemError(), memFullErr);
    SetMemoryCeiling(ceiling);
    EXPECT_EQ(SetHandleSizeChecked(small, 8192), noErr);
    DisposeHandle(small);
}

TEST_F(HandleTest, CeilingIsThePhysicalMemory) {
    std::FILE* meminfo = std::fopen("/proc/meminfo", "r");
    ASSERT_NE(meminfo, nullptr);
    unsigned long long totalKiB = 0;
    ASSERT_EQ(std::fscanf(meminfo, "MemTotal: %llu kB", &totalKiB), 1);
    std::fclose(meminfo);
    EXPECT_EQ(MemoryCeiling(), totalKiB * 1024);
}

TEST(MemoryTearDown, FreesEveryBlockAndForgetsTheHandles) {
    ASSERT_EQ(InitMemoryManager(), 0);
    Handle a = NewHandle(1000);
    Handle b = NewHandle(10);
    Ptr p = NewPtr(77);
    ASSERT_TRUE(a && b && p);
    EXPECT_GT(BytesInUse(), 1000u);
    EXPECT_EQ(TearDownMemoryManager(), noErr);
    EXPECT_EQ(BytesInUse(), 0u);
    GetHandleSize(a);
    EXPECT_EQ(MemError(), memWZErr);
    DisposePtr(p);
    EXPECT_EQ(MemError(), memWZErr);
    EXPECT_EQ(InitMemoryManager(), 0);
    Handle c = NewHandle(5);
    ASSERT_NE(c, nullptr);
    DisposeHandle(c);
    EXPECT_EQ(BytesInUse(), 0u);
}

} // namespace
} // namespace BRASK::MEMFIX::TEST
