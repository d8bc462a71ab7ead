// Plates (DCS 1 and 2), process colours, custom colours and the colour model.
#include "EpsTestSupport.h"

#include "eps/DSCReader.h"

namespace BRASK::PLUGIN::TEST {

namespace {
std::string Eps(const std::string& body) {
    return "%!PS-Adobe-3.0 EPSF-3.0\n" + body + "%%EndComments\nnewpath\n";
}

std::vector<std::u16string> Entries(const ScannedEPS& eps) {
    return ColorEntries(eps.reader->GetCustomColorList(), eps.reader->GetCustomColorListSize());
}
} // namespace

using DSCColors = EpsTest;

TEST_F(DSCColors, NoColourCommentMeansCMYK) {
    const ScannedEPS eps = ScanText(Eps("%%BoundingBox: 0 0 10 10\n"));
    EXPECT_EQ(eps.Flags(), EPSFlags::kCMYK);
    EXPECT_EQ(eps.reader->GetColorSpace(), 5);
}

TEST_F(DSCColors, Dcs1PlateBitsAreReplacedByTheSeenPlates) {
    ScannedEPS eps = ScanText(Eps("%%CyanPlate: pic.C\n%%BlackPlate: pic.K\n"));
    EXPECT_TRUE(eps.Flags() & EPSFlags::kDCS1);
    EXPECT_EQ(eps.Flags() & EPSFlags::kPlateBits, 0u);

    eps = ScanText(
        Eps("%%Creator: Adobe Photoshop Version 5\n%%CyanPlate: pic.C\n%%ColorPlates: Cyan, Black\n"));
    EXPECT_EQ(eps.Flags() & EPSFlags::kPlateBits, EPSFlags::kCyanPlate | EPSFlags::kBlackPlate);
    EXPECT_TRUE(eps.Flags() & EPSFlags::kPhotoshopDCS1);
    EXPECT_TRUE(eps.Flags() & EPSFlags::kCMYK);
}

TEST_F(DSCColors, ProcessColourNamesMarkPlates) {
    const ScannedEPS eps = ScanText(Eps("%%DocumentProcessColors: (Process Magenta) Red\n"));
    EXPECT_EQ(eps.Flags() & EPSFlags::kPlateBits, EPSFlags::kMagentaPlate | EPSFlags::kBlackPlate);
}

TEST_F(DSCColors, ShortParenthesisedProcessColourMarksNoPlate) {
    const ScannedEPS eps = ScanText(Eps("%%DocumentProcessColors: (Cyan) (Process ) y\n"));
    EXPECT_EQ(eps.Flags() & EPSFlags::kPlateBits, EPSFlags::kYellowPlate);
}

TEST_F(DSCColors, ProcessColoursDeferredToTheTrailer) {
    const ScannedEPS eps = ScanText(Eps("%%DocumentProcessColors: (atend)\n") +
                                    "%%Trailer\n%%DocumentProcessColors: Cyan Yellow\n%%EOF\n");
    EXPECT_EQ(eps.status, DSCNoError);
    EXPECT_EQ(eps.Flags() & EPSFlags::kPlateBits, EPSFlags::kCyanPlate | EPSFlags::kYellowPlate);
}

TEST_F(DSCColors, CmykCustomColourWithEscapedParentheses) {
    const ScannedEPS eps = ScanText(Eps("%%CMYKCustomColor: 0 0 0 1 (Spot \\(1\\))\n"));
    EXPECT_EQ(eps.Flags(), EPSFlags::kCMYK);
    const std::u16string expected = u"0 0 0 1 (Spot \\(1\\))";
    EXPECT_EQ(Entries(eps), std::vector<std::u16string>{expected});
    EXPECT_EQ(eps.reader->GetCustomColorListSize(), expected.size() + 2);
    EXPECT_EQ(eps.reader->GetCustomColorList()[0], 1);
}

TEST_F(DSCColors, RgbCustomColourAloneIsNotCMYK) {
    const ScannedEPS eps = ScanText(Eps("%%RGBCustomColor: 1 0 0 (Red)\n"));
    EXPECT_EQ(eps.Flags(), EPSFlags::kRGB);
    EXPECT_EQ(eps.reader->GetColorSpace(), 4);
    EXPECT_EQ(Entries(eps), std::vector<std::u16string>{u"1 0 0 (Red)"});
}

TEST_F(DSCColors, LabCustomColourEntryEndsInHash) {
    const ScannedEPS eps = ScanText(Eps("%%BRKLabCustomColor: 50 0 0 (Grey)\n"));
    EXPECT_EQ(Entries(eps), std::vector<std::u16string>{u"50 0 0 (Grey)#"});
    EXPECT_TRUE(eps.Flags() & EPSFlags::kCMYK);
}

TEST_F(DSCColors, SeveralValuesPerLineAndContinuations) {
    const ScannedEPS eps = ScanText(Eps("%%CMYKCustomColor: 0 0 0 1 (A) 1 0 0 0 (B)\n%%+ 0  1 0 0 (C, D)\n"
                                        "%%DocumentCustomColors: (A) (B)\n"));
    EXPECT_EQ(Entries(eps),
              (std::vector<std::u16string>{u"0 0 0 1 (A)", u"1 0 0 0 (B)", u"0  1 0 0 (C, D)"}));
    EXPECT_EQ(eps.reader->GetCustomColorList()[0], 3);
}

TEST_F(DSCColors, NamesAreEscapedAgainByteForByte) {
    const ScannedEPS eps = ScanText(
        Eps("%%CMYKCustomColor: 0 0 0 1 (Caf\\351 \\\\ \\101\x80)\n%%CMYKCustomColor: 0 0 0 1 noname\n"));
    EXPECT_EQ(Entries(eps), (std::vector<std::u16string>{u"0 0 0 1 (Caf\\351 \\\\ A\\200)", u"()"}));
}

TEST_F(DSCColors, TextBeforeTheNameIsConvertedFromWindows1252) {
    const ScannedEPS eps = ScanText(Eps("%%CMYKCustomColor: 0 0 0 1\x80 (N)\n"));
    EXPECT_EQ(Entries(eps), std::vector<std::u16string>{u"0 0 0 1\u20AC (N)"});
}

TEST_F(DSCColors, DeferredCustomColourInTheTrailerIsLoggedAndSkipped) {
    const ScannedEPS eps =
        ScanText(Eps("%%CMYKCustomColor: (atend)\n") +
                 "%%Trailer\n%%CMYKCustomColor: (atend)\n%%CMYKCustomColor: 0 0 0 1 (Late)\n%%EOF\n");
    EXPECT_EQ(eps.status, DSCNoError);
    EXPECT_EQ(CountLogged(DSCLOG::kGetEPSInfo, "Bad file format."), 1);
    EXPECT_EQ(Entries(eps), std::vector<std::u16string>{u"0 0 0 1 (Late)"});
}

TEST_F(DSCColors, LongCustomColourValueIsKeptWhole) {
    const std::string name(1100, 'n');
    const ScannedEPS eps = ScanText(Eps("%%CMYKCustomColor: 0 0 0 1 (" + name + ")\n"));
    const std::vector<std::u16string> entries = Entries(eps);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].size(), 8 + 1 + 1100 + 1u);
}

