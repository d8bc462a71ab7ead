#include "JobScript.h"

#include <charconv>
#include <cstdio>

namespace BRASK::WRAPPERS {

namespace {

// The standard fonts, loaded at start-up so that they belong to the baseline: a font a job loads goes at
// its restore and would be read again by the next job. So would the interpreter's scan of the font folders
// and its map of the system's fonts (fontconfig), which it builds the first time a font is not found: one
// search for a missing name builds both before the baseline.
constexpr std::string_view kPreloadedFonts = R"PS(
[ /Helvetica /Helvetica-Bold /Helvetica-Oblique /Helvetica-BoldOblique /Times-Roman /Times-Bold /Times-Italic
  /Times-BoldItalic /Courier /Courier-Bold /Courier-Oblique /Courier-BoldOblique /Symbol /ZapfDingbats ]
{ { findfont pop } stopped pop } forall
{ /BraskMissingFont findfont pop } stopped pop /BraskMissingFont undefinefont $error /newerror false put
)PS";

// Defined once per instance at save level 0. Only BraskRunJob, BraskState, BraskBaseline and BraskJobDict
// stay in userdict; the helpers are built into BraskRunJob (//) and their names removed. System parameters
// and the random seed live outside VM, so a restore does not take them back: they are set to the baseline
// after every job, and the glyph cache is emptied (a job's glyphs must not be drawn for another job's font
// with the same UniqueID).
//
// `nonce output count BraskRunJob` copies BraskTemplate into a procedure of its own with the job's box (a
// two-slot array: save object, job file), count, nonce and output path, and runs it execute-only. That
// procedure refuses to run at any save level but 0 (a job that finds it on the execution stack cannot run it
// again), saves into the box, runs the job (BraskJobBody) and finishes it (BraskAfterJob): reports the job's
// error, a moved output, skips the job's unread bytes, shows the page, restores, switches the output back
// to the parking file (which completes the job's file) and reports "done <save level> <global VM used>".
constexpr std::string_view kProcedures = R"PS(
/BraskBaseline /currentdistillerparams where { pop currentdistillerparams } { << >> } ifelse def
/BraskSystemParams currentsystemparams def
/BraskSeed rrand def
% pdfwrite never frees the dictionary that holds a marked-content mark's properties (BDC, DP) when they are
% given inline, or when the named object belongs to a namespace that is popped; that dictionary keeps pointing
% at the properties resource, which the next output switch frees, and a later garbage collection follows the
% dangling pointer (a crash or corrupt memory in a later job). Such marks keep their tag without properties
% (BMC, MP). pdfmark is an operator, so // runs it.
/BraskNamespaces [ 0 ] def
/BraskPdfmark /pdfmark load def
/BraskJobDict 40 dict def
BraskJobDict begin
  /pdfmark {
    counttomark 3 eq {
      dup /BDC eq 1 index /DP eq or {
        1 index type /dicttype eq //BraskNamespaces 0 get 0 gt or {
          /BDC eq { /BMC } { /MP } ifelse exch pop
        } if
      } if
    } {
      counttomark 1 eq {
        dup /NamespacePush eq { //BraskNamespaces 0 2 copy get 1 add put } if
        dup /NamespacePop eq { //BraskNamespaces 0 2 copy get dup 0 gt { 1 sub } if put } if
      } if
    } ifelse
    //BraskPdfmark
  } bind def
  /showpage { } def
  /copypage { } def
  /erasepage { } def
  /quit { stop } bind def
  /setpagedevice { pop } bind def
  /startjob { pop pop false } bind def
  /initmatrix { //BraskState /ctm get setmatrix } bind def
  /initgraphics {
    //BraskState /ctm get setmatrix initclip newpath 0 setgray 1 setlinewidth [] 0 setdash
    0 setlinecap 0 setlinejoin 10 setmiterlimit
  } bind def
  /letter { } def /legal { } def /a4 { } def /a3 { } def /note { } def /ledger { } def /11x17 { } def
end
/BraskMarkerStart { (%%[BraskJob: ) print print ( ) print } bind def
/BraskMarkerEnd { ( ]%%\n) print flush } bind def
/BraskText { mark exch { 200 string cvs } stopped { cleartomark (?) } { exch pop } ifelse } bind def
/BraskNumbers {
  vmstatus pop pop 20 string cvs print ( ) print
  true setglobal vmstatus pop exch pop false setglobal 20 string cvs print
} bind def
/BraskCheckLevel { vmstatus pop pop 0 ne { stop } if } bind def
/BraskSaveInto { save 0 exch put } bind def
% Font substitution: Ghostscript calls $error /SubstituteFont with the missing name on the stack just before
% it substitutes. The names (with their order of arrival) are kept in a dictionary in global VM, made after
% the job's save, which the job's own save and restore do not undo; before the restore each is reported with
% the font drawn instead (the unaliased font that shares the substitute's glyph procedures).
/BraskFontOf {
  FontDirectory 1 index known { FontDirectory exch get true }
  { GlobalFontDirectory 1 index known { GlobalFontDirectory exch get true } { pop false } ifelse } ifelse
} bind def
/BraskUsedFont {
  //BraskState /used /unknown put
  //BraskFontOf exec {
    dup type /dicttype eq { dup /CharStrings known } { false } ifelse {
      /CharStrings get //BraskState exch /glyphs exch put
      [ FontDirectory GlobalFontDirectory ] {
        { exch pop
          dup type /dicttype eq {
            dup /.Alias known not {
              dup /CharStrings known {
                dup /CharStrings get //BraskState /glyphs get eq {
                  dup /FontName known { dup /FontName get //BraskState exch /used exch put } if
                } if
              } if
            } if
          } if
          pop
        } forall
      } forall
    } { pop } ifelse
  } if
  //BraskState /used get
} bind def
/BraskReportSubstitutions {
  //BraskState /subst get {
    2 index //BraskMarkerStart exec (font-substituted ) print 12 string cvs print ( ) print
    dup dup length string cvs print ( ) print
    //BraskUsedFont exec dup length string cvs print
    //BraskMarkerEnd exec
  } forall
  pop
} bind def
true setglobal BraskState /subst 1 dict put false setglobal
$error /SubstituteFont {
  //BraskState /subst get dup 2 index known { pop } { dup length 2 index exch put } ifelse
} put
/BraskJobBody {
  true setglobal //BraskState /subst 8 dict put false setglobal
  //BraskJobDict begin
  0 setgray 1 setlinewidth [] 0 setdash 0 setlinecap 0 setlinejoin 10 setmiterlimit newpath
  currentfile exch () /SubFileDecode filter
  2 copy 1 exch put exch pop
  cvx stopped
  cleardictstack
  count 1 roll count 1 sub { pop } repeat
} bind def
/BraskAfterJob {
  4 -1 roll {
    //$error /newerror get {
      2 index //BraskMarkerStart exec (error ) print //$error /errorname get //BraskText exec print
      ( in ) print //$error /command get //BraskText exec print //BraskMarkerEnd exec
      //$error /newerror false put
    } if
  } if
  currentpagedevice /OutputFile get 2 index ne {
    2 index //BraskMarkerStart exec (output-moved) print //BraskMarkerEnd exec
  } if
  2 index //BraskReportSubstitutions exec
  dup 1 get dup type /filetype eq { dup status { flushfile } { pop } ifelse } { pop } ifelse
  showpage
  0 get restore
  pop
  << /MaxFontCache 0 >> setsystemparams //BraskSystemParams setsystemparams //BraskSeed srand
  << /OutputFile //BraskState /parking get >> setpagedevice
  //BraskMarkerStart exec (done ) print //BraskNumbers exec //BraskMarkerEnd exec
} bind def
/BraskTemplate {
  //BraskCheckLevel exec
  null //BraskSaveInto exec
  null null //BraskJobBody exec
  null null null //BraskAfterJob exec
} bind def
/BraskRunJob {
  //BraskState /ctm matrix currentmatrix put
  2 array
  //BraskTemplate dup length array copy
  dup 2 3 index put
  dup 5 3 index put
  dup 11 3 index put
  exch pop
  dup 6 4 -1 roll put
  dup 10 4 -1 roll put
  dup 9 4 -1 roll put
  cvx executeonly exec
} bind executeonly def
/BraskStatus { //BraskMarkerStart exec (status ) print //BraskNumbers exec //BraskMarkerEnd exec } bind def
[ /BraskNamespaces /BraskPdfmark /BraskSystemParams /BraskSeed /BraskMarkerStart /BraskMarkerEnd /BraskText /BraskNumbers /BraskCheckLevel /BraskSaveInto /BraskJobBody
  /BraskAfterJob /BraskTemplate /BraskFontOf /BraskUsedFont /BraskReportSubstitutions ] { currentdict exch undef } forall
)PS";

std::string Number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", value);
    return text;
}

