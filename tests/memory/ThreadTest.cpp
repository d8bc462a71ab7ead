// The manager is shared by threads: its state stays consistent under concurrent use and each thread
// sees the error of its own last operation.
#include "MemoryTestSupport.h"

#include <atomic>
#include <random>
#include <thread>
#include <vector>

namespace BRASK::MEMFIX::TEST {
namespace {

using ThreadTest = MemoryTest;

struct Owned {
    Handle handle;
    std::uint32_t size;
    std::uint8_t seed;
};

// One worker: a random mix of handle operations on its own handles, checking its data throughout.
void Work(unsigned seed, std::atomic<int>& failures) {
    std::mt19937 random(seed);
    std::vector<Owned> owned;
    const auto check = [&failures](bool ok) { failures += ok ? 0 : 1; };
    for (int step = 0; step < 3000; ++step) {
        const unsigned action = random() % 6;
        if (owned.empty() || action == 0) {
            const std::uint32_t size = random() % 600;
            Handle h = NewHandle(size);
            check(h != nullptr && MemError() == noErr);
            owned.push_back({h, size, static_cast<std::uint8_t>(random())});
            Fill(*h, size, owned.back().seed);
            continue;
        }
        const std::size_t index = random() % owned.size();
        Owned& item = owned[index];
        check(HoldsPattern(*item.handle, item.size, item.seed));
        if (action == 1 || action == 2) {
            const std::uint32_t size = random() % 2000;
            const bool locked = (HGetState(item.handle) & kHandleLockedBit) != 0;
            const bool grows = (8 + size + 127) / 128 * 128 > GetHandleCapacity(item.handle);
            const OSErr error = SetHandleSizeChecked(item.handle, size);
            check(error == MemError() && error == (locked && grows ? memFullErr : noErr));
            if (error == noErr) {
                Fill(*item.handle, size, item.seed);
                item.size = size;
            }
        } else if (action == 3) {
            (HGetState(item.handle) & kHandleLockedBit) ? HUnlock(item.handle) : HLock(item.handle);
            check(MemError() == noErr);
        } else if (action == 4) {
            Handle copy = item.handle;
            check(HandToHandChecked(&copy) == noErr && copy != item.handle &&
                  HoldsPattern(*copy, item.size, item.seed));
            owned.push_back({copy, item.size, item.seed});
        } else {
            DisposeHandle(item.handle);
            check(MemError() == noErr);
            GetHandleSize(item.handle); // must not read the freed record (another thread may reuse it)
            owned.erase(owned.begin() + static_cast<std::ptrdiff_t>(index));
        }
        Ptr p = NewPtr(random() % 300);
        check(p != nullptr);
        DisposePtr(p);
    }
    for (const Owned& item : owned) {
        check(HoldsPattern(*item.handle, item.size, item.seed));
        DisposeHandle(item.handle);
    }
}

TEST_F(ThreadTest, ConcurrentAllocationResizingLockingAndDisposal) {
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < 4; ++i)
        threads.emplace_back(Work, 1000 + i, std::ref(failures));
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST_F(ThreadTest, LastErrorBelongsToTheCallingThread) {
    GetHandleSize(nullptr);
    ASSERT_EQ(MemError(), memWZErr);
    OSErr seenByOther = 1, otherAfterOwnCall = 1;
    std::thread other([&] {
        seenByOther = MemError();
        DisposeHandle(NewHandle(8));
        otherAfterOwnCall = MemError();
        SetHandleSize(nullptr, 4);
    });
    other.join();
    EXPECT_EQ(seenByOther, noErr);
    EXPECT_EQ(otherAfterOwnCall, noErr);
    EXPECT_EQ(MemError(), memWZErr);
}

} // namespace
} // namespace BRASK::MEMFIX::TEST
