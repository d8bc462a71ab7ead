// Setting up the DSC reader (the PostScript section of plain and DOS binary EPS files, the first line's EPSF
// marker, set-up failures), comment lines through the line source's buffer, the backward search for
// "%%Trailer", PostScript string decoding, and `epsimport --info`.
#include "../support/FaultyProvider.h"
#include "EpsTestSupport.h"

#include "DSCLineSource.h"
#include "DSCReader.h"
#include "InfoMode.h"

#include <nlohmann/json.hpp>

#include <cstring>
#include <sstream>

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

enum class Sum { Right, None, Wrong };

std::string BinaryHeader(std::uint32_t psOffset, std::uint32_t psLength, std::uint32_t tiffOffset = 0,
                         std::uint32_t tiffLength = 0, Sum sum = Sum::Right) {
    std::string header(32, '\0');
    const std::uint32_t fields[] = {0xC6D3D0C5, psOffset, psLength, 0, 0, tiffOffset, tiffLength};
    for (int f = 0; f < 7; ++f)
        for (int i = 0; i < 4; ++i)
            header[4 * f + i] = static_cast<char>(fields[f] >> (8 * i));
    std::uint16_t check = 0;
    for (int i = 0; i < 28; ++i)
        check ^= static_cast<unsigned char>(header[i]);
    check = sum == Sum::None ? 0xFFFF : sum == Sum::Wrong ? check ^ 0x5A : check;
    header[28] = static_cast<char>(check & 0xFF);
    header[29] = static_cast<char>(check >> 8);
    return header;
}

} // namespace

using DSCSetUp = EpsTest;

