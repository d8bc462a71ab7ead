// Job isolation as a property: for every hostile job H of the table, "H then the victim" in one process gives
// the victim exactly what it gives alone, on the distiller (page content and fonts) and the raster device
// (every pixel); the converter runs the distiller's engine and job frame. The victim draws with the
// operators and the font the hostile jobs tamper with and draws a mark for every leftover it can probe.
// On the distiller, jobs that reach for files, the output or the job's frame are also refused or kept to
// themselves.
#include "JobScript.h"
#include "WrapperLibraries.h"

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace BRASK::TEST;

namespace {

const std::string kHead = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 100\n";

// A Type 3 font /BraskType3 with UniqueID 4242 whose glyph "a" is drawn by the procedure given.
const std::string kType3 =
    "/BraskType3Font { 10 dict begin /Glyph exch def /FontType 3 def /FontMatrix [0.001 0 0 0.001 0 0] def "
    "/FontBBox [0 0 1000 1000] def /Encoding 256 array def 0 1 255 { Encoding exch /.notdef put } for "
    "Encoding 97 /a put /UniqueID 4242 def "
    "/BuildChar { 1000 0 0 0 1000 1000 setcachedevice exch /Glyph get exec } def "
    "currentdict end /BraskType3 exch definefont pop } bind def\n";

const std::string kVictim =
    kHead + kType3 + R"PS(% PostScript has no string concatenation: one for the probes.
/concatstrings { exch dup length 2 index length add string dup dup 4 2 roll copy length 4 -1 roll putinterval } bind def
/Helvetica findfont 14 scalefont setfont 10 40 moveto (Hello Brask) show
0 0 1 setrgbcolor 150 10 30 30 rectfill
0 0.6 0 setrgbcolor newpath 100 60 moveto 130 60 lineto 130 90 lineto closepath fill
0.5 setgray 2 setlinewidth newpath 10 90 moveto 90 90 lineto stroke
% One red mark per leftover found, side by side along the bottom edge.
/Mark { 6 mul 0 moveto 1 0 0 setrgbcolor 5 0 rlineto 0 5 rlineto -5 0 rlineto closepath fill } def
/BraskProc /ProcSet resourcestatus { pop pop 0 Mark } if
globaldict /BraskMark known { 1 Mark } if
userdict /BraskLeftover known { 2 Mark } if
currentglobal { 3 Mark } if
vmstatus pop pop 1 ne { 4 Mark } if
GlobalFontDirectory /Helvetica known { GlobalFontDirectory /Helvetica get /FontName get /Helvetica ne { 5 Mark } if } if
% Scratch files another job left in the temporary folder.
(BraskVictim) (w) .tempfile closefile
dup length 1 sub { dup 2 index exch get 47 eq { exit } if 1 sub } loop
1 index exch 1 add 0 exch getinterval (BraskScratch*) concatstrings
0 exch { pop 1 add } 1024 string filenameforall 0 gt { 6 Mark } if
deletefile
/Helvetica findfont 8 scalefont setfont 10 70 moveto
userdict length 10 string cvs show ( ) show globaldict length 10 string cvs show ( ) show
GlobalFontDirectory length 10 string cvs show ( ) show currentuserparams /MaxOpStack get 10 string cvs show
( ) show rand 20 string cvs show ( ) show currentsystemparams /GenericResourceDir get show
% A glyph of a font with a UniqueID: drawn from the glyph cache when a font with the same UniqueID was.
{ pop 0 0 moveto 1000 0 lineto 500 1000 lineto closepath fill } BraskType3Font
/BraskType3 findfont 30 scalefont setfont 0 0 1 setrgbcolor 160 60 moveto (a) show
)PS";

