// Hostile PostScript against the warm interpreter: each job is stopped or refused, and the job after it
// works and gives the same PDF as it does alone.
#include "PdfInspect.h"
#include "WrapperLibraries.h"

#include <chrono>
#include <cstdlib>
#include <thread>

using namespace BRASK::TEST;

namespace {

// A job that uses the font a hostile job tries to replace.
constexpr const char* kReferenceJob =
    "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 100\n"
    "/Helvetica findfont 14 scalefont setfont 10 40 moveto (Hello Brask) show\n"
    "0 0 1 setrgbcolor 150 10 30 30 rectfill\n";

std::string InSystemTemp(const std::string& name) {
    const char* base = std::getenv("TMPDIR");
    return std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/brask-" + name + "-" +
           std::to_string(getpid());
}

class HostileTest : public WrapperTest {
protected:
    void SetUp() override {
        WrapperTest::SetUp();
        BRASK_REQUIRE_JAWS();
    }
    void TearDown() override {
        unsetenv("BRASK_JOB_TIMEOUT_SECONDS");
        WrapperTest::TearDown();
    }

    // The reference job's content stream and fonts as a fresh job gives them.
    static const PdfFacts& Alone() {
        static PdfFacts facts = [] {
            TempDir dir;
            const std::string pdf = (dir.Path() / "alone.pdf").string();
            EXPECT_EQ(DistilText(kReferenceJob, pdf), kJawsOK);
            return InspectPdf(pdf);
        }();
        return facts;
    }

    // Runs `hostile`, expects `expected`, then checks that the reference job comes out as it does alone.
    void RunThenCheckNext(const std::string& hostile, int32_t expected, MessageCapture& log) {
        ASSERT_TRUE(Alone().ok);
        const std::string bad = Out("hostile.pdf");
        EXPECT_EQ(DistilText(hostile, bad), expected) << log.All();
        if (expected != kJawsOK) {
            EXPECT_FALSE(FileExists(bad)) << "a refused job left its output";
        }
        ASSERT_EQ(DistilText(kReferenceJob, Out("next.pdf")), kJawsOK) << log.All();
        const PdfFacts after = InspectPdf(Out("next.pdf"));
        ASSERT_TRUE(after.ok) << after.error;
        EXPECT_EQ(after.content, Alone().content);
        EXPECT_EQ(after.fonts, Alone().fonts);
        EXPECT_NEAR(after.urx - after.llx, 200, 0.01);
    }
};

} // namespace

TEST_F(HostileTest, ScratchFilesStayInTheWorkersFolderWhichGoesWithTheStoppedWorker) {
    MessageCapture log;
    // A scratch file lands in the worker's private folder (its TMPDIR), and is gone after the job.
    const std::string scratch = "(BraskScratch) (w) .tempfile closefile (scratch: ) print print (\n) print\n";
    ASSERT_EQ(DistilText(scratch, Out("scratch.pdf")), kJawsOK) << log.All();
    const std::string line = log.First("scratch: ");
    const std::string name = line.substr(line.find(' ') + 1);
    const std::string folder = name.substr(0, name.rfind('/'));
    EXPECT_EQ(folder.rfind(JawsTempFolder() + "/gsworker-", 0), 0u) << line;
    EXPECT_FALSE(FileExists(name)) << "the job's scratch file outlived it";
    ASSERT_TRUE(FileExists(folder));

    // A job past the time limit ends the worker; its folder goes with it.
    setenv("BRASK_JOB_TIMEOUT_SECONDS", "1", 1);
    const auto start = std::chrono::steady_clock::now();
    RunThenCheckNext("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 100\n" + scratch + "{ 1 pop } loop\n",
                     kJawsTimedOut, log);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_TRUE(log.Contains("the job ran longer than the time limit and was stopped")) << log.All();
    EXPECT_FALSE(FileExists(folder)) << "the stopped worker's folder stayed";
}

