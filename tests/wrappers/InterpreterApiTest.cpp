// The interpreter wrapper through its exported C interface, bound with dlopen/dlsym as the plug-in binds it,
// and its colour-space report read back from PDFs built here with qpdf: every kind of space and painting
// operator the analysis knows, including those the distiller seldom writes (Lab, Indexed, patterns, shadings,
// forms, inline images).
#include "../support/FaultyProvider.h"
#include "DevicePath.h"
#include "PdfColorAnalysis.h"
#include "WrapperLibraries.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <set>
#include <sstream>
#include <thread>

using namespace BRASK;
using namespace BRASK::TEST;
using BRASK::WRAPPERS::DevicePath;
using BRASK::WRAPPERS::PdfColorReport;

namespace {

class InterpreterTest : public WrapperTest {
protected:
    void SetUp() override {
        WrapperTest::SetUp();
        BRASK_REQUIRE_JAWS();
    }
};

const std::string kHeader = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 100\n";
const std::string kSquareCMYK = kHeader + "0.1 0.2 0.3 0.4 setcmykcolor 10 10 50 50 rectfill\n";

std::multiset<std::string> ExportedNames(const std::string& library) {
    std::istringstream names(Capture("nm -D --defined-only " + ShellQuote(library) + " | awk '{print $NF}'"));
    return {std::istream_iterator<std::string>(names), {}};
}

std::vector<JawsColorSpace> WalkColorSpaces() {
    std::vector<JawsColorSpace> spaces;
    for (JawsColorSpace cs = Jaws()->BPDFColorSpaceBegin();
         cs != Jaws()->BPDFColorSpaceEnd() && spaces.size() < 20; cs = Jaws()->BPDFColorSpaceNext())
        spaces.push_back(cs);
    return spaces;
}

// Writes a one-page PDF with `content` and the resources dictionary given as PDF text, where "{N}" names the
// indirect stream number N of `streams` (created in order).
std::string MakePdf(const std::filesystem::path& folder, const std::string& name, const std::string& content,
                    const std::vector<std::pair<std::string, std::string>>& streams, std::string resources) {
    QPDF pdf;
    pdf.emptyPDF();
    for (std::size_t i = 0; i < streams.size(); ++i) {
        QPDFObjectHandle stream = QPDFObjectHandle::newStream(&pdf, streams[i].second);
        QPDFObjectHandle dict = QPDFObjectHandle::parse(streams[i].first);
        for (const std::string& key : dict.getKeys())
            stream.getDict().replaceKey(key, dict.getKey(key));
        const std::string marker = "{" + std::to_string(i) + "}";
        const std::string ref = std::to_string(stream.getObjectID()) + " 0 R";
        for (std::size_t at; (at = resources.find(marker)) != std::string::npos;)
            resources.replace(at, marker.size(), ref);
    }
    QPDFObjectHandle page = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        &pdf, "<< /Type /Page /MediaBox [0 0 100 100] /Resources " + resources + " >>"));
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
    pdf.addPage(page, true);
    const std::string path = (folder / name).string();
    QPDFWriter writer(pdf, path.c_str());
    writer.write();
    return path;
}

PdfColorReport Analyse(const std::string& path) {
    PdfColorReport report;
    std::string error;
    EXPECT_TRUE(BRASK::WRAPPERS::AnalysePdfColors(path, report, error)) << error;
    return report;
}

using PdfColorAnalysisTest = WrapperTest;

} // namespace

TEST(WrapperExportsTest, EachWrapperExportsExactlyItsEntryPoints) {
    std::multiset<std::string> callas(std::begin(kCallasEntryPointNames), std::end(kCallasEntryPointNames));
    callas.insert(std::begin(kCallasOptionalEntryPointNames), std::end(kCallasOptionalEntryPointNames));
    EXPECT_EQ(ExportedNames(JawsLibraryPath()),
              std::multiset<std::string>(std::begin(kJawsEntryPointNames), std::end(kJawsEntryPointNames)));
    EXPECT_EQ(ExportedNames(CallasLibraryPath()), callas);
}