// The call that ends every prologue: the job's bytes follow it.
std::string RunJobCall(std::string_view nonce, const std::string& outputPath, std::uint64_t byteCount) {
    return HexString(nonce) + " " + HexString(outputPath) + " " + std::to_string(byteCount) +
           " BraskRunJob\n";
}

bool ParseNumber(std::string_view text, long long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// "<level> <used>"
bool ParseNumbers(std::string_view text, JobMarker& marker) {
    const std::size_t space = text.find(' ');
    return space != std::string_view::npos && ParseNumber(text.substr(0, space), marker.saveLevel) &&
           ParseNumber(text.substr(space + 1), marker.globalVMUsed);
}

} // namespace

std::string HexString(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 2 + 2);
    hex.push_back('<');
    for (unsigned char c : bytes) {
        hex.push_back(kDigits[c >> 4]);
        hex.push_back(kDigits[c & 15]);
    }
    hex.push_back('>');
    return hex;
}

std::string StartupScript(const std::string& parkingPath, std::string_view nonce) {
    std::string script =
        "userdict begin\n/BraskState 8 dict def\nBraskState /parking " + HexString(parkingPath) + " put\n";
    script += kPreloadedFonts;
    script += kProcedures;
    script += HexString(nonce) + " BraskStatus\n";
    script += "currentdict /BraskStatus undef\nend\n";
    return script;
}

