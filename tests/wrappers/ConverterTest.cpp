// The converter wrapper's conversions. (Its section and box reader on real DOS binary files: tests/fidelity.)
#include "WrapperLibraries.h"

#include <chrono>
#include <cstdlib>
#include <dlfcn.h>
#include <thread>

using namespace BRASK::TEST;

namespace {

const std::string kEps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 50 60 250 160\n%%EndComments\n"
                         "1 0 0 setrgbcolor 50 60 200 100 rectfill\n"
                         "/Helvetica findfont 12 scalefont setfont 60 100 moveto (Converted) show\n";

// A job-options file as the plug-in writes it.
std::string JobOptions(const std::string& level, const std::string& resolution) {
    return "<<\n/AllowTransparency true\n/AutoPositionEPSFiles true\n/ColorConversionStrategy  "
           "/LeaveColorUnchanged\n/CompatibilityLevel " +
           level + "\n>> setdistillerparams\n<<\n/HWResolution [" + resolution + " " + resolution +
           "]\n>> setpagedevice\n";
}

class ConverterTest : public WrapperTest {
protected:
    void SetUp() override {
        WrapperTest::SetUp();
        BRASK_REQUIRE_CALLAS();
        mPicture = WriteFile("picture.eps", kEps);
    }
    std::string mPicture;
};

} // namespace

