// Hostile PostScript against the warm interpreter: each job is stopped or refused, and the job after it
// works and gives the same PDF as it does alone.
#include "PdfInspect.h"
#include "WrapperLibraries.h"

#include "../support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

using namespace BRASK::TEST;

namespace {

// Collects what the interpreter logs through BSetLogger.
class MessageCapture {
public:
    MessageCapture() { Jaws()->BSetLogger(this, &MessageCapture::Receive); }
    ~MessageCapture() { Jaws()->BSetLogger(nullptr, nullptr); }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    bool Contains(const std::string& text) const {
        std::lock_guard<std::mutex> guard(mLock);
        for (const auto& [kind, message] : mMessages) {
            if (message.find(text) != std::string::npos)
                return true;
        }
        return false;
    }
    // The first message that starts with `prefix`; empty when none does.
    std::string First(const std::string& prefix) const {
        std::lock_guard<std::mutex> guard(mLock);
        for (const auto& [kind, message] : mMessages) {
            if (message.rfind(prefix, 0) == 0)
                return message;
        }
        return {};
    }
    std::string All() const {
        std::lock_guard<std::mutex> guard(mLock);
        std::string all;
        for (const auto& [kind, message] : mMessages)
            all += std::to_string(kind) + ": " + message + "\n";
        return all;
    }

private:
    static void Receive(void* context, int kind, char* message, int length) {
        auto* self = static_cast<MessageCapture*>(context);
        std::lock_guard<std::mutex> guard(self->mLock);
        self->mMessages.emplace_back(kind, std::string(message, static_cast<std::size_t>(length)));
    }
    mutable std::mutex mLock;
    std::vector<std::pair<int, std::string>> mMessages;
};

// A job that uses the font a hostile job tries to replace.
constexpr const char* kReferenceJob =
    "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 100\n"
    "/Helvetica findfont 14 scalefont setfont 10 40 moveto (Hello Brask) show\n"
    "0 0 1 setrgbcolor 150 10 30 30 rectfill\n";

std::string SystemTempFolder() {
    const char* base = std::getenv("TMPDIR");
    return base != nullptr && *base != '\0' ? base : "/tmp";
}

class HostileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Jaws(), nullptr);
        ASSERT_EQ(StartJaws(), kJawsOK);
    }
    void TearDown() override { unsetenv("BRASK_JOB_TIMEOUT_SECONDS"); }

    std::string Out(const std::string& name) const { return (mDir.Path() / name).string(); }

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
        const PdfFacts alone = Alone();
        ASSERT_TRUE(alone.ok);
        const std::string bad = Out("hostile.pdf");
        EXPECT_EQ(DistilText(hostile, bad), expected) << log.All();
        if (expected != kJawsOK) {
            EXPECT_FALSE(FileExists(bad)) << "a refused job left its output";
        }
        const std::string next = Out("next.pdf");
        ASSERT_EQ(DistilText(kReferenceJob, next), kJawsOK) << log.All();
        const PdfFacts after = InspectPdf(next);
        ASSERT_TRUE(after.ok) << after.error;
        EXPECT_EQ(after.content, alone.content);
        EXPECT_EQ(after.fonts, alone.fonts);
        EXPECT_NEAR(after.urx - after.llx, 200, 0.01);
    }

    TempDir mDir;
};

} // namespace

TEST_F(HostileTest, ReferenceJobEmbedsHelvetica) {
    const PdfFacts& alone = Alone();
    ASSERT_TRUE(alone.ok) << alone.error;
    ASSERT_EQ(alone.fonts.size(), 1u);
    EXPECT_NE(alone.fonts.front().find("Helvetica"), std::string::npos) << alone.fonts.front();
    EXPECT_TRUE(alone.AllFontsEmbedded);
}

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

TEST_F(HostileTest, ReadingSystemFilesIsRefused) {
    MessageCapture log;
    RunThenCheckNext("(/etc/passwd) (r) file 100 string readstring pop == 10 10 50 50 rectfill\n",
                     kJawsFailed, log);
    EXPECT_TRUE(log.Contains("invalidfileaccess")) << log.All();
}

TEST_F(HostileTest, WritingUnderTheDefaultTemporaryFolderIsRefused) {
    MessageCapture log;
    const std::string target = SystemTempFolder() + "/brask-hostile-" + std::to_string(getpid()) + ".txt";
    unlink(target.c_str());
    RunThenCheckNext("(" + target + ") (w) file dup (owned) writestring closefile\n", kJawsFailed, log);
    EXPECT_FALSE(FileExists(target));
    EXPECT_TRUE(log.Contains("invalidfileaccess")) << log.All();
}

