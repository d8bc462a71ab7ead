// The comment scan: boxes, colours and plates, creators and texts, the data sections, and their bounds.
#include "EpsTestSupport.h"

#include "DSCReader.h"
#include "FixDiv.h"
#include "MemoryManager.h"
#include "brask/FilterKeys.h"

#include <algorithm>
#include <limits>
#include <tuple>

namespace BRASK::PLUGIN::TEST {

namespace {

using namespace EPSFlags;
constexpr Fixed kMax = std::numeric_limits<Fixed>::max();
constexpr Fixed kMin = std::numeric_limits<Fixed>::min();

const std::string kHead = "%!PS-Adobe-3.0 EPSF-3.0\n";
// Header comments, %%EndComments and one line of code.
std::string Eps(const std::string& comments) {
    return kHead + comments + "%%EndComments\nnewpath\n";
}

Fixed Extent(Fixed low, Fixed high) {
    return static_cast<Fixed>(std::clamp<std::int64_t>(std::int64_t{high} - low, kMin, kMax));
}

std::vector<std::uint8_t> Bytes(MEMFIX::Handle block) {
    return block ? std::vector<std::uint8_t>(*block, *block + MEMFIX::GetHandleSize(block))
                 : std::vector<std::uint8_t>{};
}

} // namespace

using DSCScan = EpsTest;

TEST_F(DSCScan, CommentRules) {
    // Expected: box; flags under `mask`; custom colour entries; status; the one message logged (else none);
    // colour space (when not -1).
    struct Case {
        std::string text;
        std::array<Fixed, 4> box{};
        std::uint32_t mask = 0, flags = 0;
        std::vector<std::u16string> colors{};
        DSCError status = DSCNoError;
        const char* logged = nullptr;
        int space = -1;
    };
    auto Row = [](std::string text, std::array<Fixed, 4> box = {}, std::uint32_t mask = 0,
                  std::uint32_t flags = 0, std::vector<std::u16string> colors = {},
                  DSCError status = DSCNoError, const char* logged = nullptr, int space = -1) {
        return Case{std::move(text), box, mask, flags, std::move(colors), status, logged, space};
    };
    auto Plates = [&](std::string text, std::uint32_t bits) {
        return Row(std::move(text), {}, kPlateBits, bits);
    };
    auto Creator = [&](std::string value, std::uint32_t flags, const char* logged = nullptr) {
        return Row(Eps("%%Creator: " + value + "\n"), {}, ~kCMYK, flags, {}, DSCNoError, logged);
    };
    const std::string atend = Eps("%%BoundingBox: (atend)\n");
    const std::string dcs2 =
        kHead + "%%PlateFile: (Cyan) EPS Local pic.C\n%%EndComments\n/dcsNoMasterIgnore pop\n";
    const std::string creator = "%%Creator: BraskTavren 9\n";
    const Case cases[] = {
        // A deferred box is the trailer's, up to %%EOF; without %%EndComments the trailer is not searched.
        Row(atend +
                "stroke\n%%Trailer\ncleartomark\n%%BoundingBox: 0 0 100 50\n%%EOF\n%%BoundingBox: 9 9 9 9\n",
            {0, 0, Pt(100), Pt(50)}),
        Row(kHead + "%%BoundingBox: (atend)\nnewpath\n%%Trailer\n%%BoundingBox: 0 0 100 50\n%%EOF\n"),
        // A box on the file's last line is found without a line end.
        Row(atend + "%%Trailer\n%%BoundingBox: 0 0 30 40", {0, 0, Pt(30), Pt(40)}),
        // After %%EndComments and outside the trailer a box counts only when the header gave none.
        Row(kHead + "%%BoundingBox: 0 0 8 8\n%%EndComments\n%%BoundingBox: 0 0 90 90\nnewpath\n",
            {0, 0, Pt(8), Pt(8)}),
        Row(kHead + "%%EndComments\n%%BoundingBox: 0 0 90 70\nnewpath\n", {0, 0, Pt(90), Pt(70)}),
        Row(kHead + "%%EndComments\n%%BoundingBox: (atend)\nnewpath\n%%Trailer\n%%BoundingBox: 0 0 9 7\n",
            {0, 0, Pt(9), Pt(7)}),
        Row(kHead + "%%BoundingBox: 0 0 8 8\n%%EndComments\n%%BoundingBox: (atend)\nnewpath\n%%Trailer\n"
                    "%%BoundingBox: 0 0 9 7\n",
            {0, 0, Pt(8), Pt(8)}),
        Row(kHead + "%%BoundingBox: (atend)\n%%EndComments\n%%HiResBoundingBox: 0 0 5.5 6.5\nnewpath\n",
            {0, 0, Pt(5.5), Pt(6.5)}),
        Row(atend + "%%Trailer\n%%BoundingBox: (atend)\n%%EOF\n", {}, 0, 0, {}, DSCBadFormat),
        // %%HiResBoundingBox: wins before %%BoundingBox: and overwrites it after.
        Row(Eps("%%HiResBoundingBox: 0.5 1.25 10.75 20.5\n%%BoundingBox: 0 1 11 21\n"),
            {Pt(0.5), Pt(1.25), Pt(10.75), Pt(20.5)}),
        Row(Eps("%%BoundingBox: 0 1 11 21\n%%HiResBoundingBox: 0.5 1.25 10.75 20.5\n"),
            {Pt(0.5), Pt(1.25), Pt(10.75), Pt(20.5)}),
        Row(Eps("%%BoundingBox: -0.5 -2.00001 10 +10\n"), {-32768, -131073, Pt(10), Pt(10)}),
        // Extents under three points are widened to three, an empty one stays; huge numbers saturate.
        Row(Eps("%%BoundingBox: 0 0 2 2\n"), {0, 0, Pt(3), Pt(3)}),
        Row(Eps("%%BoundingBox: 5 5 5 7.5\n"), {Pt(5), Pt(5), Pt(5), Pt(8)}),
        Row(Eps("%%BoundingBox: -1e30 nan 1e300 \n"), {kMin, 0, kMax, 0}),
        // Data ending before %%EndComments is an error, what was read stays; after it, no composite master.
        Row(kHead + "%%BoundingBox: 1 1 5 5\n%%Creator: x\n", {Pt(1), Pt(1), Pt(5), Pt(5)}, 0, 0, {},
            DSCEndOfData, "DSC comments error in EPS file."),
        Row(kHead + "%%BoundingBox: 1 1 5 5\n%%EndComments\n", {Pt(1), Pt(1), Pt(5), Pt(5)}, ~0u,
            kNoCompositeMaster | kCMYK),
        // Comments of embedded documents are not taken; after the section they count again.
        Row(kHead +
                "%%BoundingBox: 0 0 8 8\n%%HiResBoundingBox: 0 0 8 8\n%%EndComments\n"
                "%%BeginDocument: (a.eps)\n%%HiResBoundingBox: 0 0 400 300\n%%BeginDocument: (b.eps)\n"
                "%%BoundingBox: 0 0 9 9\n%%EndDocument\n%%CMYKCustomColor: 0 0 0 1 (Inner)\n%%EndDocument\n"
                "%%DocumentProcessColors: Cyan\nnewpath\n",
            {0, 0, Pt(8), Pt(8)}, kPlateBits, kCyanPlate),
        // Deferred resources send the scan to the trailer.
        Row(Eps("%%DocumentNeededResources: (atend)\n%%BoundingBox: 0 0 5 5\n") +
                "%%Trailer\n%%DocumentNeededResources: font Times\n%%BoundingBox: 0 0 7 7\n%%EOF\n",
            {0, 0, Pt(7), Pt(7)}),
        // Continuations add values, but not after resources or a non-keyword line, nor when cut by a NUL.
        Plates(Eps("%%DocumentProcessColors: Cyan\n%%+ Magenta\n%%+ Yellow\n"),
               kCyanPlate | kMagentaPlate | kYellowPlate),
        Plates(Eps("%%DocumentProcessColors: Cyan\n%%DocumentNeededResources: font Times\n%%+ Magenta\n"),
               kCyanPlate),
        Plates(Eps("%%DocumentProcessColors: Cyan\n%%Pages: 1\n%%+ Magenta\n"), kCyanPlate),
        Row(Eps(std::string("%%DocumentProcessColors: Cyan\n%%+\0 Black\n", 41) + "%%BoundingBox: 0 0 5 5\n"),
            {0, 0, Pt(5), Pt(5)}, kPlateBits, kCyanPlate, {}, DSCNoError,
            "Error reading DSC Comments in EPS."),
        // Colour model and plates: none named is CMYK; DCS 1 plate bits are replaced by the plates seen.
        Row(Eps("%%BoundingBox: 0 0 10 10\n"), {0, 0, Pt(10), Pt(10)}, ~0u, kCMYK, {}, DSCNoError, nullptr,
            5),
        Row(Eps("%%CyanPlate: pic.C\n%%BlackPlate: pic.K\n"), {}, kDCS1 | kPlateBits, kDCS1),
        Row(Eps("%%Creator: Adobe Photoshop Version 5\n%%CyanPlate: pic.C\n%%ColorPlates: Cyan, Black\n"), {},
            kPlateBits | kPhotoshopDCS1 | kCMYK, kCyanPlate | kBlackPlate | kPhotoshopDCS1 | kCMYK),
        // Process colours: "(Process X)" names X, other names are black, "(" tokens under 10 characters none.
        Plates(Eps("%%DocumentProcessColors: (Process Magenta) Red\n"), kMagentaPlate | kBlackPlate),
        Plates(Eps("%%DocumentProcessColors: (Cyan) (Process ) y\n"), kYellowPlate),
        Plates(Eps("%%DocumentProcessColors: (atend)\n") +
                   "%%Trailer\n%%DocumentProcessColors: Cyan Yellow\n%%EOF\n",
               kCyanPlate | kYellowPlate),
        // Custom colours: names escaped again byte for byte, text before them converted from Windows-1252.
        Row(Eps("%%CMYKCustomColor: 0 0 0 1 (Spot \\(1\\))\n"), {}, ~0u, kCMYK, {u"0 0 0 1 (Spot \\(1\\))"}),
        Row(Eps("%%RGBCustomColor: 1 0 0 (Red)\n"), {}, ~0u, kRGB, {u"1 0 0 (Red)"}, DSCNoError, nullptr, 4),
        Row(Eps("%%BRKLabCustomColor: 50 0 0 (Grey)\n"), {}, kCMYK, kCMYK, {u"50 0 0 (Grey)#"}),
        Row(Eps("%%CMYKCustomColor: 0 0 0 1 (A) 1 0 0 0 (B)\n%%+ 0  1 0 0 (C, D)\n"
                "%%DocumentCustomColors: (A)\n"),
            {}, 0, 0, {u"0 0 0 1 (A)", u"1 0 0 0 (B)", u"0  1 0 0 (C, D)"}),
        Row(Eps("%%CMYKCustomColor: 0 0 0 1 (Caf\\351 \\\\ \\101\x80)\n%%CMYKCustomColor: 0 0 0 1 noname\n"),
            {}, 0, 0, {u"0 0 0 1 (Caf\\351 \\\\ A\\200)", u"()"}),
        Row(Eps("%%CMYKCustomColor: 0 0 0 1\x80 (N)\n"), {}, 0, 0, {u"0 0 0 1\u20AC (N)"}),
        // A value longer than the 1023-character value buffer is kept whole.
        Row(Eps("%%CMYKCustomColor: 0 0 0 1 (" + std::string(1100, 'n') + ")\n"), {}, 0, 0,
            {u"0 0 0 1 (" + std::u16string(1100, u'n') + u")"}),
        Row(Eps("%%CMYKCustomColor: (atend)\n") +
                "%%Trailer\n%%CMYKCustomColor: (atend)\n%%CMYKCustomColor: 0 0 0 1 (Late)\n%%EOF\n",
            {}, 0, 0, {u"0 0 0 1 (Late)"}, DSCNoError, "Bad file format."),
        // Flag comments.
        Row(Eps("%%SuppressDotGainCompensation\n%%MarksAllSeparations: true\n%VectorMaskedImagery\n"
                "%DuotoneInks: 2\n%%RGBProcessColor: 1 0 0\n"),
            {}, ~0u, kSuppressDotGain | kMarksAllSeparations | kVectorMaskedImagery | kDuotoneInks | kRGB, {},
            DSCNoError, nullptr, 4),
        Row(Eps("%%MarksAllSeparations: false\n"), {}, kMarksAllSeparations, 0),
        // Creator version rules; a space is allowed while the version is 0.
        Creator("BraskTavren(R) 8.0", kBraskTavren | kBraskTavren7OrLater),
        Creator("BraskTavren Windows 6.1", kBraskTavren),
        Creator("BraskTavren(R) Windows 12.0.1", kBraskTavren | kBraskTavren7OrLater),
        Creator("BraskTavren  7", kBraskTavren | kBraskTavren7OrLater), Creator("BraskTavren", kBraskTavren),
        Creator("BraskTavren 9x", kBraskTavren, "Non-digit char found in the version string"),
        Creator("Adobe Photoshop Version 7.0", kRasterCreator), Creator("Photoshop 3", kRasterCreator),
        Creator("Sampler 1.0", kRasterCreator), Creator("Illustrator", 0),
        // DCS 2: no composite master when the first code line says so, unless BraskTavren wrote the file.
        Row(dcs2, {}, kDCS2 | kNoCompositeMaster, kDCS2 | kNoCompositeMaster),
        Row(kHead + creator + dcs2.substr(kHead.size()), {}, kNoCompositeMaster, 0),
        Row(kHead + "%%PlateFile: (Cyan) EPS #x 10\n%%EndComments\n", {}, kCMYK, kCMYK, {}, DSCBadFormat)};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 160));
        const ScannedEPS eps = ScanText(c.text);
        EXPECT_EQ(eps.status, c.status);
        EXPECT_EQ(eps.Box(), c.box);
        EXPECT_EQ(eps.reader->GetFixedWidth(), Extent(c.box[0], c.box[2]));
        EXPECT_EQ(eps.reader->GetFixedHeight(), Extent(c.box[1], c.box[3]));
        if (c.box[0] != kMin) {
            EXPECT_NEAR(eps.reader->GetWidth(), FixedToPoints(c.box[2] - c.box[0]), 1e-4);
            EXPECT_NEAR(eps.reader->GetHeight(), FixedToPoints(c.box[3] - c.box[1]), 1e-4);
        }
        EXPECT_EQ(eps.Flags() & c.mask, c.flags);
        EXPECT_EQ(eps.Colors(), c.colors);
        if (c.logged) {
            EXPECT_EQ(CountLogged(DSCLOG::kGetEPSInfo, c.logged), 1);
        } else {
            EXPECT_TRUE(mLog.Records().empty()) << mLog.Records().front().MessageUTF8();
        }
        if (c.space != -1) {
            EXPECT_EQ(eps.reader->GetColorSpace(), c.space);
        }
        EXPECT_EQ(eps.provider->GetPosition(),
                  eps.reader->GetPostScriptStart()); // left where the code starts
    }
}

