#include "MemoryTestSupport.h"

namespace BRASK::MEMFIX::TEST {
namespace {

using PointerTest = MemoryTest;

TEST_F(PointerTest, HeaderHoldsTheLogicalSize) {
    Ptr p = NewPtr(10);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(MemError(), noErr);
    EXPECT_EQ(ReadU32(p - 8), 10u);
    EXPECT_EQ(ReadU32(p - 4), 0u);
    EXPECT_EQ(GetPtrSize(p), 10u);
    EXPECT_GE(BytesInUse(), mStartBytes + 20);
    DisposePtr(p);
    EXPECT_EQ(MemError(), noErr);
    DisposePtr(p);
    EXPECT_EQ(MemError(), memWZErr);
}

TEST_F(PointerTest, CannotGrowButShrinksInPlace) {
    Ptr p = NewPtr(100);
    ASSERT_NE(p, nullptr);
    Fill(p, 100, 9);
    SetPtrSize(p, 101);
    EXPECT_EQ(MemError(), memFullErr);
    EXPECT_EQ(GetPtrSize(p), 100u);
    SetPtrSize(p, 30);
    EXPECT_EQ(MemError(), noErr);
    EXPECT_EQ(GetPtrSize(p), 30u);
    EXPECT_TRUE(HoldsPattern(p, 30, 9));
    SetPtrSize(p, 31);
    EXPECT_EQ(MemError(), memFullErr);
    SetPtrSize(p, 0);
    EXPECT_EQ(MemError(), noErr);
    EXPECT_EQ(GetPtrSize(p), 0u);
    DisposePtr(p);
}

TEST_F(PointerTest, ClearedAndAllocateIntoPlace) {
    Ptr dirty = NewPtr(256);
    ASSERT_NE(dirty, nullptr);
    std::memset(dirty, 0x5A, 256);
    DisposePtr(dirty);
    Ptr p = NewPtrClear(256);
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(p[i], 0) << "byte " << i;
    DisposePtr(p);

    Ptr place = reinterpret_cast<Ptr>(&place);
    EXPECT_EQ(NewPtrInto(&place, 12, false), noErr);
    ASSERT_NE(place, nullptr);
    EXPECT_EQ(GetPtrSize(place), 12u);
    DisposePtr(place);

    place = reinterpret_cast<Ptr>(&place);
    EXPECT_EQ(NewPtrInto(&place, 0xFFFFFFFCu, true), memFullErr);
    EXPECT_EQ(place, nullptr);
    EXPECT_EQ(NewPtrInto(nullptr, 12, false), nilHandleErr);
}

TEST_F(PointerTest, SizesBeyondThirtyTwoBitBlocksAreRefused) {
    EXPECT_EQ(NewPtr(0xFFFFFFFCu), nullptr);
    EXPECT_EQ(MemError(), memFullErr);
    EXPECT_EQ(NewPtrClear(0xFFFFFFF8u), nullptr);
    EXPECT_EQ(MemError(), memFullErr);
}

TEST_F(PointerTest, BytesInUseFollowsEveryBlock) {
    std::vector<Handle> handles;
    std::vector<Ptr> pointers;
    std::uint64_t previous = BytesInUse();
    for (std::uint32_t size : {0u, 1u, 120u, 121u, 5000u, 70000u}) {
        handles.push_back(NewHandle(size));
        ASSERT_NE(handles.back(), nullptr);
        EXPECT_GE(BytesInUse(), previous + 20 + (8 + size + 127) / 128 * 128);
        previous = BytesInUse();
        pointers.push_back(NewPtr(size));
        ASSERT_NE(pointers.back(), nullptr);
        EXPECT_GE(BytesInUse(), previous + 8 + size);
        previous = BytesInUse();
    }
    for (Handle h : handles)
        SetHandleSize(h, 3000);
    EXPECT_GT(BytesInUse(), mStartBytes);
    for (Handle h : handles)
        DisposeHandle(h);
    for (Ptr p : pointers)
        DisposePtr(p);
    EXPECT_EQ(BytesInUse(), mStartBytes);
}

} // namespace
} // namespace BRASK::MEMFIX::TEST