TEST_F(DSCColors, ListStopsBelow65536UnitsAndKeepsItsEntries) {
    std::string body;
    const std::string name(1000, 's');
    std::size_t expectedSize = 1; // the count unit
    std::size_t expectedEntries = 0;
    bool full = false;
    for (int i = 0; i < 80; ++i) {
        const std::string entry = "0 0 0 1 (" + std::to_string(i) + name + ")";
        body += "%%CMYKCustomColor: " + entry + "\n";
        if (!full && expectedSize + entry.size() + 1 <= 65535) {
            expectedSize += entry.size() + 1;
            ++expectedEntries;
        } else {
            full = true;
        }
    }
    const ScannedEPS eps = ScanText(Eps(body));
    const std::vector<std::u16string> entries = Entries(eps);
    ASSERT_EQ(entries.size(), expectedEntries);
    ASSERT_LT(expectedEntries, 80u);
    EXPECT_EQ(eps.reader->GetCustomColorList()[0], expectedEntries);
    EXPECT_EQ(eps.reader->GetCustomColorListSize(), expectedSize);
    const std::string last = std::to_string(expectedEntries - 1);
    EXPECT_EQ(entries.back().substr(9, last.size()), std::u16string(last.begin(), last.end()));
}

TEST_F(DSCColors, AddCustomColorBuildsTheCountedList) {
    DSCReader reader(nullptr);
    EXPECT_TRUE(reader.AddCustomColor(u"ab"));
    EXPECT_TRUE(reader.AddCustomColor(u""));
    EXPECT_TRUE(reader.AddCustomColor(u"xyz"));
    const std::uint16_t expected[] = {3, 'a', 'b', 0, 0, 'x', 'y', 'z', 0};
    ASSERT_EQ(reader.GetCustomColorListSize(), 9);
    EXPECT_TRUE(std::equal(expected, expected + 9, reader.GetCustomColorList()));
    EXPECT_FALSE(reader.AddCustomColor(std::u16string(65530, u'q')));
    EXPECT_EQ(reader.GetCustomColorListSize(), 9);
}