TEST_F(DSCScan, TextFieldsAreCutAndLevelsRead) {
    const std::string longText(300, 'T');
    const std::string head = kHead + "% Creator: Spaced\r\n\r\n%%Title: " + longText +
                             "\n%%CreationDate: " + longText + "\n%%EndComments\n";
    const ScannedEPS eps = ScanText(head + "newpath\n");
    EXPECT_STREQ(eps.Info().creator, "Spaced"); // the second character is not examined
    EXPECT_EQ(std::string(eps.Info().title), longText.substr(0, 255));
    EXPECT_EQ(std::string(eps.Info().creationDate), longText.substr(0, 255));
    EXPECT_EQ(eps.Info().headerBytes, std::int32_t(head.size()));
    // The trailer's title only fills an empty one.
    const std::string trailer = "%%Trailer\n%%Title: Late\n%%CreationDate: Late\n%%EOF\n";
    const ScannedEPS early =
        ScanText(Eps("%%Title: Early\n%%CreationDate: Early\n%%BoundingBox: (atend)\n") + trailer);
    EXPECT_STREQ(early.Info().title, "Early");
    EXPECT_STREQ(early.Info().creationDate, "Late");
    EXPECT_STREQ(ScanText(Eps("%%BoundingBox: (atend)\n") + trailer).Info().title, "Late");
    for (auto [value, level] : {std::pair{"3  ", 3}, {"1", 1}, {"2.5", 2}})
        EXPECT_EQ(ScanText(Eps(std::string("%%LanguageLevel: ") + value + "\n")).Info().languageLevel, level);
    for (auto [value, code] : {std::pair{"Binary  ", 8}, {"Clean8Bit", 4}, {"Clean7Bit", 2}, {"Other", 1}})
        EXPECT_EQ(ScanText(Eps(std::string("%%DocumentData: ") + value + "\n")).Info().documentData, code);
}