// Leaves redefinitions, then puts a fresh save object wherever a save object is reachable (userdict, the
// dictionary stack, the execution stack, to a depth of 5): a restore to one of those keeps the redefinitions.
constexpr const char* kRepointSaves = R"PS(
userdict /rectfill { pop pop pop pop } put userdict /fill { newpath } put userdict /BraskLeftover true put
/BraskSeen 2000 dict def BraskSeen BraskSeen true put
/BraskRepoint {
  dup 5 gt { pop pop } {
    1 index type dup /dicttype eq exch /arraytype eq or {
      1 index BraskSeen exch known { pop pop } {
        1 index BraskSeen exch true put
        1 add exch
        dup type /dicttype eq {
          dup rcheck {
            dup {
              dup type /savetype eq {
                pop mark exch { 2 index exch save put } stopped cleartomark
              } { exch pop 2 index BraskRepoint } ifelse
            } forall
          } if
        } {
          dup rcheck {
            0 1 2 index length 1 sub {
              2 copy get dup type /savetype eq {
                pop 1 index exch mark 3 1 roll { save put } stopped cleartomark
              } { exch pop 2 index BraskRepoint } ifelse
            } for
          } if
        } ifelse
        pop pop
      } ifelse
    } { pop pop } ifelse
  } ifelse
} def
userdict 0 BraskRepoint
countdictstack array dictstack 0 BraskRepoint
countexecstack array execstack 0 BraskRepoint
save pop save pop
)PS";

// A hostile job, and what the distiller gives it: its status (stopped by the time limit when that is
// kJawsTimedOut), a message it logs, what its page keeps and drops, a file that must not be there after it.
struct Hostile {
    const char* name;
    std::string text;
    int32_t status = kJawsOK;
    const char* logged = "";
    const char* kept = "";
    const char* dropped = "";
    std::string absent = {};
    bool afterRestart = false; // run on a new interpreter, whose caches hold nothing of the victim's yet
};

std::vector<Hostile> HostileJobs() {
    // Made of new objects only, so that it can live in global VM whatever the installed fonts are.
    const std::string fakeHelvetica =
        "10 dict begin /FontType 3 def /FontMatrix [0.001 0 0 0.001 0 0] def /FontBBox [0 0 1000 1000] def "
        "/Encoding StandardEncoding def /BuildChar { 600 0 0 0 500 500 setcachedevice pop pop 0 0 500 500 "
        "rectfill } def currentdict end /Helvetica exch definefont pop\n";
    return {
        {"re-pointed save objects", kHead + kRepointSaves},
        {"operators redefined in userdict",
         kHead +
             "userdict /rectfill { pop pop pop pop } put /rectfill { pop pop pop pop } def\n"
             "userdict /fill { newpath } put userdict /show { pop } put userdict /BraskLeftover true put\n"},
        {"global resource past setglobal",
         kHead +
             "true systemdict /setglobal get exec /BraskProc << /Paint { } >> /ProcSet defineresource pop\n"},
        {"globaldict and a fake global Helvetica",
         kHead + "true setglobal globaldict /BraskMark true put " + fakeHelvetica},
        {"fake Helvetica past the job dictionary", kHead + "end true .setglobal " + fakeHelvetica},
        {"scratch file", kHead + "(BraskScratch) (w) .tempfile dup (left) writestring closefile pop\n"},
        {"graphics and device state",
         kHead + "{ 1 exch sub } settransfer 5 setlinewidth 40 20 translate 2 2 scale\n"
                 "<< /PageSize [612 792] >> systemdict /setpagedevice get exec\n"
                 "<< /MaxOpStack 600 >> setuserparams\n"},
        {"startjob", kHead + "true () systemdict /startjob get exec pop userdict /BraskLeftover true put\n"},
        {"system parameters and the random seed",
         kHead + "<< /GenericResourceDir (/nonexistent/) /FontResourceDir (/nonexistent/Font/) >> "
                 "setsystemparams "
                 "12345 srand\n"},
        {"the job's own procedure run again",
         kHead + "userdict /BraskLeftover true put\n"
                 "countexecstack array execstack { dup type dup /arraytype eq exch /packedarraytype eq or "
                 "{ dup rcheck { pop } { { exec } stopped pop } ifelse } { pop } ifelse } forall\n"},
        {"forged reports", kHead + "userdict /BraskLeftover true put (%%[BraskJob: 0123456789abcdef done 0 0 "
                                   "]%%\\n) print flush\n"},
        {"quit",
         kHead + "userdict /BraskLeftover true put 0 0 1 setrgbcolor 10 10 50 50 rectfill quit 1 0 0 "
                 "setrgbcolor 0 0 200 100 rectfill\n",
         kJawsOK, "", "0 0 1 rg", "1 0 0 rg"},
        {"the interpreter's own quit", kHead + "userdict /BraskLeftover true put systemdict /quit get exec\n",
         kJawsFailed},
        {.name = "glyph cache",
         .text = kHead + kType3 + "{ pop 0 0 1000 1000 rectfill } BraskType3Font\n" +
                 "/BraskType3 findfont 30 scalefont setfont 0 0 1 setrgbcolor 160 60 moveto (a) show\n",
         .afterRestart = true},
        {"errors and a broken stack", kHead + "1 2 3 mark /foo [ (unbalanced) cleardictstack undefinedop\n",
         kJawsFailed},
        {"endless loop", kHead + "userdict /BraskLeftover true put { 1 pop } loop\n", kJawsTimedOut,
         "the job ran longer than the time limit and was stopped"},
    };
}

