// The interpreter wrapper through its exported C interface, bound with dlopen/dlsym as the plug-in binds it.
#include "../support/FaultyProvider.h"
#include "DevicePath.h"
#include "PdfInspect.h"
#include "WrapperLibraries.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <set>
#include <sstream>
#include <thread>

using namespace BRASK;
using namespace BRASK::TEST;
using BRASK::WRAPPERS::DevicePath;

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
    int code = 0;
    std::istringstream lines(RunCommand("nm -D --defined-only " + ShellQuote(library), code));
    std::multiset<std::string> names;
    for (std::string address, type, name; lines >> address >> type >> name;)
        names.insert(name);
    return names;
}

std::vector<JawsColorSpace> WalkColorSpaces() {
    std::vector<JawsColorSpace> spaces;
    for (JawsColorSpace cs = Jaws()->BPDFColorSpaceBegin();
         cs != Jaws()->BPDFColorSpaceEnd() && spaces.size() < 20; cs = Jaws()->BPDFColorSpaceNext())
        spaces.push_back(cs);
    return spaces;
}

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
        double left, bottom, right, top;
        const char* content; // at 288 dpi the content is in 0.25 pt units
    };
    const Case cases[] = {
        {"empty job", "", 0, 0, 72, 36, ""},
        {"shifted box",
         "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 100 200 150 260\n0 0 1 setrgbcolor 100 200 50 60 "
         "rectfill\n",
         100, 200, 150, 260, "0 0 200 240 re"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(DistilEps(WriteFile("in.eps", c.eps), Out("out.pdf"), c.left, c.bottom, c.right, c.top),
                  kJawsOK);
        const PdfFacts facts = InspectPdf(Out("out.pdf"));
        ASSERT_TRUE(facts.ok) << facts.error;
        EXPECT_EQ(facts.pages, 1);
        EXPECT_NEAR(facts.urx - facts.llx, c.right - c.left, 0.01);
        EXPECT_NEAR(facts.ury - facts.lly, c.top - c.bottom, 0.01);
        EXPECT_NE(facts.content.find(c.content), std::string::npos) << facts.content;
        std::string report;
        EXPECT_TRUE(QpdfAccepts(Out("out.pdf"), report)) << report;
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
    const auto analyse = [](const std::string& text) {
        Jaws()->BPDFSetupRasterDevice(200 << 16, 100 << 16, 36 << 16, 36 << 16, 24, nullptr, 0, nullptr,
                                      nullptr);
        return Jaws()->BEPSDrawPageContents(3, text.data(), static_cast<int32_t>(text.size()), nullptr, 0);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(DistilText(kHeader + c.postScript, Out("colour.pdf")), kJawsOK);
        EXPECT_EQ(WalkColorSpaces(), c.expected);
        EXPECT_EQ(Jaws()->BPDFColorSpaceCount(), static_cast<int32_t>(c.expected.size()));
        EXPECT_EQ(Jaws()->BPDFIsRasterJob(), c.raster);
        EXPECT_NE(InspectPdf(Out("colour.pdf")).content.find(c.content), std::string::npos);
        Jaws()->BPDFColorSpaceClear();
        ASSERT_EQ(analyse(kHeader + c.postScript), kJawsOK);
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
    EXPECT_EQ(analyse("1 0 0 setrgbcolor nosuchoperator\n"), kJawsFailed);
    EXPECT_EQ(Jaws()->BPDFColorSpaceCount(), 0);
}

TEST_F(InterpreterTest, BadRequestsAreRefusedWithoutOutputAndAFileDistilsByPath) {
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
    EXPECT_FALSE(FileExists(pdf));
    EXPECT_EQ(Jaws()->BPDFColorSpaceCount(), 0);
    // By path: a PostScript file, and one that is not there.
    ASSERT_EQ(Jaws()->BPDFStartDistill(WriteFile("byname.ps", kSquareCMYK).c_str(), Out("byname.pdf").c_str(),
                                       &params),
              kJawsOK);
    EXPECT_EQ(WalkColorSpaces(), std::vector<JawsColorSpace>{kJawsColorSpaceCMYK});
    EXPECT_EQ(Jaws()->BPDFStartDistill(Out("missing.ps").c_str(), Out("missing.pdf").c_str(), &params),
              kJawsFailed);
}

TEST_F(InterpreterTest, SecondStartupAndUnsupportedEntryPointsReportSo) {
    EXPECT_EQ(Jaws()->BPDFJawsIntialised(), 1);
    const std::string path = MakeDevicePath(BRASK_APP_DIR, JawsTempFolder());
    EXPECT_EQ(Jaws()->postscript_dll_startup(nullptr, "%lib%init.ps", path.c_str()), kJawsAlreadyStarted);
    const char data[] = "0 0 moveto";
    EXPECT_NE(Jaws()->BEPSPrintPageContents(3, data, sizeof data - 1, "", 0), kJawsOK);
    EXPECT_EQ(Jaws()->BPDFDocOpen(Out("a.pdf").c_str()), kJawsNotSupported);
    EXPECT_EQ(Jaws()->postscript_dll_input(nullptr, data, 3), kJawsNotSupported);
    EXPECT_EQ(Jaws()->postscript_file_input(nullptr, "/etc/passwd"), kJawsNotSupported);
    const void* profile = data;
    int32_t size = 5;
    EXPECT_EQ(Jaws()->BPDFGetICCProfile(&profile, &size), kJawsNotSupported);
    EXPECT_EQ(profile, nullptr);
    EXPECT_EQ(size, 0);
}

TEST_F(InterpreterTest, LibraryMutexIsRecursiveAndShared) {
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
}

TEST_F(InterpreterTest, JobsFindTheSystemFontMapAlreadyBuilt) {
    // The interpreter builds its map of the system's fonts when a font is first missing; a job's restore
    // would take it back, so it is built before the first job and every job finds it.
    MessageCapture log;
    const std::string probe = "systemdict /.nativefontmapbuilt .knownget not { false } if "
                              "{ (font map built) } { (font map missing) } ifelse =\n";
    EXPECT_EQ(DistilText(kHeader + probe, Out("first.pdf")), kJawsOK);
    EXPECT_EQ(DistilText(kHeader + "/BraskNoSuchFont findfont pop\n" + probe, Out("missing.pdf")), kJawsOK);
    EXPECT_EQ(DistilText(kHeader + probe, Out("after.pdf")), kJawsOK);
    const std::vector<std::string> texts = log.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "font map built"), 3) << log.All();
    EXPECT_FALSE(log.Contains("font map missing")) << log.All();
}

TEST_F(InterpreterTest, InterpreterMessagesReachTheLoggerUnlessMuted) {
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