TEST_F(DSCScan, ImageDataAndResolution) {
    struct Case {
        const char* comments;
        std::int32_t width, blockSize, flags;
        Fixed resolution;
    };
    const Case cases[] = {
        {"%%BoundingBox: 0 0 100 80\n%ImageData: 300 240 8 4 1 300 1 \"beginimage\"\n", 300, 300,
         kImageExtraChannels | kImageBinaryData, 216 * 65536},
        // An RGB image stops at the colour mode; a bit depth other than 8 at the depth.
        {"%%BoundingBox: 0 0 72 48\n%ImageData: 447 420 8 3 1 447 1 \"beginimage\"\n", 447, 0, 0,
         447 * 65536},
        {"%%BoundingBox: 0 0 72 48\n%ImageData: 100 67 1 1 0 13 7 \"beginimage\"\n", 100, 0, 0, 100 * 65536},
        {"%%BoundingBox: 0 0 72 48\n", 0, 0, 0, 0},
        // Zero width with an image saturates rather than wrapping.
        {"%%BoundingBox: 5 0 5 48\n%ImageData: 10 10 8 4 0 1 1\n", 10, 1, kImageBinaryData, 0x7FFFFFFF}};
    for (const Case& c : cases) {
        const ScannedEPS eps = ScanText(Eps(c.comments));
        EXPECT_EQ(std::tie(eps.Info().imageWidth, eps.Info().imageBlockSize, eps.Info().imageFlags),
                  std::make_tuple(c.width, c.blockSize, c.flags))
            << c.comments;
        EXPECT_NEAR(eps.reader->GetImageResolution(), c.resolution, 72) << c.comments; // rounded
    }
}

