// Creator, title, levels, flags, continuation lines, image data and the Photoshop and ICC sections.
#include "EpsTestSupport.h"

#include "memory/MemoryManager.h"

namespace BRASK::PLUGIN::TEST {

namespace {
std::string Eps(const std::string& body) {
    return "%!PS-Adobe-3.0 EPSF-3.0\n" + body + "%%EndComments\nnewpath\n";
}

std::vector<std::uint8_t> BlockBytes(MEMFIX::Handle block) {
    if (block == nullptr)
        return {};
    const std::uint32_t size = MEMFIX::GetHandleSize(block);
    return std::vector<std::uint8_t>(*block, *block + size);
}
} // namespace

using DSCComments = EpsTest;

TEST_F(DSCComments, CreatorVersionRules) {
    struct Case {
        const char* creator;
        std::uint32_t flags;
    };
    const Case cases[] = {
        {"BraskTavren(R) 8.0", EPSFlags::kBraskTavren | EPSFlags::kBraskTavren7OrLater},
        {"BraskTavren Windows 6.1", EPSFlags::kBraskTavren},
        {"BraskTavren(R) Windows 12.0.1", EPSFlags::kBraskTavren | EPSFlags::kBraskTavren7OrLater},
        {"BraskTavren  7", EPSFlags::kBraskTavren | EPSFlags::kBraskTavren7OrLater}, // a space while v is 0
        {"BraskTavren", EPSFlags::kBraskTavren},
        {"Adobe Photoshop Version 7.0", EPSFlags::kRasterCreator},
        {"Photoshop 3", EPSFlags::kRasterCreator},
        {"Sampler 1.0", EPSFlags::kRasterCreator},
        {"Illustrator", 0},
    };
    for (const Case& c : cases) {
        const ScannedEPS eps = ScanText(Eps(std::string("%%Creator: ") + c.creator + "\n"));
        EXPECT_EQ(eps.Flags() & ~EPSFlags::kCMYK, c.flags) << c.creator;
        EXPECT_STREQ(eps.Info().creator, c.creator);
    }
    EXPECT_EQ(CountLogged(DSCLOG::kGetEPSInfo, "Non-digit char found in the version string"), 0);
}

TEST_F(DSCComments, NonDigitVersionIsLoggedAndGivesNoVersionFlag) {
    const ScannedEPS eps = ScanText(Eps("%%Creator: BraskTavren 9x\n"));
    EXPECT_EQ(eps.Flags() & ~EPSFlags::kCMYK, EPSFlags::kBraskTavren);
    EXPECT_EQ(CountLogged(DSCLOG::kGetEPSInfo, "Non-digit char found in the version string"), 1);
}

TEST_F(DSCComments, SecondCharacterIsNotExaminedAndTextsAreCut) {
    const std::string longText(300, 'T');
    const ScannedEPS eps =
        ScanText(Eps("% Creator: Spaced\n%%Title: " + longText + "\n%%CreationDate: " + longText + "\n"));
    EXPECT_STREQ(eps.Info().creator, "Spaced");
    EXPECT_EQ(std::string(eps.Info().title), longText.substr(0, 255));
    EXPECT_EQ(std::string(eps.Info().creationDate), longText.substr(0, 255));
}

TEST_F(DSCComments, TrailerTitleOnlyFillsAnEmptyTitle) {
    const std::string trailer = "%%Trailer\n%%Title: Late\n%%CreationDate: Late\n%%EOF\n";
    ScannedEPS eps =
        ScanText(Eps("%%Title: Early\n%%CreationDate: Early\n%%BoundingBox: (atend)\n") + trailer);
    EXPECT_STREQ(eps.Info().title, "Early");
    EXPECT_STREQ(eps.Info().creationDate, "Late");
    eps = ScanText(Eps("%%BoundingBox: (atend)\n") + trailer);
    EXPECT_STREQ(eps.Info().title, "Late");
}

TEST_F(DSCComments, LanguageLevelAndDocumentData) {
    EXPECT_EQ(ScanText(Eps("%%LanguageLevel: 3  \n")).Info().languageLevel, 3);
    EXPECT_EQ(ScanText(Eps("%%LanguageLevel: 1\n")).Info().languageLevel, 1);
    EXPECT_EQ(ScanText(Eps("%%LanguageLevel: 2.5\n")).Info().languageLevel, 2);
    EXPECT_EQ(ScanText(Eps("")).Info().languageLevel, 1);
    EXPECT_EQ(ScanText(Eps("%%DocumentData: Binary  \n")).Info().documentData, 8);
    EXPECT_EQ(ScanText(Eps("%%DocumentData: Clean8Bit\n")).Info().documentData, 4);
    EXPECT_EQ(ScanText(Eps("%%DocumentData: Clean7Bit\n")).Info().documentData, 2);
    EXPECT_EQ(ScanText(Eps("%%DocumentData: Other\n")).Info().documentData, 1);
    EXPECT_EQ(ScanText(Eps("")).Info().reserved, -1);
}

TEST_F(DSCComments, FlagComments) {
    const ScannedEPS eps = ScanText(Eps("%%SuppressDotGainCompensation\n%%MarksAllSeparations: true\n"
                                        "%VectorMaskedImagery\n%DuotoneInks: 2\n%%RGBProcessColor: 1 0 0\n"));
    EXPECT_EQ(eps.Flags(), EPSFlags::kSuppressDotGain | EPSFlags::kMarksAllSeparations |
                               EPSFlags::kVectorMaskedImagery | EPSFlags::kDuotoneInks | EPSFlags::kRGB);
    EXPECT_TRUE(eps.reader->HasDuotoneInks());
    EXPECT_TRUE(eps.reader->HasVectorMaskedImagery());
    EXPECT_EQ(eps.reader->GetColorSpace(), 4);
    EXPECT_FALSE(ScanText(Eps("%%MarksAllSeparations: false\n")).Flags() & EPSFlags::kMarksAllSeparations);
}

TEST_F(DSCComments, ContinuationLinesAddValuesExceptAfterResources) {
    ScannedEPS eps = ScanText(Eps("%%DocumentProcessColors: Cyan\n%%+ Magenta\n%%+ Yellow\n"));
    EXPECT_EQ(eps.Flags() & EPSFlags::kPlateBits,
              EPSFlags::kCyanPlate | EPSFlags::kMagentaPlate | EPSFlags::kYellowPlate);

    eps =
        ScanText(Eps("%%DocumentProcessColors: Cyan\n%%DocumentNeededResources: font Times\n%%+ Magenta\n"));
    EXPECT_EQ(eps.Flags() & EPSFlags::kPlateBits, EPSFlags::kCyanPlate);

    // After a line that is no keyword, "%%+" continues nothing.
    eps = ScanText(Eps("%%DocumentProcessColors: Cyan\n%%Pages: 1\n%%+ Magenta\n"));
    EXPECT_EQ(eps.Flags() & EPSFlags::kPlateBits, EPSFlags::kCyanPlate);
}

TEST_F(DSCComments, ContinuationCutByANulIsLoggedAndTheScanGoesOn) {
    const ScannedEPS eps = ScanText(
        Eps(std::string("%%DocumentProcessColors: Cyan\n%%+\0 Black\n", 41) + "%%BoundingBox: 0 0 5 5\n"));
    EXPECT_EQ(CountLogged(DSCLOG::kGetEPSInfo, "Error reading DSC Comments in EPS."), 1);
    EXPECT_EQ(eps.reader->GetRight(), Pt(5));
    EXPECT_EQ(eps.Flags() & EPSFlags::kPlateBits, EPSFlags::kCyanPlate);
}

TEST_F(DSCComments, ResourcesDeferredToTheTrailer) {
    ScannedEPS eps =
        ScanText(Eps("%%DocumentNeededResources: (atend)\n%%BoundingBox: 0 0 5 5\n") +
                 "%%Trailer\n%%DocumentNeededResources: font Times\n%%BoundingBox: 0 0 7 7\n%%EOF\n");
    EXPECT_EQ(eps.status, DSCNoError);
    EXPECT_EQ(eps.reader->GetRight(), Pt(7));
    eps = ScanText(Eps("%%DocumentSuppliedResources:   (atend)\n") +
                   "%%Trailer\n%%DocumentSuppliedResources: (atend)\n%%EOF\n");
    EXPECT_EQ(eps.status, DSCBadFormat);
}

TEST_F(DSCComments, ImageDataAndResolution) {
    ScannedEPS eps =
        ScanText(Eps("%%BoundingBox: 0 0 100 80\n%ImageData: 300 240 8 4 1 300 1 \"beginimage\"\n"));
    EXPECT_EQ(eps.Info().imageWidth, 300);
    EXPECT_EQ(eps.Info().imageHeight, 240);
    EXPECT_EQ(eps.Info().imageBlockSize, 300);
    EXPECT_EQ(eps.Info().imageFlags, kImageExtraChannels | kImageBinaryData);
    EXPECT_EQ(eps.reader->GetImageResolution(), 216 * 65536);

    // An RGB image stops at the colour mode; a bit depth other than 8 at the depth.
    eps = ScanText(Eps("%%BoundingBox: 0 0 72 48\n%ImageData: 447 420 8 3 1 447 1 \"beginimage\"\n"));
    EXPECT_EQ(eps.Info().imageBlockSize, 0);
    EXPECT_EQ(eps.Info().imageFlags, 0);
    eps = ScanText(Eps("%%BoundingBox: 0 0 72 48\n%ImageData: 100 67 1 1 0 13 7 \"beginimage\"\n"));
    EXPECT_EQ(eps.Info().imageWidth, 100);
    EXPECT_NEAR(eps.reader->GetImageResolution(), 100 * 65536, 72); // 100 pixels over 72 points, rounded

    EXPECT_EQ(ScanText(Eps("%%BoundingBox: 0 0 72 48\n")).reader->GetImageResolution(), 0);
    // Zero width with an image saturates rather than wrapping.
    eps = ScanText(Eps("%%BoundingBox: 5 0 5 48\n%ImageData: 10 10 8 4 0 1 1\n"));
    EXPECT_EQ(eps.reader->GetImageResolution(), 0x7FFFFFFF);
}

TEST_F(DSCComments, PhotoshopSectionDecodesItsHexData) {
    const ScannedEPS eps = ScanText(Eps("%BeginPhotoshop: 6\n% 0102ab\n%CDef3\n%EndPhotoshop\n"));
    EXPECT_EQ(BlockBytes(eps.reader->GetPhotoshopResources()),
              (std::vector<std::uint8_t>{0x01, 0x02, 0xAB, 0xCD, 0xEF}));
}

TEST_F(DSCComments, PhotoshopDataBeyondTheDeclaredCountIsDropped) {
    const ScannedEPS eps = ScanText(Eps("%BeginPhotoshop: 2\n% 01020304\n% 05\n%EndPhotoshop\n"));
    EXPECT_EQ(BlockBytes(eps.reader->GetPhotoshopResources()), (std::vector<std::uint8_t>{0x01, 0x02}));
}

TEST_F(DSCComments, PhotoshopCountBeyondTheFileIsNotAllocated) {
    const ScannedEPS eps = ScanText(Eps("%BeginPhotoshop: 2000000000\n% 0A0B\n"));
    // The section never ended: the block keeps the (bounded) declared size, the decoded bytes first.
    const std::vector<std::uint8_t> bytes = BlockBytes(eps.reader->GetPhotoshopResources());
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_LT(bytes.size(), 100u);
    EXPECT_EQ(bytes[0], 0x0A);
    EXPECT_EQ(bytes[1], 0x0B);
}

TEST_F(DSCComments, IccSectionGrowsWithItsData) {
    const ScannedEPS eps = ScanText(Eps("%%BeginICCProfile: (Photoshop Profile) -1 Hex\n% 0A0B\n% 0c0d0e0\n"
                                        "%%EndICCProfile\n"));
    EXPECT_EQ(BlockBytes(eps.reader->GetICCProfile()),
              (std::vector<std::uint8_t>{0x0A, 0x0B, 0x0C, 0x0D, 0x0E}));
    EXPECT_EQ(ScanText(Eps("")).reader->GetICCProfile(), nullptr);
}

TEST_F(DSCComments, RepeatedIccSectionReplacesTheProfile) {
    const ScannedEPS eps = ScanText(Eps("%%BeginICCProfile: x\n% 010203\n%%EndICCProfile\n"
                                        "%%BeginICCProfile: y\n% 09\n%%EndICCProfile\n"));
    EXPECT_EQ(BlockBytes(eps.reader->GetICCProfile()), (std::vector<std::uint8_t>{0x09}));
}

TEST_F(DSCComments, LongHexLineDecodesEverythingTheLineHolds) {
    std::string hex;
    for (int i = 0; i < 700; ++i)
        hex += "A5";
    const ScannedEPS eps = ScanText(Eps("%%BeginICCProfile: x\n% " + hex + "\n%%EndICCProfile\n"));
    // The line keeps 1198 characters: "% " and 1196 hex digits.
    EXPECT_EQ(BlockBytes(eps.reader->GetICCProfile()), std::vector<std::uint8_t>(598, 0xA5));
}

} // namespace BRASK::PLUGIN::TEST

