#include "text/Windows1252.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using BRASK::TEXT::Windows1252ToUTF16;
using BRASK::TEXT::Windows1252ToUTF8;

TEST(Windows1252, AsciiAndLatin1RangeKeepTheirValues) {
    EXPECT_EQ(Windows1252ToUTF16("Spot (1)"), u"Spot (1)");
    EXPECT_EQ(Windows1252ToUTF16("\xE9\xFC\xA0\xFF"), u"\u00E9\u00FC\u00A0\u00FF");
    EXPECT_EQ(Windows1252ToUTF16(""), u"");
}

TEST(Windows1252, UpperControlRangeUsesTheCodePage) {
    // 0x80..0x9F differ from Latin-1: the euro sign, typographic quotes, dashes, the trade mark sign.
    EXPECT_EQ(Windows1252ToUTF16("\x80\x93\x94\x96\x97\x99\x8A\x9F"),
              u"\u20AC\u201C\u201D\u2013\u2014\u2122\u0160\u0178");
}

TEST(Windows1252, EveryByteGivesOneUnitAndNoneIsLost) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const std::u16string converted = Windows1252ToUTF16(all);
    ASSERT_EQ(converted.size(), 256u);
    EXPECT_EQ(converted[0], 0u); // NUL passes unchanged
    for (unsigned char undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(converted[undefined], undefined) << int(undefined);
    for (int b = 0; b < 0x80; ++b)
        EXPECT_EQ(converted[b], b);
}

TEST(Windows1252, Utf8FormEncodesTwoAndThreeByteSequences) {
    EXPECT_EQ(Windows1252ToUTF8("Caf\xE9 \x80"), "Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(Windows1252ToUTF8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Windows1252, ConvertsOnSeveralThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::vector<std::u16string> results(4);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&results, t] {
            for (int i = 0; i < 500; ++i)
                results[t] = Windows1252ToUTF16("\x80 Pantone \x99 Warm Red");
        });
    for (auto& thread : threads)
        thread.join();
    for (const auto& result : results)
        EXPECT_EQ(result, u"\u20AC Pantone \u2122 Warm Red");
}
