// Comment lines through the line source's buffer, the backward search for "%%Trailer", and PostScript string
// decoding.
#include "EpsTestSupport.h"

#include "DSCLineSource.h"
#include "DSCReader.h"

#include <cstring>

namespace BRASK::PLUGIN::TEST {

namespace {

// The lines of a whole file, from `from` on, in fills of `fill` bytes.
struct LineReading {
    LineReading(IO::IDataProvider* provider, std::int32_t from = 0,
                std::int32_t fill = DSCLineSource::kBufferSize)
        : lines(provider, fill) {
        lines.Start(from, provider->GetSize());
    }
    DSCError Next(bool skipNonComments = false) { return lines.NextLine(skipNonComments, line, count); }
    DSCError Trailer() { return lines.SeekTrailer(line); }
    std::string Text() const { return reinterpret_cast<const char*>(line.data()); }

    DSCLineSource lines;
    std::int32_t count = 0;
    DSCLineSource::LineBuffer line{};
};

} // namespace

using DSCLines = EpsTest;

TEST_F(DSCLines, LinesAreDeliveredWithACarriageReturnAndTheirByteCount) {
    struct Read {
        std::string text;
        std::int32_t count; // negative for a line not beginning with "%" or a read that found no line
        DSCError result = DSCNoError;
        bool skipNonComments = false;
    };
    const std::string longLine = "%%" + std::string(1498, 'x');
    const std::pair<std::string, std::vector<Read>> files[] = {
        // Carriage return, line feed and both end lines alike; a last line without a line end is a line.
        {"%%A: 1\r\n%%B: 2\r%%C: 3\n%%D: 4",
         {{"%%A: 1", 8}, {"%%B: 2", 7}, {"%%C: 3", 7}, {"%%D: 4", 6}, {"", 0, DSCEndOfData}}},
        {"%%A\ncode", {{"%%A", 4}, {"code", -4}, {"", 0, DSCEndOfData}}},
        // A last line that is skipped is no line.
        {"%%A\n%!x", {{"%%A", 4}, {"%!", -3, DSCEndOfData}}},
        // A long line is cut at 1198 characters and counted whole.
        {longLine + "\r\n%%Next\n", {{longLine.substr(0, 1198), 1502}, {"%%Next", 7}}},
        // Blank lines and leading blanks cost bytes but never end a read.
        {"\n\r\n \t\n \t%%X\n", {{"%%X", 1 + 2 + 3 + 6}}},
        // "%!" lines are never delivered; code lines are, unless skipped in the read of the next comment.
        {"%!PS-Adobe-3.0\nnewpath\n0 0 moveto\n%%Y\nstroke\n",
         {{"newpath", -(15 + 8)}, {"%%Y", 11 + 4, DSCNoError, true}}},
    };
    for (const auto& [file, reads] : files) {
        auto provider = FileSource(WriteFile("lines.eps", file));
        LineReading lines(provider.Get());
        for (const Read& read : reads) {
            SCOPED_TRACE(read.text.substr(0, 20));
            EXPECT_EQ(lines.Next(read.skipNonComments), read.result);
            EXPECT_EQ(lines.Text(), read.text + "\r");
            EXPECT_EQ(lines.count, read.count);
        }
    }
}

TEST_F(DSCLines, TrailerLineAtABufferRefillKeepsTheBytesAfterIt) {
    auto provider = FileSource(WriteFile("refill.eps", "%%Trailer\n%%BoundingBox: 1 2 3 4\n%%EOF\n"));
    LineReading lines(provider.Get(), 0, 9); // fills of 9 bytes: the marker line completes with the next fill
    for (const char* text : {"%%Trailer\r", "%%BoundingBox: 1 2 3 4\r", "%%EOF\r"}) {
        ASSERT_EQ(lines.Next(), DSCNoError);
        EXPECT_EQ(lines.Text(), text);
    }
}

TEST_F(DSCLines, TrailerIsSearchedBackwardBlockByBlock) {
    // A carriage return alone ends the line before; trailing blanks are allowed after the marker; reading
    // goes on after it.
    const std::string head = "%!PS-Adobe-3.0\n%%BoundingBox: (atend)\n%%EndComments\nnewpath\r";
    auto provider =
        FileSource(WriteFile("trailer.eps", head + "%%Trailer \t \r\n%%BoundingBox: 1 2 3 4\n%%EOF\n"));
    LineReading lines(provider.Get());
    ASSERT_EQ(lines.Trailer(), DSCNoError);
    EXPECT_EQ(lines.Text(), "%%Trailer \t \r");
    EXPECT_EQ(lines.lines.Position(), std::int32_t(head.size() + 14));
    ASSERT_EQ(lines.Next(), DSCNoError);
    EXPECT_EQ(lines.Text(), "%%BoundingBox: 1 2 3 4\r");

    auto other = FileSource(WriteFile("other.eps", "%!PS\n%%EndComments\n%%Trailer stuff\n%%EOF\n"));
    EXPECT_EQ(LineReading(other.Get()).Trailer(), DSCEndOfData);

    // 200 000 bytes of code after the marker: it lies in the fourth block from the end, and is not found
    // from a position after it.
    std::string code;
    while (code.size() < 200000)
        code += "0 0 moveto 10 10 lineto stroke\n";
    const std::string start = "%!PS\n%%EndComments\n";
    auto far = FileSource(WriteFile("far.eps", start + "%%Trailer\n" + code + "%%EOF\n"));
    LineReading found(far.Get());
    ASSERT_EQ(found.Trailer(), DSCNoError);
    EXPECT_EQ(found.lines.Position(), std::int32_t(start.size() + 10));
    EXPECT_EQ(LineReading(far.Get(), std::int32_t(start.size() + 11)).Trailer(), DSCEndOfData);
}

TEST_F(DSCLines, PostScriptStrings) {
    struct Case {
        std::string text, decoded;
        int unbalanced = 0, unknown = 0; // messages logged
    };
    auto C = [](std::string text, std::string decoded, int unbalanced = 0, int unknown = 0) {
        return Case{std::move(text), std::move(decoded), unbalanced, unknown};
    };
    const Case cases[] = {
        C("(a\\(b\\)c)", "a(b)c"), C("0 0 0 1 (Spot \\(1\\))", "Spot (1)"),
        C("(back\\\\slash)", "back\\slash"),
        // Octal escapes: at most three digits, modulo 256, one digit last in the content, zero not written.
        C("(x\\101y)", "xAy"), C("(\\351t\\351)", "\xE9t\xE9"), C("(ab\\7)", "ab\x07"), C("(\\1011)", "A1"),
        C("(\\777)", "\xFF"), C("(a\\000b)", "ab"),
        // Unknown escapes (letter escapes among them) keep the character; escaped line breaks vanish.
        C("(\\8)", "8", 0, 1), C("(a\\nb)", "anb", 0, 1), C("(ab\\\r\ncd)", "abcd"), C("(ab\\\ncd)", "abcd"),
        C("(ab\\\rcd)", "abcd"), C("(ab\\\n\rcd)", "abcd"),
        // Imbalance is logged and the text kept; the content runs to the last ")".
        C("(a(b)", "a(b", 1), C("(a)b)", "a)b", 2), C("no parentheses", ""), C("()", ""), C(")(", ""),
        C("(unterminated", ""), C("(trailing backslash\\)", "trailing backslash"),
        C("(ends with\\\\)", "ends with\\")};
    DSCReader reader(nullptr);
    auto decode = [&](const std::string& text) {
        mLog.Clear();
        std::vector<std::uint8_t> out(text.size() + 1, 0xEE);
        reader.UndoPSStr(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), out.data());
        const std::size_t n = ::strnlen(reinterpret_cast<const char*>(out.data()), out.size());
        EXPECT_LT(n, out.size()) << "output not terminated inside its buffer";
        return std::string(out.begin(), out.begin() + std::min(n, text.size()));
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decode(c.text), c.decoded) << c.text;
        EXPECT_EQ(CountLogged(DSCLOG::kUndoPSStr, "Parens unbalanced in Postsript string."), c.unbalanced);
        EXPECT_EQ(CountLogged(DSCLOG::kUndoPSStr, "Unknown escape sequence or end of string encountered"),
                  c.unknown);
    }
    std::string every = "("; // every byte value escaped: the text never outgrows its input
    for (int b = 1; b < 256; ++b)
        every += std::string("\\") + static_cast<char>(b);
    EXPECT_LE(decode(every + ")").size(), every.size() - 1);
    std::uint8_t out[4] = {'z', 0, 0, 0};
    reader.UndoPSStr(nullptr, 3, out);
    reader.UndoPSStr(reinterpret_cast<const std::uint8_t*>("(a)"), 3, nullptr);
    EXPECT_EQ(out[0], 'z');
    EXPECT_EQ(CountLogged(DSCLOG::kUndoPSStr, "NULL strings passed in."), 2);
}

} // namespace BRASK::PLUGIN::TEST