TEST(FixDiv, RoundsToNearestAndSaturates) {
    auto T = [](Fixed a, Fixed b, Fixed quotient) { return std::array{a, b, quotient}; };
    const std::array<Fixed, 3> cases[] = {
        T(3 << 16, 1 << 16, 3 << 16), T(1 << 16, 3 << 16, 21845), T(2 << 16, 3 << 16, 43691),
        T(-(2 << 16), 3 << 16, -43691), T(2 << 16, -(3 << 16), -43691), T(-(2 << 16), -(3 << 16), 43691),
        // Quotients that do not fit saturate; -0x80000000 counts as -0x7FFFFFFF.
        T(kMax, 1, kMax), T(-kMax, 1, kMin), T(5, 0, kMax), T(-5, 0, kMin), T(0, 0, kMax),
        T(1 << 30, 1 << 15, kMax), T((1 << 30) - 1, 1 << 15, kMax - 1), T(kMin, 1 << 16, -kMax),
        T(1 << 16, kMin, -2), T(1 << 16, -kMax, -2)};
    for (const auto& c : cases)
        EXPECT_EQ(FixDiv(c[0], c[1]), c[2]) << c[0] << " / " << c[1];
}

TEST_F(DSCScan, PhotoshopAndIccSectionsDecodeTheirHexDataAndRefusedBlocksLeaveTheScanSafe) {
    std::string hex;
    for (int i = 0; i < 700; ++i)
        hex += "A5";
    using Data = std::vector<std::uint8_t>;
    auto T = [](std::string comments, bool icc, Data bytes) { return std::tuple{comments, icc, bytes}; };
    const std::tuple<std::string, bool, Data> cases[] = {
        T("%BeginPhotoshop: 6\n% 0102ab\n%CDef3\n%EndPhotoshop\n", false, {0x01, 0x02, 0xAB, 0xCD, 0xEF}),
        // Data beyond the declared count is dropped.
        T("%BeginPhotoshop: 2\n% 01020304\n% 05\n%EndPhotoshop\n", false, {0x01, 0x02}),
        // The ICC block grows with its data; a second section replaces the first.
        T("%%BeginICCProfile: (Photoshop Profile) -1 Hex\n% 0A0B\n% 0c0d0e0\n%%EndICCProfile\n", true,
          {0x0A, 0x0B, 0x0C, 0x0D, 0x0E}),
        T("%%BeginICCProfile: x\n% 010203\n%%EndICCProfile\n%%BeginICCProfile: y\n% 09\n%%EndICCProfile\n",
          true, {0x09}),
        // A line keeps 1198 characters: "% " and 1196 hex digits.
        T("%%BeginICCProfile: x\n% " + hex + "\n%%EndICCProfile\n", true, Data(598, 0xA5))};
    for (const auto& [comments, icc, bytes] : cases) {
        const ScannedEPS eps = ScanText(Eps(comments));
        EXPECT_EQ(Bytes(icc ? eps.reader->GetICCProfile() : eps.reader->GetPhotoshopResources()), bytes)
            << comments.substr(0, 60);
    }
    // A count beyond the file is not allocated; the unfinished section keeps its decoded bytes first.
    const ScannedEPS eps = ScanText(Eps("%BeginPhotoshop: 2000000000\n% 0A0B\n"));
    const Data bytes = Bytes(eps.reader->GetPhotoshopResources());
    ASSERT_TRUE(bytes.size() >= 2 && bytes.size() < 100) << bytes.size();
    EXPECT_EQ(Data(bytes.begin(), bytes.begin() + 2), (Data{0x0A, 0x0B}));
    // The memory manager refuses blocks past an allocation limit: the scan goes on without them.
    MEMFIX::SetAllocationLimit(MEMFIX::BytesInUse() + 256);
    hex = "\n% ";
    for (int i = 0; i < 500; ++i)
        hex += "7F";
    const ScannedEPS limited =
        ScanText(Eps("%BeginPhotoshop: 100000" + hex + "\n%EndPhotoshop\n%%BeginICCProfile: x" + hex + hex +
                     "\n%%EndICCProfile\n%%BoundingBox: 0 0 5 5\n"));
    MEMFIX::SetAllocationLimit(0);
    EXPECT_EQ(limited.status, DSCNoError);
    EXPECT_EQ(limited.reader->GetRight(), Pt(5));
    for (MEMFIX::Handle block : {limited.reader->GetPhotoshopResources(), limited.reader->GetICCProfile()})
        for (std::uint8_t b : Bytes(block)) // whatever blocks were had hold only decoded bytes
            EXPECT_EQ(b, 0x7F);
    EXPECT_LT(Bytes(limited.reader->GetICCProfile()).size(), 1000u);
}

