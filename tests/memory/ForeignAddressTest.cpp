// Addresses the manager did not give out (or already took back) are refused with -111 by every
// operation, without the manager reading or writing them (AddressSanitizer would abort on a read).
#include "MemoryTestSupport.h"

#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

namespace BRASK::MEMFIX::TEST {
namespace {

// Every handle operation on `h` and, unless the address is a pointer block of the manager's, every pointer
// operation on it.
void ExpectEveryOperationRefuses(Handle h, bool pointerBlock) {
    const Ptr p = reinterpret_cast<Ptr>(h);
    std::vector<std::pair<const char*, std::function<void()>>> operations = {
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
    if (!pointerBlock)
        operations.insert(operations.end(), {{"GetPtrSize", [p] { EXPECT_EQ(GetPtrSize(p), 0u); }},
                                             {"SetPtrSize", [p] { SetPtrSize(p, 1); }},
                                             {"DisposePtr", [p] { DisposePtr(p); }}});
    for (const auto& [name, call] : operations) {
        SCOPED_TRACE(name);
        DisposePtr(NewPtr(1)); // a successful call first, so that the error really comes from the refused one
        ASSERT_EQ(MemError(), noErr);
        call();
        EXPECT_EQ(MemError(), memWZErr);
    }
}

using ForeignAddressTest = MemoryTest;

TEST_F(ForeignAddressTest, EveryOperationRefusesEveryForeignAddress) {
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
    Ptr disposedPointer = NewPtr(20);
    DisposePtr(disposedPointer);
    Handle disposed = NewHandle(100); // last, so that no later handle takes its record
    DisposeHandle(disposed);
    ASSERT_TRUE(live && pointerBlock && disposed);

    for (auto [name, foreign] : std::vector<std::pair<const char*, Handle>>{
             {"null", nullptr},
             {"stack", &stackSlots[1]},
             {"forged", reinterpret_cast<Handle>(forged + 8)},
             {"disposed", disposed},
             {"disposed pointer", reinterpret_cast<Handle>(disposedPointer)},
             {"interior", reinterpret_cast<Handle>(reinterpret_cast<char*>(live) + 4)},
             {"data address", reinterpret_cast<Handle>(*live)},
             {"pointer block", reinterpret_cast<Handle>(pointerBlock)}}) {
        SCOPED_TRACE(name);
        ExpectEveryOperationRefuses(foreign, foreign == reinterpret_cast<Handle>(pointerBlock));
    }
    for (char* slot : stackSlots)
        EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(std::memcmp(forgedBefore, forged, 64), 0);
    EXPECT_EQ(GetHandleSize(live), 100u);
    EXPECT_EQ(GetPtrSize(pointerBlock), 40u);
    DisposeHandle(live);
    DisposePtr(pointerBlock);
    std::free(forged);
}

} // namespace
} // namespace BRASK::MEMFIX::TEST