TEST_F(HostileTest, EachJobIsRefusedOrKeptToItselfAndTheNextJobIsAsAlone) {
    ASSERT_TRUE(Alone().ok) << Alone().error;
    ASSERT_EQ(Alone().fonts.size(), 1u);
    EXPECT_NE(Alone().fonts.front().find("Helvetica"), std::string::npos) << Alone().fonts.front();
    EXPECT_TRUE(Alone().AllFontsEmbedded);

    const std::string written = InSystemTemp("hostile") + ".txt", victim = InSystemTemp("victim") + ".txt";
    const std::string elsewhere = InSystemTemp("elsewhere") + ".pdf";
    WriteBytes(victim, "keep me");
    // pdfwrite never frees the dictionary of a mark's properties given inline, or of a named object whose
    // namespace is popped, and that dictionary points at a resource the output switch frees: a garbage
    // collection jobs later followed the pointer. Those marks keep their tag only; a named object outside
    // any namespace keeps its properties.
    const std::string define =
        "[/_objdef {props} /type /dict /OBJ pdfmark [{props} << /Lang (fr) >> /PUT pdfmark\n";
    const std::string square = " 10 10 50 50 rectfill [/EMC pdfmark\n";
    struct Case {
        const char* name;
        std::string job;
        int32_t status;
        const char* logged = ""; // a message the job must log
        const char* kept = "";   // what its content holds
        const char* dropped = "";
        std::string absent = {}; // a file that must not be there after it
    };
    const Case cases[] = {
        {"reading a system file",
         "(/etc/passwd) (r) file 100 string readstring pop == 10 10 50 50 rectfill\n", kJawsFailed,
         "invalidfileaccess"},
        {"writing under the temporary folder",
         "(" + written + ") (w) file dup (owned) writestring closefile\n", kJawsFailed, "invalidfileaccess",
         "", "", written},
        {"deleting there", "(" + victim + ") deletefile\n", kJawsFailed},
        {"renaming there", "(" + victim + ") (" + victim + ".moved) renamefile\n", kJawsFailed, "", "", "",
         victim + ".moved"},
        {"output switch to an unpermitted path",
         "<< /OutputFile (" + elsewhere + ") >> systemdict /setpagedevice get exec 10 10 moveto\n",
         kJawsFailed, "", "", "", elsewhere},
        // `quit` ends the job early; what it drew before is kept.
        {"quit", "0 0 1 setrgbcolor 10 10 50 50 rectfill quit 1 0 0 setrgbcolor 0 0 200 100 rectfill\n",
         kJawsOK, "", "0 0 1 rg", "1 0 0 rg"},
        // The interpreter's own quit, reached past the job dictionary, ends the instance.
        {"the interpreter's quit", "systemdict /quit get exec\n", kJawsFailed},
        {"exitserver", "serverdict begin 0 exitserver 10 10 moveto\n", kJawsFailed},
        {"unbalanced", "1 2 3 mark /foo [ (unbalanced) 10 10 moveto undefinedoperator\n", kJawsFailed},
        {"cleared stacks", "clear cleardictstack pop pop pop\n", kJawsFailed},
        {"saves and gsaves",
         "save pop save pop 100 { gsave } repeat 0 0 1 setrgbcolor 10 10 50 50 rectfill\n", kJawsOK},
        {"redefined showpage", "userdict /BraskState 5 put /showpage { } def 10 10 moveto\n", kJawsOK},
        {"setpagedevice", "<< /PageSize [612 792] /OutputFile (/tmp/elsewhere.pdf) >> setpagedevice\n",
         kJawsOK},
        {"unterminated string", "%!PS\n(unterminated string", kJawsFailed},
        {"empty", "", kJawsOK},
        {"inline BDC", "[/Inline << /Lang (en) >> /BDC pdfmark" + square, kJawsOK, "", "/Inline BMC", "BDC"},
        {"inline DP", "[/Point << /MCID 3 >> /DP pdfmark 10 10 50 50 rectfill\n", kJawsOK, "", "/Point MP",
         "DP"},
        {"marked content as Illustrator writes it",
         "userdict /AI11_PDFMark5 /pdfmark load put\n"
         "[/Document1 1 dict begin /Lang (en) def currentdict end /BDC AI11_PDFMark5" +
             square,
         kJawsOK, "", "/Document1 BMC", "BDC"},
        {"named object in a namespace",
         "[/NamespacePush pdfmark " + define + "[/Inner {props} /BDC pdfmark" + square +
             "[/NamespacePop pdfmark\n",
         kJawsOK, "", "/Inner BMC", "BDC"},
        {"named object outside namespaces",
         "[/NamespacePush pdfmark [/NamespacePop pdfmark " + define + "[/Named {props} /BDC pdfmark" + square,
         kJawsOK, "", "/Named/R", "BMC"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MessageCapture log;
        RunThenCheckNext(c.job, c.status, log);
        EXPECT_TRUE(*c.logged == '\0' || log.Contains(c.logged)) << log.All();
        if (c.status == kJawsOK) {
            const PdfFacts facts = InspectPdf(Out("hostile.pdf"));
            ASSERT_TRUE(facts.ok) << facts.error;
            EXPECT_NE(facts.content.find(c.kept), std::string::npos) << facts.content;
            EXPECT_TRUE(*c.dropped == '\0' || facts.content.find(c.dropped) == std::string::npos)
                << facts.content;
        }
        EXPECT_TRUE(c.absent.empty() || !FileExists(c.absent)) << c.absent;
        EXPECT_EQ(ReadFile(victim), "keep me");
    }
    unlink(victim.c_str());
}

TEST_F(HostileTest, TwoThreadsDistilAtOnce) {
    const std::string square = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 300 150\n"
                               "0.2 0.4 0.6 0.1 setcmykcolor 20 20 100 100 rectfill\n";
    std::vector<int32_t> status(2, -100);
    std::vector<PdfFacts> facts(2);
    auto work = [&](int index) {
        for (int round = 0; round < 4; ++round) {
            const std::string pdf =
                Out("thread" + std::to_string(index) + "-" + std::to_string(round) + ".pdf");
            status[index] = index == 0 ? DistilText(kReferenceJob, pdf) : DistilText(square, pdf, 300, 150);
            facts[index] = InspectPdf(pdf);
            if (status[index] != kJawsOK || !facts[index].ok)
                return;
        }
    };
    std::thread first(work, 0), second(work, 1);
    first.join();
    second.join();
    ASSERT_EQ(status[0], kJawsOK);
    ASSERT_EQ(status[1], kJawsOK);
    EXPECT_EQ(facts[0].content, Alone().content);
    EXPECT_NEAR(facts[1].urx - facts[1].llx, 300, 0.01);
    EXPECT_NE(facts[1].content.find(" k\n"), std::string::npos) << facts[1].content;
    EXPECT_EQ(facts[1].content.find("Tj"), std::string::npos) << "the other thread's text reached this page";
}
