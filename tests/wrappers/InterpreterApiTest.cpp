// The interpreter wrapper through its exported C interface, bound with dlopen/dlsym as the plug-in binds it.
#include "DevicePath.h"
#include "PdfInspect.h"
#include "WrapperLibraries.h"

#include "../support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <sstream>
#include <thread>

using namespace BRASK::TEST;

namespace {

class InterpreterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Jaws(), nullptr) << "cannot bind " << JawsLibraryPath();
        ASSERT_EQ(StartJaws(), kJawsOK);
    }
    std::string Out(const std::string& name) const { return (mDir.Path() / name).string(); }
    TempDir mDir;
};

constexpr const char* kSquareCMYK = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 100\n"
                                    "0.1 0.2 0.3 0.4 setcmykcolor 10 10 50 50 rectfill\n";

} // namespace

TEST_F(InterpreterTest, DistilsSmallJobIntoCompletePdfOfTheBoxSize) {
    ASSERT_EQ(DistilText(kSquareCMYK, Out("a.pdf")), kJawsOK);
    const PdfFacts facts = InspectPdf(Out("a.pdf"));
    ASSERT_TRUE(facts.ok) << facts.error;
    EXPECT_EQ(facts.pages, 1);
    EXPECT_NEAR(facts.urx - facts.llx, 200, 0.01);
    EXPECT_NEAR(facts.ury - facts.lly, 100, 0.01);
    std::string report;
    EXPECT_TRUE(QpdfAccepts(Out("a.pdf"), report)) << report;
}

