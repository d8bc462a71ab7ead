// The converter wrapper through its six entry points, and its bounding-box scanner.
#include "../support/CorpusSkip.h"
#include "EpsSection.h"
#include "PdfInspect.h"
#include "WrapperLibraries.h"

#include "../support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <dlfcn.h>
#include <mutex>
#include <thread>

using namespace BRASK::TEST;
using BRASK::WRAPPERS::EpsBox;

namespace {

const std::string kEps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 50 60 250 160\n%%EndComments\n"
                         "1 0 0 setrgbcolor 50 60 200 100 rectfill\n"
                         "/Helvetica findfont 12 scalefont setfont 60 100 moveto (Converted) show\n";

std::string Options(const std::string& level, const std::string& resolution) {
    return "<<\n/AllowTransparency true\n/AutoPositionEPSFiles true\n/ColorConversionStrategy  "
           "/LeaveColorUnchanged\n"
           "/CompatibilityLevel " +
           level + "\n>> setdistillerparams\n<<\n/HWResolution [" + resolution + " " + resolution +
           "]\n>> setpagedevice\n";
}

class ConverterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Callas(), nullptr) << "cannot bind " << CallasLibraryPath();
        ASSERT_EQ(Callas()->InitCallas(nullptr, nullptr), kCallasOK);
        WriteFile(Out("picture.eps"), kEps);
    }
    std::string Out(const std::string& name) const { return (mDir.Path() / name).string(); }
    int32_t Save(const std::string& source, const char* options, bool eps, const std::string& output) {
        return Callas()->SaveAsPDF(source.c_str(), options, nullptr, nullptr, nullptr, nullptr, 0,
                                   eps ? 1 : 0, output.c_str());
    }
    TempDir mDir;
};

// The messages a wrapper's logger receives, with their kinds.
struct Messages {
    std::mutex lock;
    std::vector<std::pair<int, std::string>> received;
    static void Receive(void* context, int kind, char* message, int length) {
        auto* self = static_cast<Messages*>(context);
        std::lock_guard<std::mutex> guard(self->lock);
        self->received.emplace_back(kind, std::string(message, static_cast<std::size_t>(length)));
    }
};

} // namespace

TEST_F(ConverterTest, EpsIsCroppedToItsBoundingBoxWithTextKept) {
    ASSERT_EQ(Save(Out("picture.eps"), nullptr, true, Out("a.pdf")), kCallasOK);
    const PdfFacts facts = InspectPdf(Out("a.pdf"));
    ASSERT_TRUE(facts.ok) << facts.error;
    EXPECT_NEAR(facts.urx - facts.llx, 200, 0.01);
    EXPECT_NEAR(facts.ury - facts.lly, 100, 0.01);
    EXPECT_NE(PdfToText(Out("a.pdf")).find("Converted"), std::string::npos);
    EXPECT_TRUE(facts.AllFontsEmbedded);
}

TEST_F(ConverterTest, JobOptionsSteerTheConversion) {
    WriteFile(Out("14.joboptions"), Options("1.4", "2400.00"));
    WriteFile(Out("15.joboptions"), Options("1.5", "288.00"));
    ASSERT_EQ(Save(Out("picture.eps"), Out("14.joboptions").c_str(), true, Out("14.pdf")), kCallasOK);
    ASSERT_EQ(Save(Out("picture.eps"), Out("15.joboptions").c_str(), true, Out("15.pdf")), kCallasOK);
    ASSERT_EQ(Save(Out("picture.eps"), nullptr, true, Out("none.pdf")), kCallasOK);
    const PdfFacts at2400 = InspectPdf(Out("14.pdf"));
    const PdfFacts at288 = InspectPdf(Out("15.pdf"));
    const PdfFacts plain = InspectPdf(Out("none.pdf"));
    EXPECT_EQ(at2400.version, "1.4");
    EXPECT_EQ(at288.version, "1.5");
    EXPECT_EQ(plain.version, "1.7") << "options of an earlier job stuck";
    EXPECT_NE(at2400.content.find("0.03 0 0 0.03 0 0 cm"), std::string::npos) << at2400.content;
    EXPECT_NE(at288.content.find("0.25 0 0 0.25 0 0 cm"), std::string::npos) << at288.content;
    EXPECT_EQ(plain.content.find("0.03 0 0 0.03"), std::string::npos)
        << "the resolution of an earlier job stuck";
}