TEST(DevicePathTest, ReadsEveryEntryKeepsNonAsciiAndMixedSeparatorsAndRejectsMalformedText) {
    const auto path = DevicePath::Parse(
        "%os%=;%xfont%+/opt/app/jaws/FontStubs;%psfont%=/usr/share/fonts/a,/usr/share/fonts/b;"
        "%temp%=C:/Tmp\\jaws42;%profiles%=/home/J\xC3\xBCrgen/App/Profiles;%default%+/tmp/jaws42;%ram%!");
    ASSERT_TRUE(path.has_value());
    ASSERT_EQ(path->Entries().size(), 7u);
    EXPECT_EQ(path->Entries()[6].op, '!');
    EXPECT_EQ(path->FontStubFolder(), "/opt/app/jaws/FontStubs");
    EXPECT_EQ(path->FontFolders(), (std::vector<std::string>{"/usr/share/fonts/a", "/usr/share/fonts/b"}));
    EXPECT_EQ(path->TempFolder(), "C:/Tmp\\jaws42");
    EXPECT_EQ(path->ProfilesFolder(), "/home/J\xC3\xBCrgen/App/Profiles");
    EXPECT_TRUE(DevicePath::Parse("%os%=;%psfont%=;")->FontFolders().empty());
    for (const char* bad : {"os=;", "%os", "%os%", "%os%?x;", "%%=x;"})
        EXPECT_FALSE(DevicePath::Parse(bad).has_value()) << bad;
    EXPECT_TRUE(DevicePath::Parse("").has_value());
}

