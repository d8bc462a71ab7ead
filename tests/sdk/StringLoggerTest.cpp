#include "brask/CoreString.h"
#include "brask/Logger.h"

#include <gtest/gtest.h>

#include <vector>

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

TEST(CoreString, FindAndSubstring) {
    BXString path("/tmp/dir/picture.Ai");
    EXPECT_EQ(path.rfind(u'.'), 16u);
    EXPECT_EQ(path.substr(17), BXString("Ai"));
    EXPECT_EQ(path.find(BXString("dir")), 5u);
    EXPECT_EQ(path.find(BXString("nothing")), CoreString::npos);
    CoreString joined = BXString("a") + BXString("b");
    EXPECT_EQ(joined, BXString("ab"));
}

TEST(Logger, SinkReceivesEveryField) {
    std::vector<LogRecord> records;
    auto previous =
        BLoggerLibInterface::GetInstance()->SetSink([&](const LogRecord& r) { records.push_back(r); });
    BRASK_LOG_ERROR("src/unit", "long __cdecl f(void)", "Value = " << 42 << " " << BXString("\xC3\xA9"));
    BRASK_LOG_INFO("src/other", "void g(void)", "info");
    BLoggerLibInterface::GetInstance()->SetSink(previous);

    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].type, 2);
    EXPECT_EQ(records[0].level, 1);
    EXPECT_EQ(records[0].file, "src/unit");
    EXPECT_EQ(records[0].function, "long __cdecl f(void)");
    EXPECT_GT(records[0].line, 0);
    EXPECT_EQ(records[0].MessageUTF8(), "Value = 42 \xC3\xA9");
    EXPECT_EQ(records[1].type, 1);
    EXPECT_EQ(records[1].level, 2);
}