TEST_F(ConverterTest, BadJobOptionsAreReportedButDoNotStopTheConversion) {
    WriteFile(Out("bad.joboptions"), "<< /ColorConversionStrategy /Bogus >> setdistillerparams\n");
    EXPECT_EQ(Save(Out("picture.eps"), Out("bad.joboptions").c_str(), true, Out("bad.pdf")), kCallasOK);
    EXPECT_TRUE(InspectPdf(Out("bad.pdf")).ok);
    EXPECT_EQ(Save(Out("picture.eps"), Out("missing.joboptions").c_str(), true, Out("missing.pdf")),
              kCallasFailed);
    EXPECT_FALSE(FileExists(Out("missing.pdf")));
}

TEST_F(ConverterTest, TwoThreadsWithDifferentJobOptionsEachGetTheirOwn) {
    WriteFile(Out("14.joboptions"), Options("1.4", "2400.00"));
    WriteFile(Out("16.joboptions"), Options("1.6", "288.00"));
    std::vector<std::string> versions(2);
    auto work = [&](int index) {
        const std::string options = Out(index == 0 ? "14.joboptions" : "16.joboptions");
        for (int round = 0; round < 4; ++round) {
            const std::string pdf = Out("t" + std::to_string(index) + "-" + std::to_string(round) + ".pdf");
            if (Save(Out("picture.eps"), options.c_str(), true, pdf) != kCallasOK)
                return;
            versions[index] += InspectPdf(pdf).version + " ";
        }
    };
    std::thread a(work, 0), b(work, 1);
    a.join();
    b.join();
    EXPECT_EQ(versions[0], "1.4 1.4 1.4 1.4 ");
    EXPECT_EQ(versions[1], "1.6 1.6 1.6 1.6 ");
}

TEST_F(ConverterTest, SvgPagesFollowTheIntrinsicSize) {
    struct Case {
        const char* name;
        const char* svg;
        double width, height; // points
    };
    const Case cases[] = {
        {"pixels",
         "<svg xmlns='http://www.w3.org/2000/svg' width='200' height='100'><rect width='50' "
         "height='50'/></svg>",
         150, 75},
        {"inches",
         "<svg xmlns='http://www.w3.org/2000/svg' width='2in' height='1in'><rect width='50' "
         "height='50'/></svg>",
         144, 72},
        {"viewbox",
         "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 400 300'><rect width='50' height='50'/></svg>",
         300, 225},
        {"extents",
         "<svg xmlns='http://www.w3.org/2000/svg'><rect x='10' y='20' width='80' height='40' "
         "fill='red'/></svg>",
         60, 30},
    };
    for (const Case& c : cases) {
        const std::string source = Out(std::string(c.name) + ".svg");
        WriteFile(source, c.svg);
        ASSERT_EQ(Save(source, nullptr, false, Out("svg.pdf")), kCallasOK) << c.name;
        const PdfFacts facts = InspectPdf(Out("svg.pdf"));
        ASSERT_TRUE(facts.ok) << c.name;
        EXPECT_NEAR(facts.urx - facts.llx, c.width, 0.01) << c.name;
        EXPECT_NEAR(facts.ury - facts.lly, c.height, 0.01) << c.name;
    }
}

TEST_F(ConverterTest, CompressedSvgConvertsLikeThePlainFile) {
    BRASK_SKIP_WITHOUT_CORPUS();
    const std::string source = std::string(BRASK_CORPUS_DIR) + "/svg/aspose-imaging__Sample.svg";
    int code = 0;
    RunCommand("gzip -c " + Quote(source) + " > " + Quote(Out("picture.svgz")), code);
    ASSERT_EQ(code, 0);
    ASSERT_EQ(Save(source, nullptr, false, Out("plain.pdf")), kCallasOK);
    ASSERT_EQ(Save(Out("picture.svgz"), nullptr, false, Out("svgz.pdf")), kCallasOK);
    const PdfFacts a = InspectPdf(Out("plain.pdf")), b = InspectPdf(Out("svgz.pdf"));
    ASSERT_TRUE(a.ok && b.ok);
    EXPECT_DOUBLE_EQ(a.urx - a.llx, b.urx - b.llx);
    EXPECT_DOUBLE_EQ(a.ury - a.lly, b.ury - b.lly);
    EXPECT_EQ(a.content, b.content);
}