TEST_F(InterpreterTest, PagesAreTheBoxSentWithTheContentMovedOntoThem) {
    struct Case {
        const char* name;
        std::string eps;
        double left, bottom, width, height;
        const char* content; // at 288 dpi the content is in 0.25 pt units
    };
    const Case cases[] = {
        {"empty job", "", 0, 0, 72, 36, ""},
        {"shifted box",
         "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 100 200 150 260\n0 0 1 setrgbcolor 100 200 50 60 "
         "rectfill\n",
         100, 200, 50, 60, "0 0 200 240 re"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(DistilText(c.eps, Out("out.pdf"), c.width, c.height, c.left, c.bottom), kJawsOK);
        const PdfFacts facts = InspectPdf(Out("out.pdf"));
        ASSERT_TRUE(facts.ok) << facts.error;
        EXPECT_EQ(facts.pages, 1);
        EXPECT_EQ(facts.Size(), std::pair(c.width, c.height));
        EXPECT_NE(facts.content.find(c.content), std::string::npos) << facts.content;
        int checked = -1;
        const std::string report = Capture("qpdf --check " + ShellQuote(Out("out.pdf")) + " 2>&1", &checked);
        EXPECT_EQ(checked, 0) << report;
    }
}

TEST_F(InterpreterTest, ReportsTheColourSpacesTheJobUsedAndWhetherItOnlyPaintsImages) {
    const std::string image = "gsave 10 10 translate 40 40 scale 2 2 8 [2 0 0 2 0 0] "
                              "<FF0000 00FF00 0000FF FFFFFF> false 3 colorimage grestore\n";
    struct Case {
        const char* name;
        std::string postScript;
        std::vector<JawsColorSpace> expected;
        const char* content = ""; // the colour as the page content must keep it
        int raster = 0;
    };
    const Case cases[] = {
        {"cmyk",
         "0.1 0.2 0.3 0.4 setcmykcolor 10 10 50 50 rectfill\n",
         {kJawsColorSpaceCMYK},
         "0.100098 0.199951 0.300049 0.399902 k"},
        {"rgb", "1 0 0.25 setrgbcolor 10 10 50 50 rectfill\n", {kJawsColorSpaceRGB}, "1 0 0.25 rg"},
        {"gray", "0.5 setgray 10 10 50 50 rectfill\n", {kJawsColorSpaceGray}, "0.5 g"},
        {"gray and rgb",
         "0.5 setgray 10 10 50 50 rectfill 0 1 0 setrgbcolor 70 10 50 50 rectfill\n",
         {kJawsColorSpaceGray, kJawsColorSpaceRGB}},
        {"separation",
         "[/Separation /BraskSpot /DeviceCMYK { dup 0.5 mul exch 0 exch 0 }] setcolorspace 0.8 setcolor "
         "10 10 50 50 rectfill\n",
         {kJawsColorSpaceSeparation}},
        {"devicen",
         "[/DeviceN [/SpotA /SpotB] /DeviceCMYK { 0 0 } ] setcolorspace 0.3 0.6 setcolor 10 10 50 50 "
         "rectfill\n",
         {kJawsColorSpaceDeviceN}},
        {"cie-based, written as ICCBased",
         "[/CIEBasedABC << /RangeABC [0 100 -128 127 -128 127] /DecodeABC [{16 add 116 div} bind {500 div} "
         "bind {200 div} bind] /MatrixABC [1 1 1 1 0 0 0 0 -1] /WhitePoint [0.9505 1 1.089] >>] "
         "setcolorspace 50 20 30 setcolor 10 10 50 50 rectfill\n",
         {kJawsColorSpaceICCBased}},
        {"only an image", image, {kJawsColorSpaceRGB}, "", 1},
        {"an image and a fill", image + "0 0 1 setrgbcolor 100 10 20 20 rectfill\n", {kJawsColorSpaceRGB}},
    };
    // The raster device's analysis render (no pixmap) reports the same list; a failed one leaves none
    // (below).
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(DistilText(kHeader + c.postScript, Out("colour.pdf")), kJawsOK);
        EXPECT_EQ(std::tuple(WalkColorSpaces(), Jaws()->BPDFColorSpaceCount(), Jaws()->BPDFIsRasterJob()),
                  std::tuple(c.expected, static_cast<int32_t>(c.expected.size()), c.raster));
        EXPECT_NE(InspectPdf(Out("colour.pdf")).content.find(c.content), std::string::npos);
        Jaws()->BPDFColorSpaceClear();
        ASSERT_EQ(RenderText(kHeader + c.postScript, 200, 100, 36, 24, nullptr), kJawsOK);
        EXPECT_EQ(WalkColorSpaces(), c.expected);
    }
    // The list can be cleared and extended by hand, each space once.
    Jaws()->BPDFColorSpaceClear();
    EXPECT_EQ(Jaws()->BPDFColorSpaceCount(), 0);
    EXPECT_EQ(Jaws()->BPDFColorSpaceBegin(), kJawsColorSpaceEnd);
    EXPECT_EQ(Jaws()->BPDFColorSpaceAdd(kJawsColorSpaceLab), kJawsOK);
    EXPECT_EQ(Jaws()->BPDFColorSpaceAdd(kJawsColorSpaceLab), kJawsOK);
    EXPECT_EQ(Jaws()->BPDFColorSpaceAdd(static_cast<JawsColorSpace>(42)), kJawsBadParameter);
    EXPECT_EQ(WalkColorSpaces(), std::vector<JawsColorSpace>{kJawsColorSpaceLab});
    EXPECT_EQ(Jaws()->BPDFGetProcessColorFlags(), 1u << kJawsColorSpaceLab);
    EXPECT_EQ(RenderText("1 0 0 setrgbcolor nosuchoperator\n", 200, 100, 36, 24, nullptr), kJawsFailed);
    EXPECT_EQ(Jaws()->BPDFColorSpaceCount(), 0);
}

