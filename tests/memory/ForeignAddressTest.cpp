// Addresses the manager did not give out (or already took back) are refused with -111 by every
// operation, without the manager reading or writing them.
#include "MemoryTestSupport.h"

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace BRASK::MEMFIX::TEST {
namespace {

struct HandleOperation {
    std::string name;
    std::function<void(Handle)> call;
};

std::vector<HandleOperation> EveryHandleOperation() {
    return {
        {"GetHandleSize", [](Handle h) { EXPECT_EQ(GetHandleSize(h), 0u); }},
        {"GetHandleCapacity", [](Handle h) { EXPECT_EQ(GetHandleCapacity(h), 0u); }},
        {"SetHandleSize", [](Handle h) { SetHandleSize(h, 10); }},
        {"SetHandleSizeChecked", [](Handle h) { EXPECT_EQ(SetHandleSizeChecked(h, 500), memWZErr); }},
        {"DisposeHandle", [](Handle h) { DisposeHandle(h); }},
        {"HLock", [](Handle h) { HLock(h); }},
        {"HUnlock", [](Handle h) { HUnlock(h); }},
        {"HGetState", [](Handle h) { EXPECT_EQ(HGetState(h), 0u); }},
        {"HSetState", [](Handle h) { HSetState(h, 0x80); }},
        {"EmptyHandle", [](Handle h) { EmptyHandle(h); }},
        {"ReallocateHandle", [](Handle h) { ReallocateHandle(h, 64); }},
        {"HandToHand",
         [](Handle h) {
             Handle place = h;
             HandToHand(&place);
             EXPECT_EQ(place, h);
         }},
        {"HandToHandChecked",
         [](Handle h) {
             Handle place = h;
             EXPECT_EQ(HandToHandChecked(&place), memWZErr);
             EXPECT_EQ(place, h);
         }},
    };
}

void ExpectEveryOperationRefuses(Handle h, const char* what) {
    for (const HandleOperation& operation : EveryHandleOperation()) {
        SCOPED_TRACE(std::string(what) + " / " + operation.name);
        // A successful call first, so that the error really comes from the refused one.
        Ptr probe = NewPtr(1);
        ASSERT_EQ(MemError(), noErr);
        DisposePtr(probe);
        operation.call(h);
        EXPECT_EQ(MemError(), memWZErr);
    }
}

using ForeignAddressTest = MemoryTest;

TEST_F(ForeignAddressTest, NullHandle) {
    ExpectEveryOperationRefuses(nullptr, "null");
}

TEST_F(ForeignAddressTest, StackVariable) {
    char* slots[4] = {nullptr, nullptr, nullptr, nullptr};
    ExpectEveryOperationRefuses(&slots[1], "stack");
    for (char* slot : slots)
        EXPECT_EQ(slot, nullptr);
}

TEST_F(ForeignAddressTest, MallocBlockDressedAsAMasterRecord) {
    // Even a block that carries a perfect master-record layout is not one of the manager's.
    char* forged = static_cast<char*>(std::malloc(64));
    ASSERT_NE(forged, nullptr);
    std::memset(forged, 0, 64);
    const std::uint32_t twelve = 12, flags = 1;
    std::memcpy(forged, &twelve, 4);
    std::memcpy(forged + 4, &flags, 4);
    char* data = forged + 40;
    std::memcpy(forged + 8, &data, sizeof data);
    char before[64];
    std::memcpy(before, forged, 64);

    ExpectEveryOperationRefuses(reinterpret_cast<Handle>(forged + 8), "forged");
    EXPECT_EQ(std::memcmp(before, forged, 64), 0);
    std::free(forged);
}

TEST_F(ForeignAddressTest, DisposedHandle) {
    Handle h = NewHandle(100);
    ASSERT_NE(h, nullptr);
    DisposeHandle(h);
    ASSERT_EQ(MemError(), noErr);
    // Under AddressSanitizer any read of the freed record would abort here.
    ExpectEveryOperationRefuses(h, "disposed");
}

TEST_F(ForeignAddressTest, InteriorAddressOfALiveHandle) {
    Handle h = NewHandle(100);
    ASSERT_NE(h, nullptr);
    ExpectEveryOperationRefuses(reinterpret_cast<Handle>(reinterpret_cast<char*>(h) + 4), "interior");
    ExpectEveryOperationRefuses(reinterpret_cast<Handle>(*h), "data address");
    EXPECT_EQ(GetHandleSize(h), 100u);
    DisposeHandle(h);
    EXPECT_EQ(MemError(), noErr);
}

TEST_F(ForeignAddressTest, PointerOperationsRefuseForeignAddresses) {
    char stackBytes[32] = {};
    char* heapBytes = static_cast<char*>(std::malloc(32));
    ASSERT_NE(heapBytes, nullptr);
    Ptr disposed = NewPtr(20);
    ASSERT_NE(disposed, nullptr);
    DisposePtr(disposed);
    Handle h = NewHandle(20);
    ASSERT_NE(h, nullptr);

    for (Ptr foreign : {static_cast<Ptr>(nullptr), stackBytes + 8, heapBytes + 8, disposed, *h}) {
        SCOPED_TRACE(static_cast<const void*>(foreign));
        EXPECT_EQ(GetPtrSize(foreign), 0u);
        EXPECT_EQ(MemError(), memWZErr);
        SetPtrSize(foreign, 1);
        EXPECT_EQ(MemError(), memWZErr);
        DisposePtr(foreign);
        EXPECT_EQ(MemError(), memWZErr);
    }
    // A pointer block is not a handle either.
    Ptr p = NewPtr(40);
    ASSERT_NE(p, nullptr);
    ExpectEveryOperationRefuses(reinterpret_cast<Handle>(p), "pointer block");
    DisposePtr(p);
    DisposeHandle(h);
    std::free(heapBytes);
}

} // namespace
} // namespace BRASK::MEMFIX::TEST
