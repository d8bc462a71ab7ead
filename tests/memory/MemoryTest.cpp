// The handle-based memory manager: sizes, capacity, locking, copies, clearing, refusals, the tear-down,
// foreign addresses and concurrent use. Every test must give back all it took.
#include "../support/Fixture.h"

#include "MemoryManager.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <latch>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace BRASK::MEMFIX::TEST {
namespace {

// `size` bytes that `seed` starts: blocks written by different owners differ.
std::string Pattern(std::uint32_t size, std::uint8_t seed) {
    std::string bytes(size, '\0');
    for (std::uint32_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(static_cast<std::uint8_t>(seed + i * 7));
    return bytes;
}

void Fill(char* data, std::uint32_t size, std::uint8_t seed) {
    std::memcpy(data, Pattern(size, seed).data(), size);
}

// A call's result with the last error the call left (the argument is evaluated before MemError runs).
template <class T> std::pair<T, OSErr> WithError(T result) {
    return {result, MemError()};
}

class MemoryTest : public BRASK::TEST::Fixture {
protected:
    void SetUp() override {
        Fixture::SetUp();
        ASSERT_EQ(InitMemoryManager(), 0);
        mStartBytes = BytesInUse();
    }
    void TearDown() override {
        EXPECT_EQ(BytesInUse(), mStartBytes);
        Fixture::TearDown();
    }
    std::uint64_t mStartBytes = 0;
};

TEST_F(MemoryTest, CapacityGrowsIn128ByteStepsAndTheHandleSurvivesMoves) {
    Handle h = NewHandle(0);
    ASSERT_NE(h, nullptr);
    EXPECT_NE(*h, nullptr);
    EXPECT_EQ(GetHandleCapacity(h), 128u);
    EXPECT_GE(BytesInUse(), mStartBytes + 128 + 20);
    SetHandleSize(h, 100);
    Fill(*h, 100, 3);
    char* const before = *h;
    // 8 + 120 still fits one granule: no move; 1 MiB almost surely moves, and the data follows.
    for (auto [size, capacity] : std::vector<std::pair<std::uint32_t, std::uint32_t>>{
             {120, 128}, {121, 256}, {1 << 20, 1048704}, {50, 128}}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(SetHandleSizeChecked(h, size), noErr);
        EXPECT_EQ(std::pair(GetHandleSize(h), GetHandleCapacity(h)), std::pair(size, capacity));
        EXPECT_EQ(std::string(*h, std::min(size, 100u)), Pattern(std::min(size, 100u), 3));
        EXPECT_TRUE(size != 120 || *h == before);
    }
    EXPECT_EQ((DisposeHandle(h), MemError()), noErr);
}

TEST_F(MemoryTest, LockedHandleChangesSizeOnlyWithinItsBlock) {
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
    EXPECT_EQ(std::string(*h, 10), Pattern(10, 11));
    EXPECT_EQ((EmptyHandle(h), MemError()), memPurErr);
    EXPECT_EQ(*h, pinned);

    HUnlock(h);
    EXPECT_EQ(HGetState(h), 0u);
    EXPECT_EQ(SetHandleSizeChecked(h, 1017), noErr);
    EXPECT_EQ(std::string(*h, 10), Pattern(10, 11));
    HLock(h);
    EXPECT_EQ((DisposeHandle(h), MemError()), noErr); // disposing a locked handle is allowed
}

TEST_F(MemoryTest, CopyEmptyReallocateAndState) {
    Handle h = NewHandle(300);
    ASSERT_NE(h, nullptr);
    Fill(*h, 300, 42);
    Handle copy = h;
    EXPECT_EQ(HandToHandChecked(&copy), noErr);
    ASSERT_NE(copy, h);
    EXPECT_EQ(std::string(*copy, GetHandleSize(copy)), Pattern(300, 42));
    Fill(*copy, 300, 99); // independent of the original
    EXPECT_EQ(std::string(*h, 300), Pattern(300, 42));
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

TEST_F(MemoryTest, ClearedBlocksAreZeroWhateverTheFreedMemoryHeld) {
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

TEST_F(MemoryTest, RefusedRequestsLeaveTheBlockAsItWas) {
    Handle h = NewHandle(100);
    ASSERT_NE(h, nullptr);
    Fill(*h, 100, 1);
    Handle handlePlace = h;
    Ptr pointerPlace = *h;
    const auto unchanged = [h] { return std::string(*h, GetHandleSize(h)) == Pattern(100, 1); };
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
    EXPECT_EQ(SetHandleSizeChecked(h, 16384), noErr);
    Ptr pointer = NewPtr(8192);
    SetMemoryCeiling(ceiling);
    EXPECT_TRUE(past && pointer);
    DisposePtr(pointer);
    DisposeHandle(past);
    DisposeHandle(h);
}

TEST_F(MemoryTest, PointerSizeShrinksInPlaceAndNeverGrows) {
    Ptr p = NewPtr(100);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(GetPtrSize(p), 100u);
    Fill(p, 100, 9);
    EXPECT_EQ((SetPtrSize(p, 101), MemError()), memFullErr);
    EXPECT_EQ(GetPtrSize(p), 100u);
    EXPECT_EQ((SetPtrSize(p, 30), MemError()), noErr);
    EXPECT_EQ(GetPtrSize(p), 30u);
    EXPECT_EQ(std::string(p, 30), Pattern(30, 9));
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

// Addresses the manager did not give out (or already took back) are refused with -111 by every handle
// operation and, unless the address is one of its pointer blocks, every pointer operation, without the
// manager reading or writing them (AddressSanitizer would abort on a read).
TEST_F(MemoryTest, EveryOperationRefusesEveryForeignAddress) {
    char* stackSlots[4] = {};
    // A malloc block with a perfect master-record layout is still not one of the manager's.
    char* forged = static_cast<char*>(std::calloc(64, 1));
    ASSERT_NE(forged, nullptr);
    const std::uint32_t twelve = 12, flags = 1;
    char* forgedData = forged + 40;
    std::memcpy(forged, &twelve, 4);
    std::memcpy(forged + 4, &flags, 4);
    std::memcpy(forged + 8, &forgedData, sizeof forgedData);
    const std::string forgedBefore(forged, 64);
    Handle live = NewHandle(100);
    Ptr pointerBlock = NewPtr(40);
    Ptr disposedPointer = NewPtr(20);
    DisposePtr(disposedPointer);
    Handle disposed = NewHandle(100); // last, so that no later handle takes its record
    DisposeHandle(disposed);
    ASSERT_TRUE(live && pointerBlock && disposed);

    for (auto [name, h] : std::vector<std::pair<const char*, Handle>>{
             {"null", nullptr},
             {"stack", &stackSlots[1]},
             {"forged", reinterpret_cast<Handle>(forged + 8)},
             {"disposed", disposed},
             {"disposed pointer", reinterpret_cast<Handle>(disposedPointer)},
             {"interior", reinterpret_cast<Handle>(reinterpret_cast<char*>(live) + 4)},
             {"data address", reinterpret_cast<Handle>(*live)},
             {"pointer block", reinterpret_cast<Handle>(pointerBlock)}}) {
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
        if (p != pointerBlock)
            operations.insert(operations.end(), {{"GetPtrSize", [p] { EXPECT_EQ(GetPtrSize(p), 0u); }},
                                                 {"SetPtrSize", [p] { SetPtrSize(p, 1); }},
                                                 {"DisposePtr", [p] { DisposePtr(p); }}});
        for (const auto& [operation, call] : operations) {
            SCOPED_TRACE(std::string(name) + ": " + operation);
            // A successful call first, so that the error really comes from the refused one.
            DisposePtr(NewPtr(1));
            ASSERT_EQ(MemError(), noErr);
            call();
            EXPECT_EQ(MemError(), memWZErr);
        }
    }
    EXPECT_EQ(std::vector<char*>(stackSlots, stackSlots + 4), std::vector<char*>(4));
    EXPECT_EQ(std::string(forged, 64), forgedBefore);
    EXPECT_EQ(std::pair(GetHandleSize(live), GetPtrSize(pointerBlock)), std::pair(100u, 40u));
    DisposeHandle(live);
    DisposePtr(pointerBlock);
    std::free(forged);
}

// One worker: a ring of its own handles, each checked when its turn comes round again, then locked (it cannot
// grow), unlocked and grown, copied and disposed, and replaced by a new one. Each worker writes its own
// pattern, so a block given to two threads shows. The workers start together, so that their calls overlap.
void Work(std::uint8_t seed, std::atomic<int>& failures, std::latch& start) {
    const auto check = [&failures](bool ok) { failures += ok ? 0 : 1; };
    const auto holds = [seed](Handle h, std::uint32_t size) {
        return std::string(*h, size) == Pattern(size, seed);
    };
    start.arrive_and_wait();
    std::vector<std::pair<Handle, std::uint32_t>> ring(16, {nullptr, 0});
    for (std::uint32_t step = 0; step < 3000; ++step) {
        auto& [h, size] = ring[step % ring.size()];
        if (h != nullptr) {
            check(holds(h, size));
            HLock(h);
            check(SetHandleSizeChecked(h, size + 200) == memFullErr && MemError() == memFullErr);
            HUnlock(h);
            check(SetHandleSizeChecked(h, size + 1000) == noErr && holds(h, size));
            Handle copy = h;
            check(HandToHandChecked(&copy) == noErr && copy != h && holds(copy, size));
            DisposeHandle(copy);
            DisposeHandle(h);
            check(MemError() == noErr);
            GetHandleSize(h); // must not read the freed record (another thread may reuse it)
        }
        size = (step * 37 + seed) % 600;
        h = NewHandle(size);
        check(h != nullptr && MemError() == noErr);
        Fill(*h, size, seed);
        Ptr p = NewPtr(size);
        check(p != nullptr);
        DisposePtr(p);
    }
    for (auto& [h, size] : ring) {
        check(holds(h, size));
        DisposeHandle(h);
    }
}

TEST_F(MemoryTest, ConcurrentAllocationResizingLockingAndDisposal) {
    std::atomic<int> failures{0};
    std::latch start(4);
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < 4; ++i)
        threads.emplace_back(Work, static_cast<std::uint8_t>(17 * i + 1), std::ref(failures),
                             std::ref(start));
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST_F(MemoryTest, LastErrorBelongsToTheCallingThread) {
    GetHandleSize(nullptr);
    ASSERT_EQ(MemError(), memWZErr);
    std::pair<OSErr, OSErr> seenByOther{1, 1}; // before and after its own successful call
    std::thread other([&] {
        seenByOther.first = MemError();
        DisposeHandle(NewHandle(8));
        seenByOther.second = MemError();
        SetHandleSize(nullptr, 4);
    });
    other.join();
    EXPECT_EQ(seenByOther, std::pair(noErr, noErr));
    EXPECT_EQ(MemError(), memWZErr);
}

} // namespace
} // namespace BRASK::MEMFIX::TEST
