// The PostScript section of plain and DOS binary EPS files, the first line's EPSF marker, and set-up
// failures.
#include "../support/FaultyProvider.h"
#include "EpsTestSupport.h"

#include "DSCReader.h"

namespace BRASK::PLUGIN::TEST {

namespace {

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
        {BinaryHeader(32, n, 32 + n, 100) + ps + std::string(100, 'M'), 32, 32 + n, 32 + n, 100, box},
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
    EXPECT_EQ(CountLogged(DSCLOG::kSetUpFileParsing,
                          "Data provider holds 0 bytes which means there are no comments"),
              1);
    EXPECT_EQ(CountLogged(DSCLOG::kGetEPSInfo, "SetUpFileParsing failed"), 1);
    EXPECT_EQ(empty.reader->GetFixedWidth(), 0);
    EXPECT_EQ(empty.reader->GetColorSpace(), 0); // the record keeps its creation state

    EPSVectorFileReader reader; // before Init every answer is empty
    EXPECT_EQ(reader.GetEPSInfo(), nullptr);
    EXPECT_EQ(reader.GetFlags() | reader.GetFixedWidth() | reader.GetColorSpace(), 0u);
    EXPECT_EQ(reader.Init(nullptr), DSCSetUpFailed);
    EXPECT_EQ(reader.GetPostScriptEnd(), 0);

    // One byte: the set-up succeeds, then the data ends before %%EndComments.
    TInterfacePtr<IO::IDataProvider> provider = FileSource(WriteFile("one.eps", "%"));
    DSCReader one(provider.Get());
    EXPECT_EQ(one.SetUpFileParsing(), DSCNoError);
    EXPECT_EQ(one.Info().postScriptStart, 0);
    EXPECT_EQ(one.Info().postScriptEnd, 1);
    EXPECT_EQ(provider->GetPosition(), 0);
    EXPECT_EQ(DSCReader(provider.Get()).GetEPSInfo(), DSCEndOfData);
    EXPECT_EQ(CountLogged(DSCLOG::kGetEPSInfo, "DSC comments error in EPS file."), 1);

    auto failing = BRASK::TEST::New<BRASK::TEST::FaultyProvider>(std::string(1000, '%'), 0);
    DSCReader unreadable(failing.Get());
    EXPECT_EQ(unreadable.GetEPSInfo(), DSCReadError);
    EXPECT_EQ(CountLogged(DSCLOG::kReadDSCComment, "Unable to read from EPS file data provider."), 1);
    EXPECT_EQ(unreadable.Info().epsfHeader, 1); // the first line could not be read: no repair
}

} // namespace BRASK::PLUGIN::TEST