TEST_F(ConverterTest, UnusableInputFailsWithoutOutput) {
    WriteFile(Out("broken.svg"), "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'><rect");
    EXPECT_EQ(Save(Out("broken.svg"), nullptr, false, Out("broken.pdf")), kCallasFailed);
    WriteFile(Out("nobox.eps"), "%!PS-Adobe-3.0 EPSF-3.0\n0 0 10 10 rectfill\n");
    EXPECT_EQ(Save(Out("nobox.eps"), nullptr, true, Out("nobox.pdf")), kCallasFailed);
    EXPECT_EQ(Save(Out("absent.eps"), nullptr, true, Out("absent.pdf")), kCallasFailed);
    WriteFile(Out("error.eps"), "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\nnosuchop\n");
    EXPECT_EQ(Save(Out("error.eps"), nullptr, true, Out("error.pdf")), kCallasFailed);
    for (const char* name : {"broken.pdf", "nobox.pdf", "absent.pdf", "error.pdf"})
        EXPECT_FALSE(FileExists(Out(name))) << name;
    EXPECT_EQ(
        Callas()->SaveAsPDF(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 1, Out("x.pdf").c_str()),
        kCallasBadParameter);
    EXPECT_EQ(Callas()->SaveAsPDF(Out("picture.eps").c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, 0,
                                  1, ""),
              kCallasBadParameter);
}

TEST_F(ConverterTest, TheOtherEntryPointsAreNotSupported) {
    EXPECT_EQ(Callas()->AddColorBar("a.pdf", "b.pdf"), kCallasNotSupported);
    EXPECT_EQ(Callas()->CertifyPDF("a.pdf", "p.kfp", "r.xml"), kCallasNotSupported);
    EXPECT_EQ(Callas()->CropPDFToBBox("a.pdf", "b.pdf"), kCallasNotSupported);
    EXPECT_EQ(Callas()->ExecuteProfile("a.pdf", "p.kfp", "b.pdf"), kCallasNotSupported);
    EXPECT_EQ(Callas()->InitCallas(nullptr, nullptr), kCallasOK) << "a second InitCallas must succeed too";
}

TEST(EpsSectionTest, FindsThePostScriptSectionBehindADosHeader) {
    TempDir dir;
    const std::string path = (dir.Path() / "dos.eps").string();
    // The box is the one the plug-in's DSC reader reports: the high-resolution one here.
    const std::string postScript =
        "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 10 20 400 300\n%%HiResBoundingBox: 10.5 20 399.25 300\n"
        "%%EndComments\n";
    std::string file = "\xC5\xD0\xD3\xC6";
    auto le32 = [](std::uint32_t v) {
        return std::string{char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
    };
    file += le32(30) + le32(static_cast<std::uint32_t>(postScript.size())) + std::string(16, '\0') +
            "\xFF\xFF" + postScript;
    WriteFile(path, file);
    std::string error;
    auto section = BRASK::WRAPPERS::ReadEpsSection(path, error);
    ASSERT_TRUE(section.has_value()) << error;
    EXPECT_EQ(section->offset, 30u);
    EXPECT_EQ(section->length, postScript.size());
    ASSERT_TRUE(section->box.has_value());
    EXPECT_DOUBLE_EQ(section->box->left, 10.5);
    EXPECT_DOUBLE_EQ(section->box->right, 399.25);

    // A section that runs past the end is clamped; one that starts past the end is refused.
    WriteFile(path, file.substr(0, 4) + le32(30) + le32(100000) + file.substr(12));
    section = BRASK::WRAPPERS::ReadEpsSection(path, error);
    ASSERT_TRUE(section.has_value());
    EXPECT_EQ(section->length, postScript.size());
    WriteFile(path, file.substr(0, 4) + le32(5000) + le32(10) + file.substr(12));
    EXPECT_FALSE(BRASK::WRAPPERS::ReadEpsSection(path, error).has_value());
    // A cut header is no header: the bytes are taken as PostScript, which has no box.
    WriteFile(path, file.substr(0, 10));
    section = BRASK::WRAPPERS::ReadEpsSection(path, error);
    EXPECT_FALSE(section.has_value() && section->box.has_value());
}

TEST_F(ConverterTest, AnInterpreterStartedByAThreadThatEndedKeepsServing) {
    // A job past the time limit ends the interpreter process; the next job, on a short-lived thread, starts a
    // new one, which must outlive that thread.
    WriteFile(Out("loop.eps"), "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n{ 1 pop } loop\n");
    setenv("BRASK_JOB_TIMEOUT_SECONDS", "1", 1);
    EXPECT_EQ(Save(Out("loop.eps"), nullptr, true, Out("loop.pdf")), kCallasFailed);
    unsetenv("BRASK_JOB_TIMEOUT_SECONDS");
    EXPECT_FALSE(FileExists(Out("loop.pdf")));
    int32_t onThread = -100;
    std::thread([&] { onThread = Save(Out("picture.eps"), nullptr, true, Out("thread.pdf")); }).join();
    EXPECT_EQ(onThread, kCallasOK);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Save(Out("picture.eps"), nullptr, true, Out("after.pdf")), kCallasOK);
    EXPECT_TRUE(InspectPdf(Out("after.pdf")).ok);
}

