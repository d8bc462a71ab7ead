// Job isolation as a property: for every hostile job H of the table, "H then the victim" in one process gives
// the victim exactly what it gives alone, on the three paths into the interpreter: the distiller (page
// content and fonts), the converter (the same) and the raster device (every pixel). The victim draws with
// the operators and the font the hostile jobs tamper with and draws a mark for every leftover it can probe.
#include "JobScript.h"
#include "PdfInspect.h"
#include "WrapperLibraries.h"

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using namespace BRASK::TEST;

namespace {

constexpr const char* kVictim = R"PS(%!PS-Adobe-3.0 EPSF-3.0
%%BoundingBox: 0 0 200 100
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

// A Type 3 font /BraskType3 with UniqueID 4242 whose glyph "a" is drawn by the procedure given.
const std::string kType3 =
    "/BraskType3Font { 10 dict begin /Glyph exch def /FontType 3 def /FontMatrix [0.001 0 0 0.001 0 0] def "
    "/FontBBox [0 0 1000 1000] def /Encoding 256 array def 0 1 255 { Encoding exch /.notdef put } for "
    "Encoding 97 /a put /UniqueID 4242 def "
    "/BuildChar { 1000 0 0 0 1000 1000 setcachedevice exch /Glyph get exec } def "
    "currentdict end /BraskType3 exch definefont pop } bind def\n";

// PostScript has no string concatenation; the victim defines one first.
const std::string kConcat =
    "/concatstrings { exch dup length 2 index length add string dup dup 4 2 roll copy "
    "length 4 -1 roll putinterval } bind def\n";

std::string Victim() {
    std::string text = kVictim;
    const std::size_t body = text.find("/Helvetica findfont 14");
    return text.insert(body, kConcat + kType3);
}

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

struct Hostile {
    const char* name;
    std::string text;
    bool endless = false;      // stopped by the time limit
    bool afterRestart = false; // run on a new interpreter, whose caches hold nothing of the victim's yet
};

std::vector<Hostile> HostileJobs() {
    const std::string head = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 100\n";
    // Made of new objects only, so that it can live in global VM whatever the installed fonts are.
    const std::string fakeHelvetica =
        "10 dict begin /FontType 3 def /FontMatrix [0.001 0 0 0.001 0 0] def /FontBBox [0 0 1000 1000] def "
        "/Encoding StandardEncoding def /BuildChar { 600 0 0 0 500 500 setcachedevice pop pop 0 0 500 500 "
        "rectfill } def currentdict end /Helvetica exch definefont pop\n";
    return {
        {"re-pointed save objects", head + kRepointSaves},
        {"operators redefined in userdict",
         head +
             "userdict /rectfill { pop pop pop pop } put /rectfill { pop pop pop pop } def\n"
             "userdict /fill { newpath } put userdict /show { pop } put userdict /BraskLeftover true put\n"},
        {"global resource past setglobal",
         head +
             "true systemdict /setglobal get exec /BraskProc << /Paint { } >> /ProcSet defineresource pop\n"},
        {"globaldict and a fake global Helvetica",
         head + "true setglobal globaldict /BraskMark true put " + fakeHelvetica},
        {"fake Helvetica past the job dictionary", head + "end true .setglobal " + fakeHelvetica},
        {"scratch file", head + "(BraskScratch) (w) .tempfile dup (left) writestring closefile pop\n"},
        {"graphics and device state",
         head + "{ 1 exch sub } settransfer 5 setlinewidth 40 20 translate 2 2 scale\n"
                "<< /PageSize [612 792] >> systemdict /setpagedevice get exec\n"
                "<< /MaxOpStack 600 >> setuserparams\n"},
        {"startjob", head + "true () systemdict /startjob get exec pop userdict /BraskLeftover true put\n"},
        {"system parameters and the random seed",
         head + "<< /GenericResourceDir (/nonexistent/) /FontResourceDir (/nonexistent/Font/) >> "
                "setsystemparams "
                "12345 srand\n"},
        {"the job's own procedure run again",
         head + "userdict /BraskLeftover true put\n"
                "countexecstack array execstack { dup type dup /arraytype eq exch /packedarraytype eq or "
                "{ dup rcheck { pop } { { exec } stopped pop } ifelse } { pop } ifelse } forall\n"},
        {"forged reports", head + "userdict /BraskLeftover true put (%%[BraskJob: 0123456789abcdef done 0 0 "
                                  "]%%\\n) print flush\n"},
        {"quit", head + "userdict /BraskLeftover true put 10 10 50 50 rectfill quit\n"},
        {"the interpreter's own quit", head + "userdict /BraskLeftover true put systemdict /quit get exec\n"},
        {"glyph cache",
         head + kType3 +
             "{ pop 0 0 1000 1000 rectfill } BraskType3Font\n"
             "/BraskType3 findfont 30 scalefont setfont 0 0 1 setrgbcolor 160 60 moveto (a) show\n",
         false, true},
        {"errors and a broken stack", head + "1 2 3 mark /foo [ (unbalanced) cleardictstack undefinedop\n"},
        {"endless loop", head + "userdict /BraskLeftover true put { 1 pop } loop\n", true},
    };
}

// Runs the hostile jobs, each followed by the victim, and compares every victim output with the one the
// victim gives alone (the first run). `run` renders or distils a text and returns what the test compares.
void CheckVictimUnchanged(const std::function<std::string(const std::string& text, bool& ok)>& run) {
    bool ok = false;
    const std::string alone = run(Victim(), ok);
    ASSERT_TRUE(ok) << "the victim alone failed";
    ASSERT_FALSE(alone.empty());
    for (const Hostile& hostile : HostileJobs()) {
        bool ignored = false;
        if (hostile.afterRestart)
            run("systemdict /quit get exec\n", ignored);
        if (hostile.endless)
            setenv("BRASK_JOB_TIMEOUT_SECONDS", "1", 1);
        run(hostile.text, ignored);
        unsetenv("BRASK_JOB_TIMEOUT_SECONDS");
        const std::string after = run(Victim(), ok);
        ASSERT_TRUE(ok) << "the victim failed after: " << hostile.name;
        EXPECT_TRUE(after == alone) << "the victim changed after: " << hostile.name;
    }
}

// What the tests compare of a PDF: the first page's decoded content and its fonts.
std::string PdfContent(const std::string& path, bool& ok) {
    const PdfFacts facts = InspectPdf(path);
    ok = ok && facts.ok && facts.AllFontsEmbedded;
    std::string content = facts.content;
    for (const std::string& font : facts.fonts)
        content += "\nfont " + font;
    return content;
}

} // namespace

