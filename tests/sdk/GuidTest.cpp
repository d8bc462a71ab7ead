#include "brask/Guid.h"
#include "brask/FilterKeys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <tuple>

using BRASK::GUID;
using BRASK::MakeGuid;

TEST(Guid, TextRoundTripsInBraces) {
    const GUID id = MakeGuid(0x937382D8, 0x98F7, 0x4613, 0x8212, 0x5EEAF4EDED31);
    EXPECT_EQ(id.ToString(), "{937382D8-98F7-4613-8212-5EEAF4EDED31}");
    auto parsed = GUID::FromString("{937382d8-98f7-4613-8212-5eeaf4eded31}");
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(*parsed, id);
    EXPECT_EQ(GUID::FromString("937382D8-98F7-4613-8212-5EEAF4EDED31"), id);
}

TEST(Guid, MalformedTextIsRejected) {
    for (const char* text :
         {"", "{}", "{937382D8-98F7-4613-8212-5EEAF4EDED3}", "{937382D8-98F7-4613-8212X5EEAF4EDED31}",
          "{937382D8-98F7-4613-8212-5EEAF4EDED3G}", "{937382D8-98F7-4613-8212-5EEAF4EDED31"}) {
        EXPECT_FALSE(GUID::FromString(text).has_value()) << text;
    }
}

// Equality and the map order both tell apart GUIDs that differ in any one byte.
TEST(Guid, EqualityAndOrderCoverEveryByte) {
    const GUID a = MakeGuid(1, 2, 3, 0x0405, 0x060708090A0B);
    const BRASK::GuidLess less;
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
        EXPECT_EQ(g.Data3 >> 12, 4);
        EXPECT_EQ(g.Data4[0] & 0xC0, 0x80);
        seen.insert(g.ToString());
    }
    EXPECT_EQ(seen.size(), 200u);
}

// The two unit conversions of the contract: exact points, and pixel counts that never overflow.
TEST(FilterKeys, FixedPointsAndPixels) {
    using namespace BRASK;
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