TEST_F(ConverterTest, InstalledFontsAreEmbeddedFromTheirOwnFiles) {
    // DejaVu Sans Bold is a TrueType font: its own file is embedded (FontFile2), not a Type 1 substitute from
    // the interpreter's fonts, and not left out.
    WriteFile(Out("dejavu.eps"),
              "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 50\n"
              "/DejaVuSans-Bold findfont 20 scalefont setfont 10 20 moveto (Installed) show\n");
    ASSERT_EQ(Save(Out("dejavu.eps"), nullptr, true, Out("dejavu.pdf")), kCallasOK);
    const PdfFacts facts = InspectPdf(Out("dejavu.pdf"));
    ASSERT_TRUE(facts.ok);
    ASSERT_EQ(facts.fontFiles.size(), 1u);
    EXPECT_NE(facts.fontFiles.front().find("DejaVuSans-Bold FontFile2"), std::string::npos)
        << facts.fontFiles.front();
    EXPECT_NE(PdfToText(Out("dejavu.pdf")).find("Installed"), std::string::npos);
}

TEST_F(ConverterTest, BothWrappersWarnOfEveryFontSubstitutionOfEachJob) {
    ASSERT_NE(Jaws(), nullptr);
    ASSERT_EQ(StartJaws(), kJawsOK);
    // The converter's warnings reach a logger set through its optional entry point.
    void* converter = dlopen(CallasLibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(converter, nullptr);
    const auto setLogger = reinterpret_cast<PFN_CallasSetLogger>(dlsym(converter, "CallasSetLogger"));
    ASSERT_NE(setLogger, nullptr);
    const auto warn = [](const char* requested, const char* used) {
        return std::string("Font substitution: ") + requested + " replaced by " + used;
    };
    const std::string mono = "NimbusMonoPS-Regular";
    struct Row {
        const char* label;
        std::string body;
        std::vector<std::string> warnings; // in the order the job asked for the fonts
    } rows[] = {{"findfont",
                 "/NoSuchFont-Regular findfont 20 scalefont setfont 10 10 moveto (Missing) show\n",
                 {warn("NoSuchFont-Regular", mono.c_str())}},
                // Asked for twice, inside the job's own save and restore, through every way of asking.
                {"ways",
                 "save /Gone-A findfont pop restore /Gone-B /Font findresource pop /Gone-C 10 selectfont\n"
                 "/Gone-A findfont 10 scalefont setfont 10 10 moveto (A) show\n",
                 {warn("Gone-A", mono.c_str()), warn("Gone-B", mono.c_str()), warn("Gone-C", mono.c_str())}},
                // A Fontmap-looking name gets the nearer face; asked for again in the next job, warned again.
                {"near name",
                 "/Helvetica-Narrow-BoldX findfont pop\n",
                 {warn("Helvetica-Narrow-BoldX", "NimbusSansNarrow-Bold")}},
                {"near name again",
                 "/Helvetica-Narrow-BoldX findfont pop\n",
                 {warn("Helvetica-Narrow-BoldX", "NimbusSansNarrow-Bold")}},
                // Ghostscript's own fonts and their classic names are no substitutions.
                {"base fonts",
                 "/Symbol findfont 20 scalefont setfont 10 10 moveto (abg) show /Times-Roman findfont pop "
                 "/ZapfDingbats findfont pop /DejaVuSans findfont pop\n",
                 {}}};
    for (const bool interpreter : {true, false}) {
        Messages messages;
        if (interpreter)
            Jaws()->BSetLogger(&messages, &Messages::Receive);
        else
            setLogger(&messages, &Messages::Receive);
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(interpreter ? "interpreter: " : "converter: ") + row.label);
            const std::string eps = Out("substitution.eps"), pdf = Out("substitution.pdf");
            WriteFile(eps, "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 100\n" + row.body);
            {
                std::lock_guard<std::mutex> guard(messages.lock);
                messages.received.clear();
            }
            ASSERT_EQ(interpreter ? DistilEps(eps, pdf, 0, 0, 200, 100)
                                  : Callas()->SaveAsPDF(eps.c_str(), nullptr, nullptr, nullptr, nullptr,
                                                        nullptr, 0, 1, pdf.c_str()),
                      0);
            std::vector<std::string> warnings;
            std::lock_guard<std::mutex> guard(messages.lock);
            for (const auto& [kind, text] : messages.received)
                if (kind == kJawsLogWarning)
                    warnings.push_back(text);
            EXPECT_EQ(warnings, row.warnings);
        }
        if (interpreter)
            Jaws()->BSetLogger(nullptr, nullptr);
        else
            setLogger(nullptr, nullptr);
    }
}
