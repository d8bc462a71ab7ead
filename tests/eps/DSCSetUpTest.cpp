// The PostScript section of plain and DOS binary EPS files, and the first line's EPSF marker.
#include "EpsTestSupport.h"

#include "eps/DSCReader.h"

namespace BRASK::PLUGIN::TEST {

namespace {

enum class Checksum { Computed, None, Wrong };

void Put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string BinaryHeader(std::uint32_t psOffset, std::uint32_t psLength, std::uint32_t tiffOffset,
                         std::uint32_t tiffLength, Checksum checksum) {
    std::string header(32, '\0');
    Put32(header, 0, 0xC6D3D0C5);
    Put32(header, 4, psOffset);
    Put32(header, 8, psLength);
    Put32(header, 12, 0);
    Put32(header, 16, 0);
    Put32(header, 20, tiffOffset);
    Put32(header, 24, tiffLength);
    std::uint16_t sum = 0;
    for (int i = 0; i < 28; ++i)
        sum ^= static_cast<unsigned char>(header[i]);
    if (checksum == Checksum::None)
        sum = 0xFFFF;
    if (checksum == Checksum::Wrong)
        sum ^= 0x5A;
    header[28] = static_cast<char>(sum & 0xFF);
    header[29] = static_cast<char>(sum >> 8);
    return header;
}

const std::string kPostScript =
    "%!PS-Adobe-3.0 EPSF-3.0\r\n%%BoundingBox: 10 20 110 220\r\n%%EndComments\r\nshowpage\r\n";

// Header, PostScript section, then a TIFF preview of 100 bytes.
std::string DosEps(Checksum checksum) {
    const auto length = static_cast<std::uint32_t>(kPostScript.size());
    return BinaryHeader(32, length, 32 + length, 100, checksum) + kPostScript + std::string(100, '\x4D');
}

} // namespace

using DSCSetUp = EpsTest;

TEST_F(DSCSetUp, BinaryHeaderWithMatchingChecksumGivesThePostScriptSection) {
    const ScannedEPS eps = ScanText(DosEps(Checksum::Computed));
    EXPECT_EQ(eps.status, DSCNoError);
    EXPECT_EQ(eps.reader->GetPostScriptStart(), 32);
    EXPECT_EQ(eps.reader->GetPostScriptEnd(), 32 + static_cast<std::int32_t>(kPostScript.size()));
    EXPECT_EQ(eps.reader->GetTIFFOffset(), 32 + kPostScript.size());
    EXPECT_EQ(eps.reader->GetTIFFLength(), 100u);
    EXPECT_TRUE(eps.Info().binaryHeader.IsPresent());
    EXPECT_EQ(eps.reader->GetLeft(), Pt(10));
    EXPECT_EQ(eps.reader->GetTop(), Pt(220));
    EXPECT_TRUE(eps.reader->HasEPSFHeaderLine());
}

TEST_F(DSCSetUp, ChecksumFFFFOrTiffAt32IsNotChecked) {
    EXPECT_EQ(ScanText(DosEps(Checksum::None)).reader->GetPostScriptStart(), 32);

    // A TIFF preview right after the header: the checksum field (wrong here) is ignored.
    const auto length = static_cast<std::uint32_t>(kPostScript.size());
    const std::string tiffFirst =
        BinaryHeader(132, length, 32, 100, Checksum::Wrong) + std::string(100, '\x49') + kPostScript;
    const ScannedEPS eps = ScanText(tiffFirst);
    EXPECT_EQ(eps.status, DSCNoError);
    EXPECT_EQ(eps.reader->GetPostScriptStart(), 132);
    EXPECT_EQ(eps.reader->GetTIFFOffset(), 32u);
    EXPECT_EQ(eps.reader->GetRight(), Pt(110));
}

TEST_F(DSCSetUp, WrongChecksumReadsTheFileAsPlainPostScriptFromOffsetZero) {
    const std::string bytes = DosEps(Checksum::Wrong);
    const ScannedEPS eps = ScanText(bytes);
    EXPECT_EQ(eps.reader->GetPostScriptStart(), 0);
    EXPECT_EQ(eps.reader->GetPostScriptEnd(), static_cast<std::int32_t>(bytes.size()));
    EXPECT_FALSE(eps.Info().binaryHeader.IsPresent());
    EXPECT_EQ(eps.reader->GetTIFFOffset(), 0u);
    EXPECT_EQ(eps.reader->GetTIFFLength(), 0u);
    // The scan starts in the binary header, whose first line is not a comment: nothing is learnt.
    EXPECT_EQ(eps.status, DSCNoError);
    EXPECT_EQ(eps.reader->GetFixedWidth(), 0);
}

TEST_F(DSCSetUp, SectionBeyondTheFileIsKeptInsideIt) {
    const auto length = static_cast<std::uint32_t>(kPostScript.size());
    // Declared length runs 1 GiB past the end; the offset of a second file lies beyond 2 GiB.
    const std::string longSection = BinaryHeader(32, 0x40000000, 0, 0, Checksum::Computed) + kPostScript;
    ScannedEPS eps = ScanText(longSection);
    EXPECT_EQ(eps.reader->GetPostScriptStart(), 32);
    EXPECT_EQ(eps.reader->GetPostScriptEnd(), 32 + static_cast<std::int32_t>(length));
    EXPECT_EQ(eps.status, DSCNoError);
    EXPECT_EQ(eps.reader->GetBottom(), Pt(20));

    const std::string farOffset = BinaryHeader(0xF0000000u, length, 0, 0, Checksum::Computed) + kPostScript;
    eps = ScanText(farOffset);
    EXPECT_EQ(eps.reader->GetPostScriptStart(), static_cast<std::int32_t>(farOffset.size()));
    EXPECT_EQ(eps.reader->GetPostScriptEnd(), static_cast<std::int32_t>(farOffset.size()));
    EXPECT_EQ(eps.status, DSCEndOfData);
}

TEST_F(DSCSetUp, ReadingStopsAtTheEndOfThePostScriptSection) {
    // The trailer has no %%EOF; the preview after the section happens to hold comment-like text.
    const std::string section = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: (atend)\n%%EndComments\nnewpath\n"
                                "%%Trailer\n%%BoundingBox: 0 0 10 10\n";
    const std::string preview = "%%BoundingBox: 0 0 99 99\n%%Creator: preview\n";
    const auto length = static_cast<std::uint32_t>(section.size());
    const ScannedEPS eps =
        ScanText(BinaryHeader(32, length, 32 + length, static_cast<std::uint32_t>(preview.size()),
                              Checksum::Computed) +
                 section + preview);
    EXPECT_EQ(eps.status, DSCNoError);
    EXPECT_EQ(eps.reader->GetRight(), Pt(10));
    EXPECT_STREQ(eps.Info().creator, "");
}

TEST_F(DSCSetUp, SkippedCodeAfterTheTrailerDoesNotLeadIntoThePreview) {
    // 70 000 bytes of code after %%Trailer are skipped in one read, whose refills must stop at the section
    // end.
    std::string code;
    while (code.size() < 70000)
        code += "0 0 moveto 10 10 lineto stroke\n";
    const std::string section =
        "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: (atend)\n%%EndComments\nnewpath\n%%Trailer\n" + code;
    const std::string preview = "%%BoundingBox: 0 0 99 99\n" + std::string(70000, 'P');
    const auto length = static_cast<std::uint32_t>(section.size());
    const ScannedEPS eps =
        ScanText(BinaryHeader(32, length, 32 + length, static_cast<std::uint32_t>(preview.size()),
                              Checksum::Computed) +
                 section + preview);
    EXPECT_EQ(eps.status, DSCNoError);
    EXPECT_EQ(eps.reader->GetRight(), 0);
}

TEST_F(DSCSetUp, FirstLineMarkerAndLength) {
    struct Case {
        std::string text;
        bool epsf;
        std::uint32_t length;
    };
    const Case cases[] = {
        {"%!PS-Adobe-3.0 EPSF-3.0\n%%EndComments\n", true, 0},
        {"%!PS-Adobe-3.0\r%%EndComments\n", false, 14},                 // carriage return at index 14
        {"%!PS-Adobe-3.0 %%EndComments\n", false, 15},                  // "%" at index 15 before any line end
        {"%%BoundingBox: 0 0 1 1\n%%EndComments\n", true, 0},           // does not begin with "%!"
        {"%!" + std::string(300, 'x') + "\n%%EndComments\n", false, 0}, // no marker in the 255 bytes read
    };
    for (const Case& c : cases) {
        const ScannedEPS eps = ScanText(c.text);
        EXPECT_EQ(eps.reader->HasEPSFHeaderLine(), c.epsf) << c.text.substr(0, 30);
        EXPECT_EQ(eps.reader->GetHeaderLineLength(), c.length) << c.text.substr(0, 30);
    }
}

TEST_F(DSCSetUp, EmptyProviderFailsTheSetUpWithBothMessages) {
    const ScannedEPS eps = ScanText("");
    EXPECT_EQ(eps.status, DSCSetUpFailed);
    EXPECT_EQ(CountLogged(DSCLOG::kSetUpFileParsing,
                          "Data provider holds 0 bytes which means there are no comments"),
              1);
    EXPECT_EQ(CountLogged(DSCLOG::kGetEPSInfo, "SetUpFileParsing failed"), 1);
    EXPECT_EQ(eps.reader->GetFixedWidth(), 0);
    EXPECT_EQ(eps.reader->GetColorSpace(), 0); // the record keeps its creation state
}

TEST_F(DSCSetUp, NullProviderFailsTheSetUp) {
    EPSVectorFileReader reader;
    EXPECT_EQ(reader.Init(nullptr), DSCSetUpFailed);
    EXPECT_EQ(reader.GetPostScriptEnd(), 0);
}

TEST_F(DSCSetUp, OneByteFileSetsUpAndThenRunsOutOfData) {
    TInterfacePtr<IO::IDataProvider> provider = Open(WriteFile("one.eps", "%"));
    DSCReader reader(provider.Get());
    EXPECT_EQ(reader.SetUpFileParsing(), DSCNoError);
    EXPECT_EQ(reader.Info().postScriptStart, 0);
    EXPECT_EQ(reader.Info().postScriptEnd, 1);
    EXPECT_EQ(provider->GetPosition(), 0);

    DSCReader scanner(provider.Get());
    EXPECT_EQ(scanner.GetEPSInfo(), DSCEndOfData);
    EXPECT_EQ(CountLogged(DSCLOG::kGetEPSInfo, "DSC comments error in EPS file."), 1);
}

TEST_F(DSCSetUp, ReadFailureIsReportedWithItsMessage) {
    TInterfacePtr<IO::IDataProvider> failing = MakeFailingProvider(1000);
    DSCReader reader(failing.Get());
    EXPECT_EQ(reader.GetEPSInfo(), DSCReadError);
    EXPECT_EQ(CountLogged(DSCLOG::kReadDSCComment, "Unable to read from EPS file data provider."), 1);
    EXPECT_EQ(reader.Info().epsfHeader, 1); // the first line could not be read: no repair
}

} // namespace BRASK::PLUGIN::TEST