TEST_F(InterpreterTest, BadRequestsAreRefusedWithoutOutputAndAFileDistilsByPathButNotTwoStartUps) {
    RipDistillParams params = MakeParams(0, 0, 100, 100), shortRecord = params;
    shortRecord.recordSize = 87;
    TInterfacePtr<FaultyProvider> provider = New<FaultyProvider>(kSquareCMYK, INT_MAX);
    const std::string pdf = Out("bad.pdf");
    const auto distil = [&](IO::IDataProvider* from, int32_t length, const char* to, RipDistillParams* with) {
        return Jaws()->BPDFStartDistillUsingDataProvider(from, length, to, with);
    };
    EXPECT_EQ(distil(provider.Get(), 100, pdf.c_str(), &shortRecord), kJawsBadParameter);
    EXPECT_EQ(distil(provider.Get(), -1, pdf.c_str(), &params), kJawsBadParameter);
    EXPECT_EQ(distil(nullptr, 100, pdf.c_str(), &params), kJawsBadParameter);
    EXPECT_EQ(distil(provider.Get(), 100, nullptr, &params), kJawsBadParameter);
    EXPECT_EQ(distil(provider.Get(), 100, pdf.c_str(), nullptr), kJawsBadParameter);
    EXPECT_FALSE(std::filesystem::exists(pdf));
    EXPECT_EQ(Jaws()->BPDFColorSpaceCount(), 0);
    // By path: a PostScript file, and one that is not there.
    ASSERT_EQ(Jaws()->BPDFStartDistill(WriteFile("byname.ps", kSquareCMYK).c_str(), Out("byname.pdf").c_str(),
                                       &params),
              kJawsOK);
    EXPECT_EQ(WalkColorSpaces(), std::vector<JawsColorSpace>{kJawsColorSpaceCMYK});
    EXPECT_EQ(Jaws()->BPDFStartDistill(Out("missing.ps").c_str(), Out("missing.pdf").c_str(), &params),
              kJawsFailed);
    // A second start-up and the entry points the wrapper does not serve.
    EXPECT_EQ(Jaws()->BPDFJawsIntialised(), 1);
    EXPECT_EQ(Jaws()->postscript_dll_startup(nullptr, "%lib%init.ps", JawsDevicePath().c_str()),
              kJawsAlreadyStarted);
    const char data[] = "0 0 moveto";
    EXPECT_NE(Jaws()->BEPSPrintPageContents(3, data, sizeof data - 1, "", 0), kJawsOK);
    EXPECT_EQ(Jaws()->BPDFDocOpen(Out("a.pdf").c_str()), kJawsNotSupported);
    EXPECT_EQ(Jaws()->postscript_dll_input(nullptr, data, 3), kJawsNotSupported);
    EXPECT_EQ(Jaws()->postscript_file_input(nullptr, "/etc/passwd"), kJawsNotSupported);
    const void* profile = data;
    int32_t size = 5;
    EXPECT_EQ(Jaws()->BPDFGetICCProfile(&profile, &size), kJawsNotSupported);
    EXPECT_EQ(std::pair(profile, size), (std::pair<const void*, int32_t>(nullptr, 0)));
}

TEST_F(InterpreterTest, LibraryMutexIsRecursiveAndSharedAndMessagesReachTheLoggerUnlessMuted) {
    JawsLibraryMutex *first = nullptr, *second = nullptr;
    Jaws()->GetJawsLibraryMutex(&first);
    Jaws()->GetJawsLibraryMutex(&second);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    const auto tryFromAnotherThread = [&] {
        int result = -1;
        std::thread([&] {
            result = pthread_mutex_trylock(first);
            if (result == 0)
                pthread_mutex_unlock(first);
        }).join();
        return result;
    };
    ASSERT_EQ(pthread_mutex_lock(first), 0);
    EXPECT_EQ(tryFromAnotherThread(), EBUSY);
    // A distillation, which takes the lock again, runs on the thread that holds it.
    EXPECT_EQ(DistilText(kSquareCMYK, Out("locked.pdf")), kJawsOK);
    pthread_mutex_unlock(first);
    EXPECT_EQ(tryFromAnotherThread(), 0);
    // Interpreter messages reach the logger unless muted.
    MessageCapture log;
    EXPECT_EQ(DistilText(kHeader + "nosuchoperator\n", Out("error.pdf")), kJawsFailed);
    Jaws()->BPDFMuteMessages(1);
    EXPECT_EQ(DistilText(kHeader + "anotherunknown\n", Out("error2.pdf")), kJawsFailed);
    Jaws()->BPDFMuteMessages(0);
    const std::vector<std::string> errors = log.Texts(kJawsLogError);
    EXPECT_NE(std::find(errors.begin(), errors.end(), "PostScript error: undefined in nosuchoperator"),
              errors.end())
        << log.All();
    EXPECT_FALSE(log.Contains("anotherunknown")) << "a muted message arrived";
}

