#include "brask/ObjectCounter.h"
#include "brask/TInterfacePtr.h"
#include "brask/TObject.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace BRASK;

namespace {
class IThing : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0x11111111, 0x2222, 0x3333, 0x4444, 0x555555555555);
};

class Thing : public TObject<IThing> {
public:
    explicit Thing(int* destroyed = nullptr) : mDestroyed(destroyed) {}
    ~Thing() override {
        if (mDestroyed != nullptr)
            ++*mDestroyed;
    }

private:
    int* mDestroyed;
};

const GUID kKey = MakeGuid(0xAAAAAAAA, 1, 2, 3, 4);
} // namespace

// The attached table: one reference per value, lookups lend, replacing or detaching releases.
TEST(TObject, AttachedValuesAreHeldOnceAndReleasedWhenReplaced) {
    int destroyed = 0;
    Thing* owner = new Thing;
    Thing* first = new Thing(&destroyed);
    Thing* second = new Thing(&destroyed);
    IObject* found = reinterpret_cast<IObject*>(0x1);
    EXPECT_EQ(owner->GetInterface(IThing::IID, &found), kNoInterface); // not its own id: only the table
    EXPECT_EQ(found, reinterpret_cast<IObject*>(0x1));                 // untouched when absent

    owner->AttachInterface(first, kKey);
    owner->AttachInterface(first, kKey);   // same object again: nothing
    owner->AttachInterface(nullptr, kKey); // null: nothing
    EXPECT_EQ(owner->GetInterface(kKey, &found), kOK);
    EXPECT_EQ(found, first);
    EXPECT_EQ(first->RefCount(), 2u);
    owner->AttachInterface(second, kKey);
    EXPECT_EQ(first->RefCount(), 1u);
    EXPECT_EQ(second->RefCount(), 2u);
    first->Release();
    second->Release();
    EXPECT_EQ(destroyed, 1); // the second is still held by the owner

    for (std::uint32_t i = 0; i < 3; ++i) {
        Thing* value = new Thing(&destroyed);
        owner->AttachInterface(value, MakeGuid(i, 0, 0, 0, 0));
        value->Release();
    }
    owner->DetachInterface(MakeGuid(1, 0, 0, 0, 0));
    owner->DetachInterface(MakeGuid(9, 0, 0, 0, 0)); // absent: nothing
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(owner->GetInterfaceTable()->size(), 3u);
    owner->DetachAllInterfaces();
    EXPECT_EQ(destroyed, 5);
    EXPECT_TRUE(owner->GetInterfaceTable()->empty());
    owner->Release();
}

TEST(TObject, CountsAreAtomicAcrossThreads) {
    const auto liveBefore = ObjectCounter::Live();
    int destroyed = 0;
    Thing* thing = new Thing(&destroyed);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([thing] {
            for (int i = 0; i < 20000; ++i) {
                thing->AddRef();
                thing->Release();
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(thing->RefCount(), 1u);
    EXPECT_EQ(thing->Release(), 0u);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(ObjectCounter::Live(), liveBefore);
}

TEST(TInterfacePtr, HoldsExactlyOneReference) {
    int destroyed = 0;
    Thing* thing = new Thing(&destroyed);
    {
        TInterfacePtr<Thing> shared(thing); // takes its own
        EXPECT_EQ(thing->RefCount(), 2u);
        TInterfacePtr<Thing> copy = shared;
        EXPECT_EQ(thing->RefCount(), 3u);
        TInterfacePtr<Thing> moved = std::move(copy);
        EXPECT_FALSE(copy);
        EXPECT_EQ(thing->RefCount(), 3u);
        moved.Reset();
        EXPECT_EQ(thing->RefCount(), 2u);
    }
    EXPECT_EQ(thing->RefCount(), 1u);
    TInterfacePtr<Thing> adopted;
    adopted.Adopt(thing); // takes over the creator's reference
    EXPECT_EQ(thing->RefCount(), 1u);
    adopted = nullptr;
    EXPECT_EQ(destroyed, 1);
}