namespace BRASK::PLUGIN::TEST {

// The memory manager refuses blocks once its ceiling is reached: the scan goes on without them.
TEST_F(DSCComments, RefusedBlocksLeaveTheScanSafe) {
    const std::uint64_t ceiling = MEMFIX::MemoryCeiling();
    MEMFIX::SetMemoryCeiling(MEMFIX::BytesInUse() + 256);
    std::string hex;
    for (int i = 0; i < 500; ++i)
        hex += "7F";
    const ScannedEPS eps = ScanText(Eps("%BeginPhotoshop: 100000\n% " + hex +
                                        "\n%EndPhotoshop\n"
                                        "%%BeginICCProfile: x\n% " +
                                        hex + "\n% " + hex +
                                        "\n%%EndICCProfile\n"
                                        "%%BoundingBox: 0 0 5 5\n"));
    MEMFIX::SetMemoryCeiling(ceiling);
    EXPECT_EQ(eps.status, DSCNoError);
    EXPECT_EQ(eps.reader->GetRight(), Pt(5));
    // Whatever blocks were had hold only decoded bytes.
    for (MEMFIX::Handle block : {eps.reader->GetPhotoshopResources(), eps.reader->GetICCProfile()})
        for (std::uint8_t b : BlockBytes(block))
            EXPECT_EQ(b, 0x7F);
    EXPECT_LT(BlockBytes(eps.reader->GetICCProfile()).size(), 1000u);
}

} // namespace BRASK::PLUGIN::TEST