TEST_F(PdfColorAnalysisTest, ReportsEachSpaceOnceInOrderOfFirstUseAndRefusesAMissingFile) {
    const std::string resources =
        "<< /ColorSpace << /L [/Lab << /WhitePoint [0.95 1 1.09] >>] /I [/Indexed /DeviceCMYK 1 "
        "<00000000FFFFFFFF>]"
        " /S [/Separation /All /DeviceGray << /FunctionType 2 /Domain [0 1] /N 1 >>] /N [/DeviceN [/A /B] "
        "/DeviceRGB << /FunctionType 2 /Domain [0 1] /N 1 >> << /Subtype /NChannel >>]"
        " /C [/CalRGB << /WhitePoint [0.95 1 1.09] >>] >> >>";
    const std::string path =
        MakePdf(mTemp.Path(), "spaces.pdf",
                "0 g 0 0 10 10 re f 1 0 0 rg /L cs 50 0 0 sc /I CS 1 SC /S cs 1 sc /N cs 0 0 sc "
                "/C cs 1 1 1 sc /DeviceGray cs 0 sc 0 0 1 1 re S",
                {}, resources);
    const PdfColorReport report = Analyse(path);
    EXPECT_EQ(report.spaces,
              (std::vector<JawsColorSpace>{kJawsColorSpaceGray, kJawsColorSpaceRGB, kJawsColorSpaceLab,
                                           kJawsColorSpaceCMYK, kJawsColorSpaceSeparationAll,
                                           kJawsColorSpaceNChannel}));
    EXPECT_FALSE(report.RasterOnly());
    PdfColorReport none;
    std::string error;
    EXPECT_FALSE(BRASK::WRAPPERS::AnalysePdfColors(Out("absent.pdf"), none, error));
    EXPECT_FALSE(error.empty());
}

TEST_F(PdfColorAnalysisTest, FollowsImagesFormsPatternsAndShadings) {
    const std::string resources =
        "<< /XObject << /Im {0} /Fm {1} /Mask {2} >> /Pattern << /P {3} >> /Shading << /Sh << /ShadingType 2 "
        "/ColorSpace [/ICCBased {4}] /Coords [0 0 1 0] /Function << /FunctionType 2 /Domain [0 1] /N 1 >> >> "
        ">> >>";
    const std::vector<std::pair<std::string, std::string>> streams = {
        {"<< /Type /XObject /Subtype /Image /Width 1 /Height 1 /BitsPerComponent 8 /ColorSpace /DeviceCMYK "
         ">>",
         std::string(4, '\0')},
        {"<< /Type /XObject /Subtype /Form /BBox [0 0 10 10] /Resources << /ColorSpace << /Sp [/Separation "
         "/Gold "
         "/DeviceCMYK << /FunctionType 2 /Domain [0 1] /N 1 >>] >> >> >>",
         "/Sp cs 1 sc 0 0 5 5 re f"},
        {"<< /Type /XObject /Subtype /Image /Width 1 /Height 1 /BitsPerComponent 1 /ImageMask true >>",
         std::string(1, '\0')},
        {"<< /PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 2 2] /XStep 2 /YStep 2 /Resources << >> >>",
         "0.5 g 0 0 1 1 re f"},
        {"<< /N 3 >>", std::string(16, '\0')},
    };
    const std::string both =
        MakePdf(mTemp.Path(), "mixed.pdf", "/Im Do /Fm Do /Pattern cs /P scn 0 0 5 5 re f /Sh sh", streams,
                resources);
    PdfColorReport report = Analyse(both);
    EXPECT_EQ(report.spaces, (std::vector<JawsColorSpace>{kJawsColorSpaceCMYK, kJawsColorSpaceSeparation,
                                                          kJawsColorSpaceGray, kJawsColorSpaceICCBased}));
    EXPECT_TRUE(report.paintsImages);
    EXPECT_FALSE(report.RasterOnly());

    // Images only, one of them a mask and one inline: a raster job.
    const std::string images =
        MakePdf(mTemp.Path(), "images.pdf",
                "q 10 0 0 10 0 0 cm /Im Do /Mask Do Q BI /W 1 /H 1 /BPC 8 /CS /RGB ID \x01\x02\x03 EI",
                streams, resources);
    report = Analyse(images);
    EXPECT_TRUE(report.RasterOnly());
    EXPECT_EQ(report.spaces, (std::vector<JawsColorSpace>{kJawsColorSpaceCMYK, kJawsColorSpaceRGB}));
}
