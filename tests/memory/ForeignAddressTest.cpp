// Addresses the manager did not give out (or already took back) are refused with -111 by every
// operation, without the manager reading or writing them (AddressSanitizer would abort on a read).
#include "MemoryTestSupport.h"

#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

namespace BRASK::MEMFIX::TEST {
namespace {

void ExpectEveryOperationRefuses(Handle h) {
    const std::vector<std::pair<const char*, std::function<void()>>> operations = {
        {"GetHandleSize", [h] { EXPECT_EQ(GetHandleSize(h), 0u); }},
        {"GetHandleCapacity", [h] { EXPECT_EQ(GetHandleCapacity(h), 0u); }},
        {"SetHandleSize", [h] { SetHandleSize(h, 10); }},
        {"SetHandleSizeChecked", [h] { EXPECT_EQ(SetHandleSizeChecked(h, 500), memWZErr); }},
        {"DisposeHandle", [h] { DisposeHandle(h); }},
        {"HLock", [h] { HLock(h); }},
        {"HUnlock", [h] { HUnlock(h); }},
        {"HGetState", [h] { EXPECT_EQ(HGetState(h), 0u); }},
        {"HSetState", [h] { HSetState(h, 0x80); }},
        {"EmptyHandle", [h] { EmptyHandle(h); }},
        {"ReallocateHandle", [h] { ReallocateHandle(h, 64); }},
        {"HandToHandChecked",
         [h] {
             Handle place = h;
             EXPECT_EQ(HandToHandChecked(&place), memWZErr);
             EXPECT_EQ(place, h);
         }},
    };
    for (const auto& [name, call] : operations) {
        SCOPED_TRACE(name);
        DisposePtr(NewPtr(1)); // a successful call first, so that the error really comes from the refused one
        ASSERT_EQ(MemError(), noErr);
        call();
        EXPECT_EQ(MemError(), memWZErr);
    }
}

using ForeignAddressTest = MemoryTest;

TEST_F(ForeignAddressTest, HandleOperationsRefuseEveryForeignAddress) {
    char* stackSlots[4] = {};
    // A malloc block with a perfect master-record layout is still not one of the manager's.
    char* forged = static_cast<char*>(std::calloc(64, 1));
    ASSERT_NE(forged, nullptr);
    const std::uint32_t twelve = 12, flags = 1;
    char* forgedData = forged + 40;
    std::memcpy(forged, &twelve, 4);
    std::memcpy(forged + 4, &flags, 4);
    std::memcpy(forged + 8, &forgedData, sizeof forgedData);
    char forgedBefore[64];
    std::memcpy(forgedBefore, forged, 64);
    Handle live = NewHandle(100);
    Ptr pointerBlock = NewPtr(40);
    Handle disposed = NewHandle(100); // last, so that no later handle takes its record
    DisposeHandle(disposed);
    ASSERT_TRUE(live && pointerBlock && disposed);

    for (auto [name, foreign] : std::vector<std::pair<const char*, Handle>>{
             {"null", nullptr},
             {"stack", &stackSlots[1]},
             {"forged", reinterpret_cast<Handle>(forged + 8)},
             {"disposed", disposed},
             {"interior", reinterpret_cast<Handle>(reinterpret_cast<char*>(live) + 4)},
             {"data address", reinterpret_cast<Handle>(*live)},
             {"pointer block", reinterpret_cast<Handle>(pointerBlock)}}) {
        SCOPED_TRACE(name);
        ExpectEveryOperationRefuses(foreign);
    }
    for (char* slot : stackSlots)
        EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(std::memcmp(forgedBefore, forged, 64), 0);
    EXPECT_EQ(GetHandleSize(live), 100u);
    DisposeHandle(live);
    DisposePtr(pointerBlock);
    std::free(forged);
}

TEST_F(ForeignAddressTest, PointerOperationsRefuseEveryForeignAddress) {
    char stackBytes[32] = {};
    char* heapBytes = static_cast<char*>(std::malloc(32));
    Ptr disposed = NewPtr(20);
    DisposePtr(disposed);
    Handle h = NewHandle(20);
    ASSERT_TRUE(heapBytes && h);
    for (Ptr foreign : {static_cast<Ptr>(nullptr), stackBytes + 8, heapBytes + 8, disposed, *h}) {
        SCOPED_TRACE(static_cast<const void*>(foreign));
        EXPECT_EQ(WithError(GetPtrSize(foreign)), std::pair(0u, memWZErr));
        EXPECT_EQ((SetPtrSize(foreign, 1), MemError()), memWZErr);
        EXPECT_EQ((DisposePtr(foreign), MemError()), memWZErr);
    }
    DisposeHandle(h);
    std::free(heapBytes);
}

} // namespace
} // namespace BRASK::MEMFIX::TEST