TEST_F(DSCColors, PlateFileForms) {
    struct Case {
        const char* value;
        DSCError result;
        std::uint32_t flags;
        std::int32_t end; // the offset lowers the section's end before the length is checked
    };
    const Case cases[] = {
        {"(Cyan) EPS Local Cyan.eps", DSCNoError, 0, 200},
        {"(Cyan) EPS pic.C", DSCNoError, EPSFlags::kPlatesElsewhere, 200},
        {"(Cy\\)an) EPS #60 100", DSCNoError, EPSFlags::kPlatesInFile, 60},
        {"(Black)  EPS  #  60  100", DSCNoError, EPSFlags::kPlatesInFile, 60},
        {"(Cyan) EPS #900 100", DSCNoError, EPSFlags::kPlatesInFile, 200},
        {"Cyan) EPS #60 100", DSCBadFormat, 0, 200},
        {"(Cyan)) EPS #60 100", DSCNoError, EPSFlags::kPlatesElsewhere, 200}, // ")" is then field 2
        {"(Cyan) EPS", DSCBadFormat, 0, 200},
        {"(Cyan) EPS Local", DSCBadFormat, 0, 200},
        {"(Cyan) EPS #6x0 100", DSCBadFormat, EPSFlags::kPlatesInFile, 200},
        {"(Cyan) EPS #60", DSCBadFormat, EPSFlags::kPlatesInFile, 60},
        {"(Cyan) EPS #60 1o0", DSCBadFormat, EPSFlags::kPlatesInFile, 60},
    };
    auto provider = Open(WriteFile("plates.eps", std::string(200, '%')));
    for (const Case& c : cases) {
        DSCReader reader(provider.Get());
        ASSERT_EQ(reader.SetUpFileParsing(), DSCNoError);
        EXPECT_EQ(reader.ParsePlateFile(c.value), c.result) << c.value;
        EXPECT_EQ(reader.Info().flags, c.flags) << c.value;
        EXPECT_EQ(reader.Info().postScriptEnd, c.end) << c.value;
    }
}

TEST_F(DSCColors, Dcs2FileEndsItsSectionAtThePlateAndDetectsAMissingMaster) {
    const std::string head = "%!PS-Adobe-3.0 EPSF-3.0\n%%PlateFile: (Cyan) EPS Local pic.C\n%%EndComments\n";
    ScannedEPS eps = ScanText(head + "/dcsNoMasterIgnore pop\n");
    EXPECT_EQ(eps.status, DSCNoError);
    EXPECT_TRUE(eps.Flags() & EPSFlags::kDCS2);
    EXPECT_TRUE(eps.Flags() & EPSFlags::kNoCompositeMaster);

    eps = ScanText("%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: BraskTavren 9\n" + head.substr(24) +
                   "/dcsNoMasterIgnore pop\n");
    EXPECT_FALSE(eps.Flags() & EPSFlags::kNoCompositeMaster);

    // A plate stored in the file at an offset ends the composite's section there.
    const std::string offsetHead =
        "%!PS-Adobe-3.0 EPSF-3.0\n%%PlateFile: (Cyan) EPS #200 10\n%%EndComments\nnewpath\n";
    eps = ScanText(offsetHead + std::string(200 - offsetHead.size(), ' ') + "%!PS plate\n");
    EXPECT_EQ(eps.status, DSCNoError);
    EXPECT_EQ(eps.reader->GetPostScriptEnd(), 200);

    eps = ScanText("%!PS-Adobe-3.0 EPSF-3.0\n%%PlateFile: (Cyan) EPS #x 10\n%%EndComments\n");
    EXPECT_EQ(eps.status, DSCBadFormat);
    EXPECT_TRUE(eps.Flags() & EPSFlags::kCMYK); // the final adjustments still ran
}

} // namespace BRASK::PLUGIN::TEST