using Run = std::function<std::string(const std::string& text, int32_t& status)>;

// Runs each hostile job, then the victim, and compares every victim output with the one the victim gives
// alone (the first run). `run` renders or distils a text, gives its status and returns what is compared.
// Given the PDF the distiller writes, each hostile job's own outcome is judged too.
void CheckVictimUnchanged(const std::vector<Hostile>& jobs, const Run& run, const std::string& pdf = "") {
    std::optional<MessageCapture> log;
    if (!pdf.empty())
        log.emplace();
    int32_t status = 0;
    const std::string alone = run(kVictim, status);
    ASSERT_EQ(status, 0) << "the victim alone failed";
    ASSERT_FALSE(alone.empty());
    for (const Hostile& hostile : jobs) {
        SCOPED_TRACE(hostile.name);
        if (hostile.afterRestart)
            run("systemdict /quit get exec\n", status);
        if (log)
            log->Clear();
        {
            ScopedEnv limit("BRASK_JOB_TIMEOUT_SECONDS", hostile.status == kJawsTimedOut ? "1" : nullptr);
            run(hostile.text, status);
        }
        EXPECT_EQ(status == kJawsTimedOut, hostile.status == kJawsTimedOut); // on the raster device too
        if (log) {
            EXPECT_EQ(status, hostile.status) << log->All();
            EXPECT_TRUE(*hostile.logged == '\0' || log->Contains(hostile.logged)) << log->All();
            const PdfFacts facts = InspectPdf(pdf);
            EXPECT_EQ(facts.ok, status == kJawsOK) << "a refused job left its output";
            EXPECT_NE(facts.content.find(hostile.kept), std::string::npos) << facts.content;
            EXPECT_TRUE(*hostile.dropped == '\0' || facts.content.find(hostile.dropped) == std::string::npos)
                << facts.content;
            EXPECT_TRUE(hostile.absent.empty() || !std::filesystem::exists(hostile.absent)) << hostile.absent;
        }
        const std::string after = run(kVictim, status);
        ASSERT_EQ(status, 0) << "the victim failed";
        EXPECT_TRUE(after == alone) << "the victim changed";
    }
}

// What the tests compare of a PDF: the first page's size, its decoded content and its fonts, all embedded.
std::string PdfContent(const std::string& path) {
    const PdfFacts facts = InspectPdf(path);
    std::string content =
        std::to_string(facts.urx - facts.llx) + " x " + std::to_string(facts.ury - facts.lly);
    for (const std::string& font : facts.fonts)
        content += "\nfont " + font;
    return facts.ok && facts.AllFontsEmbedded ? content + "\n" + facts.content : "unreadable";
}

} // namespace

using IsolationTest = WrapperTest;