std::string JobPrologue(const JobPage& page, const std::string& outputPath, std::string_view jobOptions,
                        std::uint64_t byteCount, std::string_view nonce) {
    std::string s = "false setglobal clear\nBraskBaseline setdistillerparams\n";
    if (page.embedAllFonts)
        s += "<< /EmbedAllFonts true /NeverEmbed [ ] >> setdistillerparams\n";
    s += "<< /OutputFile " + HexString(outputPath);
    if (page.setPageSize)
        s += " /PageSize [" + Number(page.width) + " " + Number(page.height) + "]";
    s +=
        " /HWResolution [" + Number(page.resolution) + " " + Number(page.resolution) + "] >> setpagedevice\n";
    if (!jobOptions.empty()) {
        s += "{ " + HexString(jobOptions) + " cvx exec } stopped { " +
             HexString(std::string(kMarkerPrefix) + std::string(nonce) + " options-error" +
                       std::string(kMarkerSuffix) + "\n") +
             " print flush $error /newerror false put } if clear\n";
    }
    s += "initgraphics\n";
    if (page.moveOrigin)
        s += Number(-page.left) + " " + Number(-page.bottom) + " translate\n";
    s += RunJobCall(nonce, outputPath, byteCount);
    return s;
}

std::string RasterJobPrologue(std::string_view deviceName, const std::string& outputPath,
                              std::int32_t pixelWidth, std::int32_t pixelHeight, double xResolution,
                              double yResolution, std::string_view background, std::uint64_t byteCount,
                              std::string_view nonce) {
    // The page size is chosen so that the device's rounding gives exactly the requested pixels.
    char size[160];
    std::snprintf(size, sizeof size, "/PageSize [%.9g %.9g] /HWResolution [%.9g %.9g]",
                  pixelWidth * 72.0 / xResolution, pixelHeight * 72.0 / yResolution, xResolution,
                  yResolution);
    const std::string name(deviceName);
    std::string s = "false setglobal clear\n";
    s += "currentpagedevice /OutputDevice get /" + name + " ne { (" + name + ") selectdevice } if\n";
    s += "<< /OutputFile " + HexString(outputPath) + " " + size + " >> setpagedevice\n";
    s += "initgraphics\n";
    if (!background.empty())
        s += "gsave " + std::string(background) + " clippath fill grestore\n";
    s += RunJobCall(nonce, outputPath, byteCount);
    return s;
}

JobMarker ParseJobMarker(std::string_view line, std::string_view nonce) {
    JobMarker marker;
    if (nonce.empty() || line.size() < kMarkerPrefix.size() + nonce.size() + 1 + kMarkerSuffix.size() ||
        line.substr(0, kMarkerPrefix.size()) != kMarkerPrefix ||
        line.substr(line.size() - kMarkerSuffix.size()) != kMarkerSuffix)
        return marker;
    std::string_view body =
        line.substr(kMarkerPrefix.size(), line.size() - kMarkerPrefix.size() - kMarkerSuffix.size());
    if (body.substr(0, nonce.size()) != nonce || body[nonce.size()] != ' ')
        return marker;
    body.remove_prefix(nonce.size() + 1);
    if (body.substr(0, 5) == "done " && ParseNumbers(body.substr(5), marker))
        marker.kind = JobMarker::Kind::Done;
    else if (body.substr(0, 7) == "status " && ParseNumbers(body.substr(7), marker))
        marker.kind = JobMarker::Kind::Status;
    else if (body.substr(0, 6) == "error ") {
        marker.kind = JobMarker::Kind::Error;
        marker.text = std::string(body.substr(6));
    } else if (body == "output-moved")
        marker.kind = JobMarker::Kind::OutputMoved;
    else if (body == "options-error")
        marker.kind = JobMarker::Kind::OptionsError;
    else if (body.substr(0, 17) == "font-substituted ") {
        marker.kind = JobMarker::Kind::FontSubstituted;
        marker.text = std::string(body.substr(17));
    }
    return marker;
}

} // namespace BRASK::WRAPPERS
