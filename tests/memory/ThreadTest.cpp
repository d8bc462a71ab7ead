// The manager is shared by threads: its state stays consistent under concurrent use and each thread
// sees the error of its own last operation.
#include "MemoryTestSupport.h"

#include <algorithm>
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

// One worker: a random mix of every handle operation on its own handles, checking its data throughout.
void Work(unsigned seed, std::atomic<int>& failures) {
    std::mt19937 random(seed);
    std::vector<Owned> owned;
    std::vector<Ptr> pointers;
    auto fail = [&failures] { failures.fetch_add(1); };
    for (int step = 0; step < 3000; ++step) {
        const unsigned action = random() % 8;
        if (owned.empty() || action == 0) {
            const std::uint32_t size = random() % 600;
            Handle h = NewHandle(size);
            if (h == nullptr || MemError() != noErr)
                fail();
            const std::uint8_t fillSeed = static_cast<std::uint8_t>(random());
            Fill(*h, size, fillSeed);
            owned.push_back({h, size, fillSeed});
            continue;
        }
        Owned& item = owned[random() % owned.size()];
        if (!HoldsPattern(*item.handle, item.size, item.seed))
            fail();
        switch (action) {
        case 1:
        case 2: {
            const std::uint32_t size = random() % 2000;
            const bool locked = (HGetState(item.handle) & kHandleLockedBit) != 0;
            const bool grows = (8 + size + 127) / 128 * 128 > GetHandleCapacity(item.handle);
            const OSErr error = SetHandleSizeChecked(item.handle, size);
            if (error != MemError())
                fail();
            if (locked && grows) {
                if (error != memFullErr || GetHandleSize(item.handle) != item.size)
                    fail();
            } else if (error == noErr) {
                if (!HoldsPattern(*item.handle, std::min(item.size, size), item.seed))
                    fail();
                Fill(*item.handle, size, item.seed);
                item.size = size;
            } else {
                fail();
            }
            break;
        }
        case 3:
            HLock(item.handle);
            if (MemError() != noErr || HGetState(item.handle) != kHandleLockedBit)
                fail();
            break;
        case 4:
            HUnlock(item.handle);
            if (MemError() != noErr)
                fail();
            break;
        case 5: {
            Handle copy = item.handle;
            if (HandToHandChecked(&copy) != noErr || copy == item.handle ||
                !HoldsPattern(*copy, item.size, item.seed))
                fail();
            owned.push_back({copy, item.size, item.seed});
            break;
        }
        case 6: {
            Ptr p = NewPtr(random() % 300);
            if (p == nullptr)
                fail();
            pointers.push_back(p);
            if (pointers.size() > 20) {
                DisposePtr(pointers.front());
                pointers.erase(pointers.begin());
            }
            break;
        }
        default: {
            const std::size_t index = static_cast<std::size_t>(&item - owned.data());
            DisposeHandle(item.handle);
            if (MemError() != noErr)
                fail();
            // The disposed handle must be refused now, even though another thread may reuse its memory.
            GetHandleSize(owned[index].handle);
            owned.erase(owned.begin() + static_cast<std::ptrdiff_t>(index));
            break;
        }
        }
    }
    for (const Owned& item : owned) {
        if (!HoldsPattern(*item.handle, item.size, item.seed))
            fail();
        DisposeHandle(item.handle);
    }
    for (Ptr p : pointers)
        DisposePtr(p);
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
    OSErr seenByOther = 1;
    OSErr otherAfterOwnCall = 1;
    std::thread other([&] {
        seenByOther = MemError();
        Handle h = NewHandle(8);
        DisposeHandle(h);
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
