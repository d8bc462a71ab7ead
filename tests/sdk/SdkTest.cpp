// The SDK's value types: strings, GUIDs, the unit conversions of the filter keys, reference-counted objects.
#include "brask/CoreString.h"
#include "brask/FilterKeys.h"
#include "brask/Guid.h"
#include "brask/ObjectCounter.h"
#include "brask/TInterfacePtr.h"
#include "brask/TObject.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <thread>
#include <tuple>
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

TEST(CoreString, ConvertsNonAsciiBothWays) {
    const std::string utf8 = "Gr\xC3\xBC\xC3\x9F"
                             "e \xE2\x82\xAC \xF0\x9F\x98\x80"; // Grüße € 😀
    const CoreString text = CoreString::FromUTF8(utf8);
    EXPECT_EQ(text, CoreString(std::u16string(u"Gr\u00FC\u00DFe \u20AC \xD83D\xDE00"))); // a surrogate pair
    EXPECT_EQ(text.GetUTF8String(), utf8);
}

TEST(CoreString, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(STRING::UTF8ToUTF16("a\xC3"), u"a\uFFFD");                   // truncated sequence
    EXPECT_EQ(STRING::UTF8ToUTF16("\xC0\xAF"), u"\uFFFD\uFFFD");           // overlong
    EXPECT_EQ(STRING::UTF8ToUTF16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"); // encoded surrogate
    const char16_t lone[] = {u'x', 0xD800, u'y', 0};
    EXPECT_EQ(STRING::UTF16ToUTF8(lone), "x\xEF\xBF\xBDy");
}

TEST(Guid, TextRoundTripsInBracesAndMalformedTextIsRejected) {
    const GUID id = MakeGuid(0x937382D8, 0x98F7, 0x4613, 0x8212, 0x5EEAF4EDED31);
    EXPECT_EQ(id.ToString(), "{937382D8-98F7-4613-8212-5EEAF4EDED31}");
    EXPECT_EQ(GUID::FromString("{937382d8-98f7-4613-8212-5eeaf4eded31}"), id);
    EXPECT_EQ(GUID::FromString("937382D8-98F7-4613-8212-5EEAF4EDED31"), id);
    for (const char* text :
         {"", "{}", "{937382D8-98F7-4613-8212-5EEAF4EDED3}", "{937382D8-98F7-4613-8212X5EEAF4EDED31}",
          "{937382D8-98F7-4613-8212-5EEAF4EDED3G}", "{937382D8-98F7-4613-8212-5EEAF4EDED31"})
        EXPECT_FALSE(GUID::FromString(text).has_value()) << text;
}

// Equality and the map order both tell apart GUIDs that differ in any one byte.
TEST(Guid, EqualityAndOrderCoverEveryByte) {
    const GUID a = MakeGuid(1, 2, 3, 0x0405, 0x060708090A0B);
    const GuidLess less;
    EXPECT_FALSE(less(a, a));
    for (int byte = 0; byte < 16; ++byte) {
        GUID b = a;
        reinterpret_cast<unsigned char*>(&b)[byte] ^= 0x80;
        EXPECT_NE(a, b) << "byte " << byte;
        EXPECT_NE(less(a, b), less(b, a)) << "byte " << byte;
    }
}

TEST(Guid, RandomGuidsAreVersionFourAndDistinct) {
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        const GUID g = GUID::NewRandom();
        EXPECT_EQ(std::make_pair(g.Data3 >> 12, g.Data4[0] & 0xC0), std::make_pair(4, 0x80));
        seen.insert(g.ToString());
    }
    EXPECT_EQ(seen.size(), 200u);
}

// The two unit conversions of the contract: exact points, and pixel counts that never overflow.
TEST(FilterKeys, FixedPointsAndPixels) {
    EXPECT_EQ(FixedToPoints(0x7FFFFFFF), 32767.9999847412109375); // exact
    EXPECT_EQ(FixedToPoints(-0x8000 - 0x10000), -1.5);
    // Truncated toward zero in float arithmetic: 100 pt at 100 dpi are 138.9 pixels; 50 pt at 72 dpi, 50.
    const std::tuple<float, float, std::int32_t> cases[] = {
        {100.0f, 100.0f, 138},     {50.0f, 72.0f, 50},         {0.5f, 72.0f, 0},
        {-100.0f, 72.0f, -100},    {1e30f, 72.0f, 2147483647}, {-1e30f, 72.0f, -2147483647 - 1},
        {std::nanf(""), 72.0f, 0}, {100.0f, std::nanf(""), 0}};
    for (const auto& [points, dpi, pixels] : cases)
        EXPECT_EQ(PixelsFor(points, dpi), pixels) << points << " pt at " << dpi << " dpi";
}

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
    EXPECT_EQ(std::make_pair(first->RefCount(), second->RefCount()), std::make_pair(1u, 2u));
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
    EXPECT_EQ(std::make_pair(destroyed, owner->GetInterfaceTable()->size()), std::make_pair(2, 3ul));
    owner->DetachAllInterfaces();
    EXPECT_EQ(std::make_pair(destroyed, owner->GetInterfaceTable()->size()), std::make_pair(5, 0ul));
    owner->Release();
}

TEST(TObject, CountsAreAtomicAcrossThreads) {
    const auto liveBefore = ObjectCounter::Live();
    int destroyed = 0;
    Thing* thing = new Thing(&destroyed);
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([thing] {
                for (int i = 0; i < 20000; ++i) {
                    thing->AddRef();
                    thing->Release();
                }
            });
    }
    EXPECT_EQ(thing->RefCount(), 1u);
    EXPECT_EQ(thing->Release(), 0u);
    EXPECT_EQ(std::make_pair(destroyed, ObjectCounter::Live()), std::make_pair(1, liveBefore));
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
