#include "MemoryTestSupport.h"

namespace BRASK::MEMFIX::TEST {
namespace {

using PointerTest = MemoryTest;

TEST_F(PointerTest, HeaderSizeShrinkInPlaceAndNoGrowth) {
    Ptr p = NewPtr(100);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(ReadU32(p - 8), 100u);
    EXPECT_EQ(ReadU32(p - 4), 0u);
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
    DisposePtr(p);
    EXPECT_EQ(MemError(), noErr);
    DisposePtr(p); // twice: refused, not a double free
    EXPECT_EQ(MemError(), memWZErr);
}

TEST_F(PointerTest, ClearedAndHugeRequests) {
    Ptr p = NewPtr(256);
    ASSERT_NE(p, nullptr);
    std::memset(p, 0x5A, 256); // dirty the free memory so that zeroing is really observed
    DisposePtr(p);
    EXPECT_EQ(NewPtrInto(&p, 256, true), noErr);
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(p[i], 0) << "byte " << i;
    DisposePtr(p);
    // Sizes whose block would pass 32 bits must not wrap round to a tiny block.
    EXPECT_EQ(NewPtrInto(&p, 0xFFFFFFFCu, true), memFullErr);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(NewPtrInto(nullptr, 12, false), nilHandleErr);
    EXPECT_EQ(NewPtr(0xFFFFFFFCu), nullptr);
    EXPECT_EQ(MemError(), memFullErr);
}

} // namespace
} // namespace BRASK::MEMFIX::TEST
