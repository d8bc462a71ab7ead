// Decoding of PostScript string literals.
#include "EpsTestSupport.h"

#include "eps/DSCReader.h"

#include <cstring>

namespace BRASK::PLUGIN::TEST {

class PostScriptString : public EpsTest {
protected:
    std::string Decode(const std::string& text) {
        DSCReader reader(nullptr);
        std::vector<std::uint8_t> out(text.size() + 1, 0xEE);
        reader.UndoPSStr(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), out.data());
        const auto* decoded = reinterpret_cast<const char*>(out.data());
        const std::size_t n = ::strnlen(decoded, out.size());
        EXPECT_LT(n, out.size()) << "output not terminated inside its buffer";
        return std::string(decoded, n);
    }
    int Unbalanced() const {
        return CountLogged(DSCLOG::kUndoPSStr, "Parens unbalanced in Postsript string.");
    }
    int UnknownEscapes() const {
        return CountLogged(DSCLOG::kUndoPSStr, "Unknown escape sequence or end of string encountered");
    }
};

TEST_F(PostScriptString, EscapedParenthesesAndBackslashes) {
    EXPECT_EQ(Decode("(a\\(b\\)c)"), "a(b)c");
    EXPECT_EQ(Decode("0 0 0 1 (Spot \\(1\\))"), "Spot (1)");
    EXPECT_EQ(Decode("(back\\\\slash)"), "back\\slash");
    EXPECT_EQ(Unbalanced() + UnknownEscapes(), 0);
}

TEST_F(PostScriptString, OctalEscapes) {
    EXPECT_EQ(Decode("(x\\101y)"), "xAy");
    EXPECT_EQ(Decode("(\\351t\\351)"), "\xE9t\xE9");
    EXPECT_EQ(Decode("(ab\\7)"), std::string("ab\x07")); // one digit, last in the content
    EXPECT_EQ(Decode("(\\1011)"), "A1");                 // at most three digits
    EXPECT_EQ(Decode("(\\777)"), "\xFF");                // modulo 256
    EXPECT_EQ(Decode("(a\\000b)"), "ab");                // a zero byte is not written
}

TEST_F(PostScriptString, UnknownEscapeKeepsTheCharacterAndLogs) {
    EXPECT_EQ(Decode("(\\8)"), "8");
    EXPECT_EQ(Decode("(a\\nb)"), "anb"); // letter escapes are not recognised
    EXPECT_EQ(UnknownEscapes(), 2);
}

TEST_F(PostScriptString, EscapedLineBreaksVanish) {
    EXPECT_EQ(Decode("(ab\\\r\ncd)"), "abcd");
    EXPECT_EQ(Decode("(ab\\\ncd)"), "abcd");
    EXPECT_EQ(Decode("(ab\\\rcd)"), "abcd");
    EXPECT_EQ(Decode("(ab\\\n\rcd)"), "abcd");
}

TEST_F(PostScriptString, ImbalanceIsLoggedAndTheTextKept) {
    EXPECT_EQ(Decode("(a(b)"), "a(b");
    EXPECT_EQ(Unbalanced(), 1);
    EXPECT_EQ(Decode("(a)b)"), "a)b"); // the content runs to the last ")"
    EXPECT_EQ(Unbalanced(), 3);        // once when the depth goes negative, once at the end
}

TEST_F(PostScriptString, NoStringGivesEmptyText) {
    EXPECT_EQ(Decode("no parentheses"), "");
    EXPECT_EQ(Decode("()"), "");
    EXPECT_EQ(Decode(")("), "");
    EXPECT_EQ(Decode("(unterminated"), "");
    EXPECT_EQ(Decode("(trailing backslash\\)"), "trailing backslash"); // a final lone backslash stops
    EXPECT_EQ(Decode("(ends with\\\\)"), "ends with\\");
}

TEST_F(PostScriptString, NullArgumentsAreRefused) {
    DSCReader reader(nullptr);
    std::uint8_t out[4] = {'z', 0, 0, 0};
    reader.UndoPSStr(nullptr, 3, out);
    reader.UndoPSStr(reinterpret_cast<const std::uint8_t*>("(a)"), 3, nullptr);
    EXPECT_EQ(out[0], 'z');
    EXPECT_EQ(CountLogged(DSCLOG::kUndoPSStr, "NULL strings passed in."), 2);
}

TEST_F(PostScriptString, DecodedTextNeverOutgrowsItsInput) {
    // Every byte value, escaped and not: the output stays inside length + 1 bytes.
    std::string text = "(";
    for (int b = 1; b < 256; ++b) {
        text += '\\';
        text += static_cast<char>(b);
    }
    text += ")";
    const std::string decoded = Decode(text);
    EXPECT_LE(decoded.size(), text.size() - 2);
}

} // namespace BRASK::PLUGIN::TEST
