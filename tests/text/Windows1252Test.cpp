#include "Windows1252.h"

#include <gtest/gtest.h>

#include <string>

using BRASK::TEXT::Windows1252ToUTF16;
using BRASK::TEXT::Windows1252ToUTF8;

// Every byte gives one unit: 0x80..0x9F as the code page maps them (its five unassigned bytes pass through),
// every other byte keeps its value, NUL included.
TEST(Windows1252, EveryByteGivesOneUnit) {
    const std::u16string upper = u"\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039"
                                 u"\u0152\u008D\u017D\u008F\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014"
                                 u"\u02DC\u2122\u0161\u203A\u0153\u009D\u017E\u0178";
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const std::u16string converted = Windows1252ToUTF16(all);
    ASSERT_EQ(converted.size(), 256u);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(converted[b], b >= 0x80 && b < 0xA0 ? upper[b - 0x80] : b) << b;
    EXPECT_EQ(Windows1252ToUTF8(std::string("Caf\xE9 \x80\0b", 8)),
              std::string("Caf\xC3\xA9 \xE2\x82\xAC\0b", 11));
}
