// Bounding boxes: header and deferred values, the trailer, the end of the scan.
#include "EpsTestSupport.h"

#include <algorithm>
#include <limits>

namespace BRASK::PLUGIN::TEST {

namespace {
std::string Eps(const std::string& body) {
    return "%!PS-Adobe-3.0 EPSF-3.0\n" + body;
}
} // namespace

using DSCBoundingBox = EpsTest;

TEST_F(DSCBoundingBox, AtendBoxIsTakenFromTheTrailer) {
    const ScannedEPS eps =
        ScanText(Eps("%%BoundingBox: (atend)\n%%EndComments\nnewpath\nstroke\n%%Trailer\n"
                     "cleartomark\n%%BoundingBox: 0 0 100 50\n%%EOF\n%%BoundingBox: 9 9 9 9\n"));
    EXPECT_EQ(eps.status, DSCNoError);
    EXPECT_EQ(eps.reader->GetLeft(), 0);
    EXPECT_EQ(eps.reader->GetBottom(), 0);
    EXPECT_EQ(eps.reader->GetRight(), Pt(100));
    EXPECT_EQ(eps.reader->GetTop(), Pt(50));
    EXPECT_FLOAT_EQ(eps.reader->GetWidth(), 100.0f);
    EXPECT_FLOAT_EQ(eps.reader->GetHeight(), 50.0f);
}

TEST_F(DSCBoundingBox, AtendBoxWithoutEndCommentsIsNotSearched) {
    const ScannedEPS eps =
        ScanText(Eps("%%BoundingBox: (atend)\nnewpath\n%%Trailer\n%%BoundingBox: 0 0 100 50\n%%EOF\n"));
    EXPECT_EQ(eps.status, DSCNoError);
    EXPECT_EQ(eps.reader->GetFixedWidth(), 0);
    EXPECT_EQ(eps.reader->GetFixedHeight(), 0);
}

TEST_F(DSCBoundingBox, DataEndingInTheTrailerFinishesNormally) {
    const ScannedEPS eps =
        ScanText(Eps("%%BoundingBox: (atend)\n%%EndComments\nnewpath\n%%Trailer\n%%BoundingBox: 1 2 3 4"));
    EXPECT_EQ(eps.status, DSCNoError);
    EXPECT_EQ(eps.reader->GetTop(), 0); // the last line ended with the data and was not taken
}

TEST_F(DSCBoundingBox, AtendInTheTrailerIsMalformed) {
    const ScannedEPS eps = ScanText(Eps("%%BoundingBox: (atend)\n%%EndComments\nnewpath\n%%Trailer\n"
                                        "%%BoundingBox: (atend)\n%%EOF\n"));
    EXPECT_EQ(eps.status, DSCBadFormat);
}

TEST_F(DSCBoundingBox, HiResBoxWinsBeforeAndOverwritesAfter) {
    ScannedEPS eps = ScanText(Eps("%%HiResBoundingBox: 0.5 1.25 10.75 20.5\n%%BoundingBox: 0 1 11 21\n"
                                  "%%EndComments\nx\n"));
    EXPECT_EQ(eps.reader->GetLeft(), Pt(0.5));
    EXPECT_EQ(eps.reader->GetBottom(), Pt(1.25));
    EXPECT_EQ(eps.reader->GetRight(), Pt(10.75));
    EXPECT_EQ(eps.reader->GetTop(), Pt(20.5));

    eps = ScanText(
        Eps("%%BoundingBox: 0 1 11 21\n%%HiResBoundingBox: 0.5 1.25 10.75 20.5\n%%EndComments\nx\n"));
    EXPECT_EQ(eps.reader->GetRight(), Pt(10.75));
    EXPECT_FLOAT_EQ(eps.reader->GetWidth(), 10.25f);
}

TEST_F(DSCBoundingBox, NegativeHalfRoundsAwayFromZero) {
    const ScannedEPS eps = ScanText(Eps("%%BoundingBox: -0.5 -2.00001 10 +10\n%%EndComments\nx\n"));
    EXPECT_EQ(eps.reader->GetLeft(), -32768);
    EXPECT_EQ(eps.reader->GetBottom(), -131073);
    EXPECT_EQ(eps.reader->GetTop(), Pt(10));
    EXPECT_FLOAT_EQ(eps.reader->GetWidth(), 10.5f);
}

TEST_F(DSCBoundingBox, ThinBoxIsWidenedToThreePointsButAnEmptyOneStays) {
    ScannedEPS eps = ScanText(Eps("%%BoundingBox: 0 0 2 2\n%%EndComments\nx\n"));
    EXPECT_EQ(eps.reader->GetRight(), Pt(3));
    EXPECT_EQ(eps.reader->GetTop(), Pt(3));
    EXPECT_FLOAT_EQ(eps.reader->GetWidth(), 3.0f);
    EXPECT_FLOAT_EQ(eps.reader->GetHeight(), 3.0f);

    eps = ScanText(Eps("%%BoundingBox: 5 5 5 7.5\n%%EndComments\nx\n"));
    EXPECT_EQ(eps.reader->GetFixedWidth(), 0);
    EXPECT_EQ(eps.reader->GetFixedHeight(), Pt(3)); // 2.5 points high: widened
}

TEST_F(DSCBoundingBox, OutOfRangeNumbersSaturateAndMissingOnesAreZero) {
    const ScannedEPS eps = ScanText(Eps("%%BoundingBox: -1e30 nan 1e300 \n%%EndComments\nx\n"));
    EXPECT_EQ(eps.reader->GetLeft(), std::numeric_limits<Fixed>::min());
    EXPECT_EQ(eps.reader->GetBottom(), 0);
    EXPECT_EQ(eps.reader->GetRight(), std::numeric_limits<Fixed>::max());
    EXPECT_EQ(eps.reader->GetTop(), 0);
    EXPECT_EQ(eps.reader->GetFixedWidth(), std::numeric_limits<Fixed>::max());
}

TEST_F(DSCBoundingBox, EndOfDataAfterEndCommentsMeansNoCompositeMaster) {
    const ScannedEPS eps = ScanText(Eps("%%BoundingBox: 1 1 5 5\n%%EndComments\n"));
    EXPECT_EQ(eps.status, DSCNoError);
    EXPECT_TRUE(eps.Flags() & EPSFlags::kNoCompositeMaster);
    EXPECT_EQ(eps.Info().headerBytes,
              static_cast<std::int32_t>(Eps("%%BoundingBox: 1 1 5 5\n%%EndComments\n").size()));
}

TEST_F(DSCBoundingBox, EndOfDataBeforeEndCommentsIsAnError) {
    const ScannedEPS eps = ScanText(Eps("%%BoundingBox: 1 1 5 5\n%%Creator: x\n"));
    EXPECT_EQ(eps.status, DSCEndOfData);
    EXPECT_EQ(CountLogged(DSCLOG::kGetEPSInfo, "DSC comments error in EPS file."), 1);
    EXPECT_EQ(eps.reader->GetRight(), Pt(5)); // what was read stays
}

TEST_F(DSCBoundingBox, HeaderBytesCountTheCommentsThroughEndComments) {
    const std::string head = Eps("\n%%BoundingBox: 1 1 5 5\r\n\r\n%%EndComments\r\n");
    const ScannedEPS eps = ScanText(head + "%%BeginProlog\nnewpath\n");
    EXPECT_EQ(eps.Info().headerBytes, static_cast<std::int32_t>(head.size()));
}

TEST_F(DSCBoundingBox, EveryLineEndStyleGivesTheSameRecord) {
    const std::string lf =
        Eps("%%Creator: BraskTavren 8.0\n%%BoundingBox: (atend)\n%%CMYKCustomColor: 0 0 0 1 "
            "(Spot)\n%%EndComments\nnewpath\n%%Trailer\n%%BoundingBox: 1 2 30 40\n%%EOF\n");
    std::string cr = lf;
    std::replace(cr.begin(), cr.end(), '\n', '\r');
    std::string crlf;
    for (char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    for (const std::string& text : {lf, cr, crlf}) {
        const ScannedEPS eps = ScanText(text);
        EXPECT_EQ(eps.status, DSCNoError);
        EXPECT_EQ(eps.reader->GetRight(), Pt(30));
        EXPECT_EQ(eps.reader->GetTop(), Pt(40));
        EXPECT_STREQ(eps.Info().creator, "BraskTavren 8.0");
        EXPECT_EQ(eps.Flags(), EPSFlags::kBraskTavren | EPSFlags::kBraskTavren7OrLater | EPSFlags::kCMYK);
        EXPECT_EQ(ColorEntries(eps.reader->GetCustomColorList(), eps.reader->GetCustomColorListSize()),
                  std::vector<std::u16string>{u"0 0 0 1 (Spot)"});
    }
}

TEST_F(DSCBoundingBox, EmbeddedDocumentsCommentsAreNotTaken) {
    const ScannedEPS eps = ScanText(Eps("%%BoundingBox: 0 0 8 8\n%%HiResBoundingBox: 0 0 8 8\n%%EndComments\n"
                                        "%%BeginDocument: (a.eps)\n%%HiResBoundingBox: 0 0 400 300\n"
                                        "%%BeginDocument: (b.eps)\n%%BoundingBox: 0 0 9 9\n%%EndDocument\n"
                                        "%%CMYKCustomColor: 0 0 0 1 (Inner)\n%%EndDocument\n"
                                        "%%DocumentProcessColors: Cyan\nnewpath\n"));
    EXPECT_EQ(eps.reader->GetRight(), Pt(8));
    EXPECT_EQ(eps.reader->GetTop(), Pt(8));
    EXPECT_EQ(eps.reader->GetCustomColorList(), nullptr);
    EXPECT_EQ(eps.Flags() & EPSFlags::kPlateBits,
              EPSFlags::kCyanPlate); // after the section, comments count again
}

TEST_F(DSCBoundingBox, BoxesAfterEndCommentsOutsideTheTrailerAreNotTaken) {
    // A print job wrapped without %%BeginDocument: its header follows the outer %%EndComments.
    const ScannedEPS eps =
        ScanText(Eps("%%BoundingBox: 27 20 568 801\n%%EndComments\n%%Page: 1 1\n"
                     "%!PS-Adobe-3.0\n%%BoundingBox: (atend)\n%%HiResBoundingBox: 0 0.11 595 842\n"
                     "%%EndComments\nnewpath\n%%Trailer\n%%BoundingBox: 0 0 596 842\n%%EOF\n"));
    EXPECT_EQ(eps.status, DSCNoError);
    EXPECT_EQ(eps.reader->GetLeft(), Pt(27));
    EXPECT_EQ(eps.reader->GetBottom(), Pt(20));
    EXPECT_EQ(eps.reader->GetRight(), Pt(568));
    EXPECT_EQ(eps.reader->GetTop(), Pt(801));
}

TEST_F(DSCBoundingBox, ScanLeavesTheProviderAtPostScriptStart) {
    const ScannedEPS eps = ScanText(Eps("%%BoundingBox: (atend)\n%%EndComments\nx\n%%Trailer\n%%EOF\n"));
    EXPECT_EQ(eps.provider->GetPosition(), 0);
}

} // namespace BRASK::PLUGIN::TEST