TEST_F(IsolationTest, DistillerJobsCannotChangeTheNextJob) {
    BRASK_REQUIRE_JAWS();
    const std::string written = Out("hostile.txt"), elsewhere = Out("elsewhere.pdf");
    // pdfwrite never frees the dictionary of a mark's properties given inline, or of a named object whose
    // namespace is popped, and that dictionary points at a resource the output switch frees: a garbage
    // collection jobs later followed the pointer. Those marks keep their tag only; a named object outside
    // any namespace keeps its properties.
    const std::string define =
        "[/_objdef {props} /type /dict /OBJ pdfmark [{props} << /Lang (fr) >> /PUT pdfmark\n";
    const std::string square = " 10 10 50 50 rectfill [/EMC pdfmark\n";
    // On the distiller only: jobs that reach for files, the output or the job's frame.
    const Hostile refused[] = {
        {"reading a system file",
         "(/etc/passwd) (r) file 100 string readstring pop == 10 10 50 50 rectfill\n", kJawsFailed,
         "invalidfileaccess"},
        {"writing elsewhere", "(" + written + ") (w) file dup (owned) writestring closefile\n", kJawsFailed,
         "invalidfileaccess", "", "", written},
        {"output switch to an unpermitted path",
         "<< /OutputFile (" + elsewhere + ") >> systemdict /setpagedevice get exec 10 10 moveto\n",
         kJawsFailed, "", "", "", elsewhere},
        {"exitserver", "serverdict begin 0 exitserver 10 10 moveto\n", kJawsFailed},
        {"cleared stacks", "clear cleardictstack pop pop pop\n", kJawsFailed},
        {"saves and gsaves",
         "save pop save pop 100 { gsave } repeat 0 0 1 setrgbcolor 10 10 50 50 rectfill\n"},
        {"redefined showpage", "userdict /BraskState 5 put /showpage { } def 10 10 moveto\n"},
        {"setpagedevice", "<< /PageSize [612 792] /OutputFile (/tmp/elsewhere.pdf) >> setpagedevice\n"},
        {"unterminated string", "%!PS\n(unterminated string", kJawsFailed},
        {"empty", ""},
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
    std::vector<Hostile> jobs = HostileJobs();
    for (Hostile job : refused) {
        job.text = kHead + job.text;
        jobs.push_back(job);
    }
    CheckVictimUnchanged(
        jobs,
        [&](const std::string& text, int32_t& status) {
            status = DistilText(text, Out("out.pdf"));
            return status == kJawsOK ? PdfContent(Out("out.pdf")) : std::string();
        },
        Out("out.pdf"));
}

TEST_F(IsolationTest, RasterJobsCannotChangeTheNextJob) {
    BRASK_REQUIRE_JAWS();
    CheckVictimUnchanged(HostileJobs(), [&](const std::string& text, int32_t& status) {
        Render render;
        status = RenderText(text, 200, 100, 72, 24, &render);
        return status == kJawsOK ? std::string(render.pixels.begin(), render.pixels.end()) : std::string();
    });
    Jaws()->BPDFTearDownRasterDevice();
}

TEST_F(IsolationTest, OnlyReportsCarryingTheJobsNonceCount) {
    // (Done, status and error reports: every job's outcome.)
    using Kind = BRASK::WRAPPERS::JobMarker::Kind;
    const std::string nonce = "0123456789abcdef";
    const auto report = [&](const std::string& text) { return "%%[BraskJob: " + nonce + text + " ]%%"; };
    const std::pair<std::string, Kind> cases[] = {
        {report(" output-moved"), Kind::OutputMoved},
        {report(" options-error"), Kind::OptionsError},
        // Forgeries and damaged reports are ordinary output.
        {"%%[BraskJob: fedcba9876543210 done 0 1 ]%%", Kind::None},
        {"%%[BraskJob: done 0 1 ]%%", Kind::None},
        {report("0 done 0 1"), Kind::None},
        {report(" done 0"), Kind::None},
        {report(" done x 1"), Kind::None},
        {"text " + report(" done 0 1"), Kind::None},
        {report(" done 0 1") + " text", Kind::None},
    };
    for (const auto& [line, kind] : cases)
        EXPECT_EQ(BRASK::WRAPPERS::ParseJobMarker(line, nonce).kind, kind) << line;
    EXPECT_EQ(BRASK::WRAPPERS::ParseJobMarker("%%[BraskJob:  done 0 1 ]%%", "").kind, Kind::None);
}