TEST_F(HostileTest, DeletingOrRenamingUnderTheDefaultTemporaryFolderIsRefused) {
    MessageCapture log;
    const std::string victim = SystemTempFolder() + "/brask-victim-" + std::to_string(getpid()) + ".txt";
    WriteFile(victim, "keep me");
    RunThenCheckNext("(" + victim + ") deletefile\n", kJawsFailed, log);
    RunThenCheckNext("(" + victim + ") (" + victim + ".moved) renamefile\n", kJawsFailed, log);
    EXPECT_EQ(ReadFile(victim), "keep me");
    EXPECT_FALSE(FileExists(victim + ".moved"));
    unlink(victim.c_str());
}

TEST_F(HostileTest, QuitEndsOnlyTheJob) {
    MessageCapture log;
    // `quit` ends the job early; what it drew before is kept.
    RunThenCheckNext("0 0 1 setrgbcolor 10 10 50 50 rectfill quit 1 0 0 setrgbcolor 0 0 200 100 rectfill\n",
                     kJawsOK, log);
    const PdfFacts quitJob = InspectPdf(Out("hostile.pdf"));
    ASSERT_TRUE(quitJob.ok);
    EXPECT_EQ(quitJob.content.find("1 0 0 rg"), std::string::npos) << "drawing went on after quit";
    // The interpreter's own quit, reached past the job dictionary, ends the instance: the next job gets a new
    // one.
    RunThenCheckNext("systemdict /quit get exec\n", kJawsFailed, log);
    RunThenCheckNext("serverdict begin 0 exitserver 10 10 moveto\n", kJawsFailed, log);
}

TEST_F(HostileTest, BrokenJobsDoNotPoisonTheInstance) {
    MessageCapture log;
    RunThenCheckNext("1 2 3 mark /foo [ (unbalanced) 10 10 moveto undefinedoperator\n", kJawsFailed, log);
    RunThenCheckNext("clear cleardictstack pop pop pop\n", kJawsFailed, log);
    RunThenCheckNext("save pop save pop 100 { gsave } repeat 0 0 1 setrgbcolor 10 10 50 50 rectfill\n",
                     kJawsOK, log);
    RunThenCheckNext("userdict /BraskState 5 put /showpage { } def 10 10 moveto\n", kJawsOK, log);
    RunThenCheckNext("<< /PageSize [612 792] /OutputFile (/tmp/elsewhere.pdf) >> setpagedevice\n", kJawsOK,
                     log);
    RunThenCheckNext("%!PS\n(unterminated string", kJawsFailed, log);
    RunThenCheckNext("", kJawsOK, log);
}

TEST_F(HostileTest, OutputSwitchToAnUnpermittedPathIsRefused) {
    MessageCapture log;
    const std::string elsewhere =
        SystemTempFolder() + "/brask-elsewhere-" + std::to_string(getpid()) + ".pdf";
    RunThenCheckNext("<< /OutputFile (" + elsewhere +
                         ") >> systemdict /setpagedevice get exec 10 10 moveto\n",
                     kJawsFailed, log);
    EXPECT_FALSE(FileExists(elsewhere));
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

TEST_F(HostileTest, MarkedContentKeepsOnlyPropertiesPdfwriteFrees) {
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
        const char* kept;    // what the content holds
        const char* dropped; // what it must not hold
    };
    const Case cases[] = {
        {"inline BDC", "[/Inline << /Lang (en) >> /BDC pdfmark" + square, "/Inline BMC", "BDC"},
        {"inline DP", "[/Point << /MCID 3 >> /DP pdfmark 10 10 50 50 rectfill\n", "/Point MP", "DP"},
        {"as Illustrator writes it",
         "userdict /AI11_PDFMark5 /pdfmark load put\n"
         "[/Document1 1 dict begin /Lang (en) def currentdict end /BDC AI11_PDFMark5" +
             square,
         "/Document1 BMC", "BDC"},
        {"named object in a namespace",
         "[/NamespacePush pdfmark " + define + "[/Inner {props} /BDC pdfmark" + square +
             "[/NamespacePop pdfmark\n",
         "/Inner BMC", "BDC"},
        {"named object outside namespaces",
         "[/NamespacePush pdfmark [/NamespacePop pdfmark " + define + "[/Named {props} /BDC pdfmark" + square,
         "/Named/R", "BMC"},
    };
    MessageCapture log;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunThenCheckNext(c.job, kJawsOK, log);
        const PdfFacts facts = InspectPdf(Out("hostile.pdf"));
        ASSERT_TRUE(facts.ok) << facts.error;
        EXPECT_NE(facts.content.find(c.kept), std::string::npos) << facts.content;
        EXPECT_EQ(facts.content.find(c.dropped), std::string::npos) << facts.content;
    }
}
