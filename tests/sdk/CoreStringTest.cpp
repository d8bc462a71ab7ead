#include "brask/CoreString.h"

#include <gtest/gtest.h>

using namespace BRASK;

TEST(CoreString, ConvertsNonAsciiBothWays) {
    const std::string utf8 = "Gr\xC3\xBC\xC3\x9F"
                             "e \xE2\x82\xAC \xF0\x9F\x98\x80"; // Grüße € 😀
    CoreString text = CoreString::FromUTF8(utf8);
    ASSERT_EQ(text.length(), 10u); // the emoji takes a surrogate pair
    EXPECT_EQ(text[2], u'\u00FC');
    EXPECT_EQ(text[6], u'\u20AC');
    EXPECT_EQ(text[8], 0xD83D);
    EXPECT_EQ(text.GetUTF8String(), utf8);
}

TEST(CoreString, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(STRING::UTF8ToUTF16("a\xC3"), u"a\uFFFD");                   // truncated sequence
    EXPECT_EQ(STRING::UTF8ToUTF16("\xC0\xAF"), u"\uFFFD\uFFFD");           // overlong
    EXPECT_EQ(STRING::UTF8ToUTF16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"); // encoded surrogate
    const char16_t lone[] = {u'x', 0xD800, u'y', 0};
    EXPECT_EQ(STRING::UTF16ToUTF8(lone), "x\xEF\xBF\xBDy");
}