using IsolationTest = WrapperTest;

TEST_F(IsolationTest, DistillerJobsCannotChangeTheNextJob) {
    BRASK_REQUIRE_JAWS();
    CheckVictimUnchanged([&](const std::string& text, bool& ok) {
        ok = DistilText(text, Out("out.pdf")) == kJawsOK;
        return ok ? PdfContent(Out("out.pdf"), ok) : std::string();
    });
}

TEST_F(IsolationTest, ConverterJobsCannotChangeTheNextJob) {
    BRASK_REQUIRE_CALLAS();
    CheckVictimUnchanged([&](const std::string& text, bool& ok) {
        ok = SaveAsPdf(WriteFile("in.eps", text), Out("out.pdf")) == kCallasOK;
        return ok ? PdfContent(Out("out.pdf"), ok) : std::string();
    });
}

TEST_F(IsolationTest, RasterJobsCannotChangeTheNextJob) {
    BRASK_REQUIRE_JAWS();
    CheckVictimUnchanged([&](const std::string& text, bool& ok) {
        std::string pixels(200 * 100 * 4, '\0');
        RipPixmap pixmap{pixels.data(), 200 * 100 * 4, 32, 200 * 4};
        ok = Jaws()->BPDFSetupRasterDevice(200 << 16, 100 << 16, 72 << 16, 72 << 16, 24, &pixmap, 0, nullptr,
                                           nullptr) == kJawsOK &&
             Jaws()->BEPSDrawPageContents(3, text.data(), static_cast<int32_t>(text.size()), nullptr, 0) ==
                 kJawsOK;
        Jaws()->BPDFTearDownRasterDevice();
        return ok ? pixels : std::string();
    });
}

TEST_F(IsolationTest, OnlyReportsCarryingTheJobsNonceCount) {
    using BRASK::WRAPPERS::JobMarker;
    using BRASK::WRAPPERS::ParseJobMarker;
    const std::string nonce = "0123456789abcdef";
    struct Case {
        std::string line;
        JobMarker::Kind kind;
        long long level, used;
        std::string text;
    };
    const Case cases[] = {
        {"%%[BraskJob: " + nonce + " done 0 3228861 ]%%", JobMarker::Kind::Done, 0, 3228861, ""},
        {"%%[BraskJob: " + nonce + " status 2 17 ]%%", JobMarker::Kind::Status, 2, 17, ""},
        {"%%[BraskJob: " + nonce + " error undefined in nosuchop ]%%", JobMarker::Kind::Error, -1, -1,
         "undefined in nosuchop"},
        {"%%[BraskJob: " + nonce + " output-moved ]%%", JobMarker::Kind::OutputMoved, -1, -1, ""},
        {"%%[BraskJob: " + nonce + " options-error ]%%", JobMarker::Kind::OptionsError, -1, -1, ""},
        // Forgeries and damaged reports are ordinary output.
        {"%%[BraskJob: fedcba9876543210 done 0 1 ]%%", JobMarker::Kind::None, -1, -1, ""},
        {"%%[BraskJob: done 0 1 ]%%", JobMarker::Kind::None, -1, -1, ""},
        {"%%[BraskJob: " + nonce + "0 done 0 1 ]%%", JobMarker::Kind::None, -1, -1, ""},
        {"%%[BraskJob: " + nonce + " done 0 ]%%", JobMarker::Kind::None, -1, -1, ""},
        {"%%[BraskJob: " + nonce + " done x 1 ]%%", JobMarker::Kind::None, -1, -1, ""},
        {"text %%[BraskJob: " + nonce + " done 0 1 ]%%", JobMarker::Kind::None, -1, -1, ""},
        {"%%[BraskJob: " + nonce + " done 0 1 ]%% text", JobMarker::Kind::None, -1, -1, ""},
    };
    for (const Case& c : cases) {
        const JobMarker marker = ParseJobMarker(c.line, nonce);
        EXPECT_EQ(marker.kind, c.kind) << c.line;
        EXPECT_EQ(marker.saveLevel, c.level) << c.line;
        EXPECT_EQ(marker.globalVMUsed, c.used) << c.line;
        EXPECT_EQ(marker.text, c.text) << c.line;
    }
    EXPECT_EQ(ParseJobMarker("%%[BraskJob:  done 0 1 ]%%", "").kind, JobMarker::Kind::None);
}
