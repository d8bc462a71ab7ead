// The manager is shared by threads: its state stays consistent under concurrent use and each thread
// sees the error of its own last operation.
#include "MemoryTestSupport.h"

#include <atomic>
#include <latch>
#include <thread>
#include <vector>

namespace BRASK::MEMFIX::TEST {
namespace {

using ThreadTest = MemoryTest;

// One worker: a ring of its own handles, each checked when its turn comes round again, then locked (it cannot
// grow), unlocked and grown, copied and disposed, and replaced by a new one. Each worker writes its own
// pattern, so a block given to two threads shows. The workers start together, so that their calls overlap.
void Work(std::uint8_t seed, std::atomic<int>& failures, std::latch& start) {
    const auto check = [&failures](bool ok) { failures += ok ? 0 : 1; };
    start.arrive_and_wait();
    std::vector<std::pair<Handle, std::uint32_t>> ring(16, {nullptr, 0});
    for (std::uint32_t step = 0; step < 3000; ++step) {
        auto& [h, size] = ring[step % ring.size()];
        if (h != nullptr) {
            check(HoldsPattern(*h, size, seed));
            HLock(h);
            check(SetHandleSizeChecked(h, size + 200) == memFullErr && MemError() == memFullErr);
            HUnlock(h);
            check(SetHandleSizeChecked(h, size + 1000) == noErr && HoldsPattern(*h, size, seed));
            Handle copy = h;
            check(HandToHandChecked(&copy) == noErr && copy != h && HoldsPattern(*copy, size, seed));
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
        check(HoldsPattern(*h, size, seed));
        DisposeHandle(h);
    }
}

TEST_F(ThreadTest, ConcurrentAllocationResizingLockingAndDisposal) {
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