TEST_F(DSCSetUp, PostScriptSectionOfBinaryFiles) {
    const std::string ps =
        "%!PS-Adobe-3.0 EPSF-3.0\r\n%%BoundingBox: 10 20 110 220\r\n%%EndComments\r\nshowpage\r\n";
    const std::uint32_t n = ps.size();
    const std::array<Fixed, 4> box = {Pt(10), Pt(20), Pt(110), Pt(220)};
    // Sections whose comments run out, or whose code runs on, before a preview that holds a box comment.
    const std::string atend =
        "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: (atend)\n%%EndComments\nnewpath\n%%Trailer\n";
    const std::string trailer = atend + "%%BoundingBox: 0 0 10 10\n";
    const std::string preview = "%%BoundingBox: 0 0 99 99\n%%Creator: preview\n";
    std::string code = atend;
    while (code.size() < 70000)
        code += "0 0 moveto 10 10 lineto stroke\n";
    const std::string bigPreview = preview + std::string(70000, 'P');
    const std::uint32_t t = trailer.size(), c = code.size(), p = preview.size(), b = bigPreview.size();
    const std::string wrong = BinaryHeader(32, n, 32 + n, 100, Sum::Wrong) + ps + std::string(100, 'M');
    const std::string far = BinaryHeader(0xF0000000u, n) + ps;
    const std::int32_t w = wrong.size(), f = far.size();
    struct Case {
        std::string bytes;
        std::int64_t start, end;
        std::uint32_t tiffOffset, tiffLength;
        std::array<Fixed, 4> box;
        DSCError status = DSCNoError;
    };
    const Case cases[] = {
        // A checksum of 0xFFFF, or a TIFF preview right after the header: the checksum is not checked.
        {BinaryHeader(32, n, 32 + n, 100, Sum::None) + ps + std::string(100, 'M'), 32, 32 + n, 32 + n, 100,
         box},
        {BinaryHeader(132, n, 32, 100, Sum::Wrong) + std::string(100, 'I') + ps, 132, 132 + n, 32, 100, box},
        // A wrong checksum: plain PostScript from 0, whose first line (the binary header) is no comment.
        {wrong, 0, w, 0, 0, {}},
        // A section running 1 GiB past the end, or starting beyond 2 GiB, is kept inside the file.
        {BinaryHeader(32, 0x40000000) + ps, 32, 32 + n, 0, 0, box},
        {far, f, f, 0, 0, {}, DSCEndOfData},
        // Reading, refills for skipped code included, stops at the section's end.
        {BinaryHeader(32, t, 32 + t, p) + trailer + preview, 32, 32 + t, 32 + t, p, {0, 0, Pt(10), Pt(10)}},
        {BinaryHeader(32, c, 32 + c, b) + code + bigPreview, 32, 32 + c, 32 + c, b, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        const ScannedEPS eps = ScanText(c.bytes);
        EXPECT_EQ(eps.status, c.status);
        EXPECT_EQ(eps.reader->GetPostScriptStart(), c.start);
        EXPECT_EQ(eps.reader->GetPostScriptEnd(), c.end);
        EXPECT_EQ(eps.reader->GetTIFFOffset(), c.tiffOffset);
        EXPECT_EQ(eps.reader->GetTIFFLength(), c.tiffLength);
        EXPECT_EQ(eps.Info().binaryHeader.IsPresent(), c.start != 0);
        EXPECT_EQ(eps.Box(), c.box);
        EXPECT_STREQ(eps.Info().creator, "");
        EXPECT_TRUE(eps.reader->HasEPSFHeaderLine());
    }
}

TEST_F(DSCSetUp, FirstLineMarkerAndLength) {
    const std::tuple<std::string, bool, std::uint32_t> cases[] = {
        {"%!PS-Adobe-3.0 EPSF-3.0\n%%EndComments\n", true, 0},
        {"%!PS-Adobe-3.0\r%%EndComments\n", false, 14},                 // carriage return at index 14
        {"%!PS-Adobe-3.0 %%EndComments\n", false, 15},                  // "%" at index 15 before any line end
        {"%%BoundingBox: 0 0 1 1\n%%EndComments\n", true, 0},           // does not begin with "%!"
        {"%!" + std::string(300, 'x') + "\n%%EndComments\n", false, 0}, // no marker in the 255 bytes read
    };
    for (const auto& [text, epsf, length] : cases) {
        const ScannedEPS eps = ScanText(text);
        EXPECT_EQ(eps.reader->HasEPSFHeaderLine(), epsf) << text.substr(0, 30);
        EXPECT_EQ(eps.reader->GetHeaderLineLength(), length) << text.substr(0, 30);
    }
}

TEST_F(DSCSetUp, EmptyMissingOrUnreadableDataFailsWithItsMessages) {
    const ScannedEPS empty = ScanText("");
    EXPECT_EQ(empty.status, DSCSetUpFailed);
    EXPECT_EQ(CountLogged(DSCLOG::kGetEPSInfo, "SetUpFileParsing failed"), 1);
    EXPECT_EQ(empty.reader->GetFixedWidth(), 0);
    EXPECT_EQ(empty.reader->GetColorSpace(), 0); // the record keeps its creation state

    EPSVectorFileReader reader; // before Init every answer is empty
    EXPECT_EQ(reader.GetEPSInfo(), nullptr);
    EXPECT_EQ(reader.GetFlags() | reader.GetFixedWidth() | reader.GetColorSpace(), 0u);
    EXPECT_EQ(reader.Init(nullptr), DSCSetUpFailed);
    EXPECT_EQ(reader.GetPostScriptEnd(), 0);

    // One byte: the set-up succeeds.
    TInterfacePtr<IO::IDataProvider> provider = FileSource(WriteFile("one.eps", "%"));
    DSCReader one(provider.Get());
    EXPECT_EQ(one.SetUpFileParsing(), DSCNoError);
    EXPECT_EQ(one.Info().postScriptStart, 0);
    EXPECT_EQ(one.Info().postScriptEnd, 1);
    EXPECT_EQ(provider->GetPosition(), 0);

    auto failing = BRASK::TEST::New<BRASK::TEST::FaultyProvider>(std::string(1000, '%'), 0);
    DSCReader unreadable(failing.Get());
    EXPECT_EQ(unreadable.GetEPSInfo(), DSCReadError);
    EXPECT_EQ(CountLogged(DSCLOG::kReadDSCComment, "Unable to read from EPS file data provider."), 1);
    EXPECT_EQ(unreadable.Info().epsfHeader, 1); // the first line could not be read: no repair
}

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

TEST_F(DSCLines, TrailerIsSearchedBackwardBlockByBlockAndKeptAcrossARefill) {
    auto refill = FileSource(WriteFile("refill.eps", "%%Trailer\n%%BoundingBox: 1 2 3 4\n%%EOF\n"));
    LineReading filled(refill.Get(), 0, 9); // fills of 9 bytes: the marker line completes with the next fill
    for (const char* text : {"%%Trailer\r", "%%BoundingBox: 1 2 3 4\r", "%%EOF\r"}) {
        ASSERT_EQ(filled.Next(), DSCNoError);
        EXPECT_EQ(filled.Text(), text);
    }
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

using InfoMode = EpsTest;

TEST_F(InfoMode, PrintsOneObjectPerFileWithEveryField) {
    const std::string text =
        "%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: Caf\xE9 \x80\n%%Title: T\n%%CreationDate: today\n"
        "%%BoundingBox: -0.5 0 99.5 50\n%%LanguageLevel: 2\n%%DocumentData: Clean7Bit\n"
        "%%CMYKCustomColor: 0 0 0 1 (Spot \\(1\\))\n%ImageData: 300 150 8 4 0 300 1 \"beginimage\"\n"
        "%BeginPhotoshop: 2\n% 0102\n%EndPhotoshop\n%%EndComments\nnewpath\n";
    const std::string good = WriteFile("good.eps", text);
    const std::string truncated = WriteFile("truncated.eps", "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 1 1\n");
    const std::string missing = (mTemp.Path() / "missing.eps").string();
    // Titles in UTF-8 pass as they are, other text is read as Windows-1252.
    const std::string a254(254, 'A');
    const std::pair<std::string, std::string> titles[] = {
        {"Caf\xC3\xA9 \xE2\x9C\x93 \xE6\x97\xA5", "Caf\xC3\xA9 \xE2\x9C\x93 \xE6\x97\xA5"},
        {"\xC3\xA9t\xC3",
         "\xC3\x83\xC2\xA9t\xC3\x83"}, // ends inside a character without being cut: not UTF-8
        // Cut at the field's 255 bytes inside a character: the piece is dropped; with no UTF-8 character
        // before, read as Windows-1252.
        {"\xC3\xA9" + a254.substr(2) + "\xC3\xA9", "\xC3\xA9" + a254.substr(2)},
        {a254 + "\xC3\xA9", a254 + "\xC3\x83"}};
    std::vector<std::string> files = {good, truncated, missing};
    for (const auto& [title, printed] : titles)
        files.push_back(
            WriteFile("t" + std::to_string(files.size()) + ".eps",
                      "%!PS-Adobe-3.0 EPSF-3.0\n%%Title: " + title + "\n%%BoundingBox: 0 0 1 1\n"));
    std::ostringstream out;
    EXPECT_EQ(EPSIMPORT::RunInfo(*mHost, files, out), 1);
    std::vector<nlohmann::json> objects;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);)
        objects.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(objects.size(), 3 + std::size(titles));

    // Texts in UTF-8; the box in points; 300 pixels over 100 points are 216 pixels per inch.
    nlohmann::json expected = nlohmann::json::parse(R"json({"status": 0,
        "boundingBox": {"llx": -0.5, "lly": 0, "urx": 99.5, "ury": 50}, "creator": "Caf\u00e9 \u20ac",
        "title": "T", "creationDate": "today", "languageLevel": 2, "documentData": 2, "flags": 65536,
        "flagNames": ["CMYK"], "binaryHeader": null, "epsfHeader": true, "firstLineLength": 0,
        "image": {"width": 300, "height": 150, "blockSize": 300, "flags": 2}, "imageResolution": 216,
        "colorSpace": 5, "customColors": ["0 0 0 1 (Spot \\(1\\))"], "photoshopResourceBytes": 2,
        "iccProfileBytes": 0})json");
    expected["file"] = good;
    expected["postScript"] = {{"start", 0}, {"end", text.size()}};
    EXPECT_EQ(objects[0], expected);
    EXPECT_EQ(objects[1]["status"], 2);
    EXPECT_FALSE(objects[1].contains("error"));
    EXPECT_EQ(objects[2], nlohmann::json({{"file", missing}, {"status", 1}, {"error", "file not found"}}));
    for (std::size_t i = 0; i < std::size(titles); ++i)
        EXPECT_EQ(objects[3 + i]["title"], titles[i].second) << i;

    std::ostringstream sink; // every file scanned with status 0
    EXPECT_EQ(EPSIMPORT::RunInfo(*mHost, {good, good}, sink), 0);
}

} // namespace BRASK::PLUGIN::TEST