namespace {

std::vector<std::string> ExportedNames(const std::string& library) {
    int code = 0;
    const std::string output = RunCommand("nm -D --defined-only " + Quote(library), code);
    std::vector<std::string> names;
    std::istringstream lines(output);
    std::string address, type, name;
    while (lines >> address >> type >> name)
        names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

template <std::size_t N> std::vector<std::string> Sorted(const char* const (&names)[N]) {
    std::vector<std::string> sorted(std::begin(names), std::end(names));
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

std::vector<JawsColorSpace> WalkColorSpaces() {
    std::vector<JawsColorSpace> spaces;
    for (JawsColorSpace cs = Jaws()->BPDFColorSpaceBegin();
         cs != Jaws()->BPDFColorSpaceEnd() && spaces.size() < 20; cs = Jaws()->BPDFColorSpaceNext())
        spaces.push_back(cs);
    return spaces;
}

const std::string kHeader = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 100\n";

} // namespace

TEST(WrapperExportsTest, InterpreterExportsExactlyTheEntryPoints) {
    EXPECT_EQ(ExportedNames(JawsLibraryPath()), Sorted(kJawsEntryPointNames));
}

TEST(WrapperExportsTest, ConverterExportsExactlyTheEntryPointsAndItsOptionalOnes) {
    std::vector<std::string> names = Sorted(kCallasEntryPointNames);
    names.insert(names.end(), std::begin(kCallasOptionalEntryPointNames),
                 std::end(kCallasOptionalEntryPointNames));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(ExportedNames(CallasLibraryPath()), names);
}

TEST(RipDistillParamsTest, RecordIsLaidOutByteForByte) {
    const RipDistillParams params = MakeParams(10.5, -20, 110.5, 30);
    unsigned char bytes[88];
    static_assert(sizeof params == sizeof bytes);
    std::memcpy(bytes, &params, sizeof bytes);
    auto i32 = [&](int offset) {
        int32_t v;
        std::memcpy(&v, bytes + offset, 4);
        return v;
    };
    EXPECT_EQ(i32(0), 88);
    EXPECT_EQ(i32(4), 0xA8000);      // 10.5 pt
    EXPECT_EQ(i32(8), -20 * 65536);  // bottom
    EXPECT_EQ(i32(12), 100 * 65536); // width
    EXPECT_EQ(i32(16), 50 * 65536);  // height
    EXPECT_EQ(i32(20), 0x1200000);
    EXPECT_EQ(i32(24), 0x1200000);
    EXPECT_EQ(bytes[34], 1);
    EXPECT_EQ(i32(80), 3);
    for (int offset : {28, 29, 30, 31, 32, 33})
        EXPECT_EQ(bytes[offset], 0) << offset;
    for (int offset = 35; offset < 80; ++offset)
        EXPECT_EQ(bytes[offset], 0) << offset;
    for (int offset = 84; offset < 88; ++offset)
        EXPECT_EQ(bytes[offset], 0) << offset;
}

TEST(DevicePathTest, ReadsEveryEntryOfThePluginsDevicePath) {
    const std::string text =
        "%os%=;%xfont%+/opt/app/jaws/FontStubs;%psfont%=/usr/share/fonts/a,/usr/share/fonts/b;"
        "%temp%=/tmp/jaws42;%profiles%=/opt/app/Profiles;%default%+/tmp/jaws42;%ram%!";
    const auto path = BRASK::WRAPPERS::DevicePath::Parse(text);
    ASSERT_TRUE(path.has_value());
    ASSERT_EQ(path->Entries().size(), 7u);
    EXPECT_EQ(path->Entries()[0].name, "os");
    EXPECT_EQ(path->Entries()[0].value, "");
    EXPECT_EQ(path->FontStubFolder(), "/opt/app/jaws/FontStubs");
    EXPECT_EQ(path->Entries()[1].op, '+');
    EXPECT_EQ(path->FontFolders(), (std::vector<std::string>{"/usr/share/fonts/a", "/usr/share/fonts/b"}));
    EXPECT_EQ(path->TempFolder(), "/tmp/jaws42");
    EXPECT_EQ(path->ProfilesFolder(), "/opt/app/Profiles");
    EXPECT_EQ(path->Value("default"), "/tmp/jaws42");
    EXPECT_EQ(path->Entries()[6].name, "ram");
    EXPECT_EQ(path->Entries()[6].op, '!');
}

TEST(DevicePathTest, KeepsNonAsciiAndMixedSeparatorsAndRejectsMalformedText) {
    const auto path =
        BRASK::WRAPPERS::DevicePath::Parse("%os%=;%psfont%=;%temp%=C:/Tmp\\jaws42;"
                                           "%profiles%=/home/J\xC3\xBCrgen/App/Profiles;%ram%!");
    ASSERT_TRUE(path.has_value());
    EXPECT_TRUE(path->FontFolders().empty());
    EXPECT_EQ(path->TempFolder(), "C:/Tmp\\jaws42");
    EXPECT_EQ(path->ProfilesFolder(), "/home/J\xC3\xBCrgen/App/Profiles");
    for (const char* bad : {"os=;", "%os", "%os%", "%os%?x;", "%%=x;"})
        EXPECT_FALSE(BRASK::WRAPPERS::DevicePath::Parse(bad).has_value()) << bad;
    EXPECT_TRUE(BRASK::WRAPPERS::DevicePath::Parse("").has_value());
}

TEST_F(InterpreterTest, SecondStartupReportsAlreadyStarted) {
    EXPECT_EQ(Jaws()->BPDFJawsIntialised(), 1);
    const std::string path = MakeDevicePath(BRASK_APP_DIR, JawsTempFolder());
    EXPECT_EQ(Jaws()->postscript_dll_startup(nullptr, "%lib%init.ps", path.c_str()), kJawsAlreadyStarted);
}

TEST_F(InterpreterTest, ReportsTheColourSpacesTheJobUsed) {
    struct Case {
        const char* name;
        std::string postScript;
        std::vector<JawsColorSpace> expected;
        const char* content = ""; // the colour as the page content must keep it
    };
    const std::vector<Case> cases = {
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
         "bind "
         "{200 div} bind] /MatrixABC [1 1 1 1 0 0 0 0 -1] /WhitePoint [0.9505 1 1.089] >>] setcolorspace "
         "50 20 30 setcolor 10 10 50 50 rectfill\n",
         {kJawsColorSpaceICCBased}},
    };
    for (const Case& c : cases) {
        const std::string pdf = Out(std::string(c.name) + ".pdf");
        ASSERT_EQ(DistilText(kHeader + c.postScript, pdf), kJawsOK) << c.name;
        EXPECT_EQ(WalkColorSpaces(), c.expected) << c.name;
        EXPECT_EQ(Jaws()->BPDFColorSpaceCount(), static_cast<int32_t>(c.expected.size())) << c.name;
        EXPECT_EQ(Jaws()->BPDFIsRasterJob(), 0) << c.name;
        EXPECT_NE(InspectPdf(pdf).content.find(c.content), std::string::npos) << c.name;
    }
}

TEST_F(InterpreterTest, APageOfOnlyImagesIsARasterJob) {
    const std::string image =
        "gsave 10 10 translate 40 40 scale 2 2 8 [2 0 0 2 0 0] <FF0000 00FF00 0000FF FFFFFF> "
        "false 3 colorimage grestore\n";
    ASSERT_EQ(DistilText(kHeader + image, Out("image.pdf")), kJawsOK);
    EXPECT_EQ(Jaws()->BPDFIsRasterJob(), 1);
    EXPECT_EQ(WalkColorSpaces(), std::vector<JawsColorSpace>{kJawsColorSpaceRGB});
    ASSERT_EQ(DistilText(kHeader + image + "0 0 1 setrgbcolor 100 10 20 20 rectfill\n", Out("mixed.pdf")),
              kJawsOK);
    EXPECT_EQ(Jaws()->BPDFIsRasterJob(), 0);
}

TEST_F(InterpreterTest, ColourSpaceListCanBeClearedAndExtended) {
    ASSERT_EQ(DistilText(std::string(kSquareCMYK), Out("a.pdf")), kJawsOK);
    EXPECT_EQ(Jaws()->BPDFColorSpaceCount(), 1);
    Jaws()->BPDFColorSpaceClear();
    EXPECT_EQ(Jaws()->BPDFColorSpaceCount(), 0);
    EXPECT_EQ(Jaws()->BPDFColorSpaceBegin(), kJawsColorSpaceEnd);
    EXPECT_EQ(Jaws()->BPDFColorSpaceAdd(kJawsColorSpaceLab), kJawsOK);
    EXPECT_EQ(Jaws()->BPDFColorSpaceAdd(kJawsColorSpaceLab), kJawsOK);
    EXPECT_EQ(Jaws()->BPDFColorSpaceAdd(static_cast<JawsColorSpace>(42)), kJawsBadParameter);
    EXPECT_EQ(WalkColorSpaces(), std::vector<JawsColorSpace>{kJawsColorSpaceLab});
    EXPECT_EQ(Jaws()->BPDFGetProcessColorFlags(), 1u << kJawsColorSpaceLab);
}

TEST_F(InterpreterTest, BadRequestsAreRefusedWithoutOutput) {
    RipDistillParams params = MakeParams(0, 0, 100, 100);
    params.recordSize = 87;
    auto* provider = new FileDataProvider(std::string(BRASK_CORPUS_DIR) + "/eps-plain/ghostpdl__state.eps");
    EXPECT_EQ(Jaws()->BPDFStartDistillUsingDataProvider(provider, 100, Out("bad.pdf").c_str(), &params),
              kJawsBadParameter);
    params.recordSize = 88;
    EXPECT_EQ(Jaws()->BPDFStartDistillUsingDataProvider(provider, -1, Out("bad.pdf").c_str(), &params),
              kJawsBadParameter);
    EXPECT_EQ(Jaws()->BPDFStartDistillUsingDataProvider(nullptr, 100, Out("bad.pdf").c_str(), &params),
              kJawsBadParameter);
    EXPECT_EQ(Jaws()->BPDFStartDistillUsingDataProvider(provider, 100, nullptr, &params), kJawsBadParameter);
    EXPECT_EQ(Jaws()->BPDFStartDistillUsingDataProvider(provider, 100, Out("bad.pdf").c_str(), nullptr),
              kJawsBadParameter);
    provider->Release();
    EXPECT_FALSE(FileExists(Out("bad.pdf")));
    EXPECT_EQ(Jaws()->BPDFColorSpaceCount(), 0);
}

TEST_F(InterpreterTest, EmptyPostScriptGivesABlankPageOfTheBox) {
    ASSERT_EQ(DistilText("", Out("empty.pdf"), 72, 36), kJawsOK);
    const PdfFacts facts = InspectPdf(Out("empty.pdf"));
    ASSERT_TRUE(facts.ok);
    EXPECT_NEAR(facts.urx - facts.llx, 72, 0.01);
    EXPECT_NEAR(facts.ury - facts.lly, 36, 0.01);
}

TEST_F(InterpreterTest, OriginMovesTheBoxOntoThePage) {
    const std::string shifted = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 100 200 150 260\n"
                                "0 0 1 setrgbcolor 100 200 50 60 rectfill\n";
    WriteFile(Out("shifted.eps"), shifted);
    ASSERT_EQ(DistilEps(Out("shifted.eps"), Out("shifted.pdf"), 100, 200, 150, 260), kJawsOK);
    const PdfFacts facts = InspectPdf(Out("shifted.pdf"));
    ASSERT_TRUE(facts.ok);
    EXPECT_NEAR(facts.urx - facts.llx, 50, 0.01);
    EXPECT_NEAR(facts.ury - facts.lly, 60, 0.01);
    EXPECT_NE(facts.content.find("0 0 200 240 re"), std::string::npos)
        << facts.content; // 288 dpi: 0.25 pt units
}

TEST_F(InterpreterTest, DistilsAPostScriptFileByPath) {
    const std::string source = Out("byname.ps");
    WriteFile(source, kSquareCMYK);
    const RipDistillParams params = MakeParams(0, 0, 200, 100);
    ASSERT_EQ(Jaws()->BPDFStartDistill(source.c_str(), Out("byname.pdf").c_str(), &params), kJawsOK);
    EXPECT_EQ(WalkColorSpaces(), std::vector<JawsColorSpace>{kJawsColorSpaceCMYK});
    EXPECT_EQ(Jaws()->BPDFStartDistill(Out("missing.ps").c_str(), Out("missing.pdf").c_str(), &params),
              kJawsFailed);
}

TEST_F(InterpreterTest, RasterAndDocumentEntryPointsReportFailure) {
    RipPixmap pixmap{};
    RipColorCallback callback{};
    EXPECT_NE(Jaws()->BPDFSetupRasterDevice(100 << 16, 100 << 16, 36 << 16, 36 << 16, 24, &pixmap, 0, nullptr,
                                            &callback),
              kJawsOK);
    EXPECT_NE(Jaws()->BPDFTearDownRasterDevice(), kJawsOK);
    const char data[] = "0 0 moveto";
    EXPECT_NE(Jaws()->BEPSDrawPageContents(3, data, sizeof data - 1, "", 0), kJawsOK);
    EXPECT_NE(Jaws()->BEPSPrintPageContents(3, data, sizeof data - 1, "", 0), kJawsOK);
    EXPECT_EQ(Jaws()->BPDFDocOpen(Out("a.pdf").c_str()), kJawsNotSupported);
    EXPECT_EQ(Jaws()->postscript_dll_input(nullptr, data, 3), kJawsNotSupported);
    EXPECT_EQ(Jaws()->postscript_file_input(nullptr, "/etc/passwd"), kJawsNotSupported);
    const void* profile = &pixmap;
    int32_t size = 5;
    EXPECT_EQ(Jaws()->BPDFGetICCProfile(&profile, &size), kJawsNotSupported);
    EXPECT_EQ(profile, nullptr);
    EXPECT_EQ(size, 0);
}

TEST_F(InterpreterTest, LibraryMutexIsRecursiveAndShared) {
    JawsLibraryMutex* first = nullptr;
    JawsLibraryMutex* second = nullptr;
    Jaws()->GetJawsLibraryMutex(&first);
    Jaws()->GetJawsLibraryMutex(&second);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    ASSERT_EQ(pthread_mutex_lock(first), 0);
    ASSERT_EQ(pthread_mutex_lock(first), 0); // the same thread again
    int otherThread = -1;
    std::thread([&] { otherThread = pthread_mutex_trylock(first); }).join();
    EXPECT_EQ(otherThread, EBUSY);
    // A distillation on the thread that holds the lock still runs.
    EXPECT_EQ(DistilText(kSquareCMYK, Out("locked.pdf")), kJawsOK);
    pthread_mutex_unlock(first);
    pthread_mutex_unlock(first);
    std::thread([&] {
        otherThread = pthread_mutex_trylock(first);
        if (otherThread == 0)
            pthread_mutex_unlock(first);
    }).join();
    EXPECT_EQ(otherThread, 0);
}

namespace {

struct Messages {
    std::mutex lock;
    std::vector<std::pair<int, std::string>> received;
    static void Receive(void* context, int kind, char* message, int length) {
        auto* self = static_cast<Messages*>(context);
        std::lock_guard<std::mutex> guard(self->lock);
        EXPECT_EQ(std::strlen(message), static_cast<std::size_t>(length));
        self->received.emplace_back(kind, std::string(message, static_cast<std::size_t>(length)));
    }
};

} // namespace

TEST_F(InterpreterTest, JobsFindTheSystemFontMapAlreadyBuilt) {
    // The interpreter builds its map of the system's fonts when a font is first missing; a job's restore
    // would take it back, so it is built before the first job and every job finds it.
    Messages messages;
    Jaws()->BSetLogger(&messages, &Messages::Receive);
    const std::string probe = "systemdict /.nativefontmapbuilt .knownget not { false } if "
                              "{ (font map built) } { (font map missing) } ifelse =\n";
    EXPECT_EQ(DistilText(kHeader + probe, Out("first.pdf")), kJawsOK);
    EXPECT_EQ(DistilText(kHeader + "/BraskNoSuchFont findfont pop\n" + probe, Out("missing.pdf")), kJawsOK);
    EXPECT_EQ(DistilText(kHeader + probe, Out("after.pdf")), kJawsOK);
    Jaws()->BSetLogger(nullptr, nullptr);
    std::lock_guard<std::mutex> guard(messages.lock);
    std::vector<std::string> answers;
    for (const auto& [kind, text] : messages.received)
        if (text.rfind("font map ", 0) == 0)
            answers.push_back(text);
    EXPECT_EQ(answers, std::vector<std::string>(3, "font map built"));
}

TEST_F(InterpreterTest, InterpreterMessagesReachTheLoggerUnlessMuted) {
    Messages messages;
    Jaws()->BSetLogger(&messages, &Messages::Receive);
    EXPECT_EQ(DistilText(kHeader + "nosuchoperator\n", Out("error.pdf")), kJawsFailed);
    Jaws()->BPDFMuteMessages(1);
    EXPECT_EQ(DistilText(kHeader + "anotherunknown\n", Out("error2.pdf")), kJawsFailed);
    Jaws()->BPDFMuteMessages(0);
    Jaws()->BSetLogger(nullptr, nullptr);
    std::lock_guard<std::mutex> guard(messages.lock);
    bool found = false;
    for (const auto& [kind, text] : messages.received) {
        found = found || (kind == kJawsLogError && text == "PostScript error: undefined in nosuchoperator");
        EXPECT_EQ(text.find("anotherunknown"), std::string::npos) << "a muted message arrived";
    }
    EXPECT_TRUE(found);
}

TEST_F(InterpreterTest, AbortStopsTheRunningJob) {
    const auto start = std::chrono::steady_clock::now();
    std::thread aborter([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        Jaws()->BPDFAbortJob();
    });
    const int32_t status = DistilText(kHeader + "{ 1 pop } loop\n", Out("aborted.pdf"));
    aborter.join();
    EXPECT_EQ(status, kJawsFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_FALSE(FileExists(Out("aborted.pdf")));
    EXPECT_EQ(DistilText(kSquareCMYK, Out("after.pdf")), kJawsOK);
}