TEST_F(DSCScan, CustomColourListStopsBelow65536UnitsAndKeepsItsEntries) {
    std::string body;
    std::vector<std::u16string> kept;
    std::size_t units = 1; // the count unit
    for (int i = 0; i < 80; ++i) {
        const std::string entry = "0 0 0 1 (" + std::to_string(i) + std::string(1000, 's') + ")";
        body += "%%CMYKCustomColor: " + entry + "\n";
        if (kept.size() == std::size_t(i) && units + entry.size() + 1 <= 65535) {
            units += entry.size() + 1;
            kept.emplace_back(entry.begin(), entry.end());
        }
    }
    const ScannedEPS eps = ScanText(Eps(body));
    ASSERT_LT(kept.size(), 80u);
    EXPECT_EQ(eps.Colors(), kept);
    EXPECT_EQ(eps.reader->GetCustomColorList()[0], kept.size());
    EXPECT_EQ(eps.reader->GetCustomColorListSize(), units);
}

TEST_F(DSCScan, PlateFileForms) {
    struct Case {
        const char* value;
        DSCError result;
        std::uint32_t flags;
        std::int32_t end; // an offset lowers the section's end before the length is checked
    };
    const Case cases[] = {
        {"(Cyan) EPS Local Cyan.eps", DSCNoError, 0, 200},
        {"(Cyan) EPS pic.C", DSCNoError, kPlatesElsewhere, 200},
        {"(Cy\\)an) EPS #60 100", DSCNoError, kPlatesInFile, 60},
        {"(Black)  EPS  #  60  100", DSCNoError, kPlatesInFile, 60},
        {"(Cyan) EPS #900 100", DSCNoError, kPlatesInFile, 200},
        {"Cyan) EPS #60 100", DSCBadFormat, 0, 200},
        {"(Cyan)) EPS #60 100", DSCNoError, kPlatesElsewhere, 200}, // ")" is then field 2
        {"(Cyan) EPS", DSCBadFormat, 0, 200},
        {"(Cyan) EPS Local", DSCBadFormat, 0, 200},
        {"(Cyan) EPS #6x0 100", DSCBadFormat, kPlatesInFile, 200},
        {"(Cyan) EPS #60", DSCBadFormat, kPlatesInFile, 60},
        {"(Cyan) EPS #60 1o0", DSCBadFormat, kPlatesInFile, 60},
    };
    auto provider = FileSource(WriteFile("plates.eps", std::string(200, '%')));
    for (const Case& c : cases) {
        DSCReader reader(provider.Get());
        ASSERT_EQ(reader.SetUpFileParsing(), DSCNoError);
        EXPECT_EQ(reader.ParsePlateFile(c.value), c.result) << c.value;
        EXPECT_EQ(reader.Info().flags, c.flags) << c.value;
        EXPECT_EQ(reader.Info().postScriptEnd, c.end) << c.value;
    }
}

} // namespace BRASK::PLUGIN::TEST