TEST_F(ConverterTest, JobOptionsSteerTheConversionOfTheirOwnJobAndBadOnesAreReported) {
    const std::string at2400 = WriteFile("14.joboptions", JobOptions("1.4", "2400.00"));
    const std::string at288 = WriteFile("15.joboptions", JobOptions("1.5", "288.00"));
    const std::string bad =
        WriteFile("bad.joboptions", "<< /ColorConversionStrategy /Bogus >> setdistillerparams\n");
    struct Case {
        std::string options;
        int32_t status;
        const char* version;
        const char* scale; // the content's first transformation: the resolution
    };
    // No options after some: the options of an earlier job must not stick. Bad options are reported but do
    // not stop the conversion; missing ones do.
    const Case cases[] = {{at2400, kCallasOK, "1.4", "0.03 0 0 0.03 0 0 cm"},
                          {at288, kCallasOK, "1.5", "0.25 0 0 0.25 0 0 cm"},
                          {"", kCallasOK, "1.7", nullptr},
                          {bad, kCallasOK, "1.7", nullptr},
                          {Out("missing.joboptions"), kCallasFailed, "", nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const std::string pdf = Out("options.pdf");
        ASSERT_EQ(SaveAsPdf(mPicture, pdf, true, c.options.empty() ? nullptr : c.options.c_str()), c.status);
        EXPECT_EQ(std::filesystem::exists(pdf), c.status == kCallasOK);
        const PdfFacts facts = InspectPdf(pdf);
        EXPECT_EQ(facts.version, c.version);
        if (c.status == kCallasOK) { // cropped to the bounding box, the text kept in an embedded font
            EXPECT_EQ(facts.Size(), std::pair(200.0, 100.0));
            EXPECT_NE(Capture("pdftotext -q " + ShellQuote(pdf) + " - 2>/dev/null").find("Converted"),
                      std::string::npos);
            EXPECT_TRUE(facts.AllFontsEmbedded);
        }
        // Without a resolution of its own the job is not at the 2400 dpi of an earlier one.
        EXPECT_EQ(facts.content.find(c.scale ? c.scale : "0.03 0 0 0.03") != std::string::npos,
                  c.scale != nullptr)
            << facts.content;
        unlink(pdf.c_str());
    }
    // Two threads with different options each get their own.
    std::vector<std::string> versions(2);
    auto work = [&](int index) {
        for (int round = 0; round < 4; ++round) {
            const std::string pdf = Out("t" + std::to_string(index) + "-" + std::to_string(round) + ".pdf");
            if (SaveAsPdf(mPicture, pdf, true, (index == 0 ? at2400 : at288).c_str()) != kCallasOK)
                return;
            versions[index] += InspectPdf(pdf).version + " ";
        }
    };
    std::thread a(work, 0), b(work, 1);
    a.join();
    b.join();
    EXPECT_EQ(versions[0], "1.4 1.4 1.4 1.4 ");
    EXPECT_EQ(versions[1], "1.5 1.5 1.5 1.5 ");
}

TEST_F(ConverterTest, SvgWithoutASizeGetsThePageOfItsDrawing) {
    // (Sizes in pixels, inches and by view box: every corpus SVG against rsvg-convert,
    // tests/integration.)
    ASSERT_EQ(
        SaveAsPdf(WriteFile("extents.svg", "<svg xmlns='http://www.w3.org/2000/svg'><rect x='10' y='20' "
                                           "width='80' height='40' fill='red'/></svg>"),
                  Out("svg.pdf"), false),
        kCallasOK);
    const PdfFacts facts = InspectPdf(Out("svg.pdf"));
    ASSERT_TRUE(facts.ok);
    EXPECT_EQ(facts.Size(), std::pair(60.0, 30.0));
}

TEST_F(ConverterTest, UnusableInputFailsWithoutOutput) {
    // An EPS without a box, a file that is not there (broken SVG and failing PostScript: FilesTest).
    for (const std::string& source :
         {WriteFile("nobox.eps", "%!PS-Adobe-3.0 EPSF-3.0\n0 0 10 10 rectfill\n"), Out("absent.eps")}) {
        EXPECT_EQ(SaveAsPdf(source, Out("out.pdf")), kCallasFailed) << source;
        EXPECT_FALSE(std::filesystem::exists(Out("out.pdf"))) << source;
    }
    EXPECT_EQ(
        Callas()->SaveAsPDF(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 1, Out("x.pdf").c_str()),
        kCallasBadParameter);
    EXPECT_EQ(SaveAsPdf(mPicture, ""), kCallasBadParameter);
}

TEST_F(ConverterTest, AnInterpreterStartedByAThreadThatEndedKeepsServing) {
    // A job past the time limit ends the interpreter process; the next job, on a short-lived thread,
    // starts a new one, which must outlive that thread.
    setenv("BRASK_JOB_TIMEOUT_SECONDS", "1", 1);
    EXPECT_EQ(SaveAsPdf(WriteFile("loop.eps",
                                  "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n{ 1 pop } loop\n"),
                        Out("loop.pdf")),
              kCallasFailed);
    unsetenv("BRASK_JOB_TIMEOUT_SECONDS");
    EXPECT_FALSE(std::filesystem::exists(Out("loop.pdf")));
    int32_t onThread = -100;
    std::thread([&] { onThread = SaveAsPdf(mPicture, Out("thread.pdf")); }).join();
    EXPECT_EQ(onThread, kCallasOK);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(SaveAsPdf(mPicture, Out("after.pdf")), kCallasOK);
    EXPECT_TRUE(InspectPdf(Out("after.pdf")).ok);
}

TEST_F(ConverterTest, BothWrappersWarnOfEveryFontSubstitutionOfEachJob) {
    BRASK_REQUIRE_JAWS();
    // The converter's warnings reach a logger set through its optional entry point.
    void* converter = dlopen(CallasLibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(converter, nullptr);
    const auto setLogger = reinterpret_cast<PFN_CallasSetLogger>(dlsym(converter, "CallasSetLogger"));
    ASSERT_NE(setLogger, nullptr);
    const auto warn = [](const char* requested, const char* used = "NimbusMonoPS-Regular") {
        return std::string("Font substitution: ") + requested + " replaced by " + used;
    };
    const struct {
        const char* label;
        std::string body;
        std::vector<std::string> warnings; // in the order the job asked for the fonts
    } rows[] = {// (A missing font asked for by findfont and selectfont: tests/epsimport.)
                // Asked for twice, inside the job's own save and restore, through every way of asking.
                {"ways",
                 "save /Gone-A findfont pop restore /Gone-B /Font findresource pop /Gone-C 10 selectfont\n"
                 "/Gone-A findfont 10 scalefont setfont 10 10 moveto (A) show\n",
                 {warn("Gone-A"), warn("Gone-B"), warn("Gone-C")}},
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
        MessageCapture log(interpreter ? nullptr : setLogger);
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(interpreter ? "interpreter: " : "converter: ") + row.label);
            const std::string eps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 100\n" + row.body;
            log.Clear();
            ASSERT_EQ(interpreter ? DistilText(eps, Out("out.pdf"))
                                  : SaveAsPdf(WriteFile("in.eps", eps), Out("out.pdf")),
                      0);
            EXPECT_EQ(log.Texts(kJawsLogWarning), row.warnings);
        }
    }
}
