#include "JobScript.h"

#include <cstdio>

namespace BRASK::WRAPPERS {

namespace {

// Helper procedures, the job dictionary and the global-VM check, defined once per instance in local VM.
// BraskRunJob reads exactly `count` bytes of the input through a SubFileDecode filter and runs them inside
// save ... stopped ... restore with the job dictionary on top of the dictionary stack; afterwards it reports
// the job's error, shows the page, switches the output back to the parking file (which finishes the job's
// PDF) and reports whether global VM changed.
constexpr std::string_view kProcedures = R"PS(
/BraskBaseline /currentdistillerparams where { pop currentdistillerparams } { << >> } ifelse def
/BraskReport { (%%[BraskJob: ) print print ( ]%%\n) print flush } bind def
/BraskJobDict 40 dict def
BraskJobDict begin
  /showpage { } def
  /copypage { } def
  /erasepage { } def
  /quit { stop } bind def
  /setpagedevice { pop } bind def
  /setglobal { dup { (went-global) //BraskReport exec } if //setglobal } bind def
  /.setglobal { dup { (went-global) //BraskReport exec } if //setglobal } bind def
  /startjob { pop pop false } bind def
  /initmatrix { //BraskState /ctm get setmatrix } bind def
  /initgraphics {
    //BraskState /ctm get setmatrix initclip newpath 0 setgray 1 setlinewidth [] 0 setdash
    0 setlinecap 0 setlinejoin 10 setmiterlimit
  } bind def
  /letter { } def /legal { } def /a4 { } def /a3 { } def /note { } def /ledger { } def /11x17 { } def
end
% Font substitution: Ghostscript calls $error /SubstituteFont with the missing name on the stack just before
% it substitutes. The names (with their order of arrival) are kept in a dictionary in global VM, which the
% job's own save and restore do not undo; at the job's end each is reported with the font drawn instead (the
% unaliased font that shares the substitute's glyph procedures) and the substitute is undefined again.
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
    (%%[BraskJob: font-substituted ) print 12 string cvs print ( ) print
    dup dup length string cvs print ( ) print
    //BraskUsedFont exec dup length string cvs print
    ( ]%%\n) print flush
  } forall
  % Ghostscript keeps a substitute under the missing name in global VM; without it the next job that asks
  % for the name substitutes again, and is reported.
  //BraskState /subst get {
    pop true setglobal { undefinefont } stopped { pop $error /newerror false put } if false setglobal
  } forall
} bind def
true setglobal BraskState /subst 1 dict put false setglobal
$error /SubstituteFont {
  //BraskState /subst get dup 2 index known { pop } { dup length 2 index exch put } ifelse
} put
/BraskMarkChanged { //BraskState /changed true put } bind def
/BraskGlobalChanged {
  //BraskState /changed false put
  //BraskState /gd get length globaldict length ne { //BraskMarkChanged exec } if
  globaldict {
    exch dup //BraskState /gd get exch known
    { //BraskState /gd get exch get ne { //BraskMarkChanged exec } if } { pop pop //BraskMarkChanged exec } ifelse
  } forall
  //BraskState /gfd get {
    exch dup GlobalFontDirectory exch known
    { GlobalFontDirectory exch get ne { //BraskMarkChanged exec } if } { pop pop //BraskMarkChanged exec } ifelse
  } forall
  GlobalFontDirectory {
    1 index //BraskState /gfd get exch known
    { pop pop }
    { dup type /dicttype eq
      { dup /FontName known { /FontName get ne { //BraskMarkChanged exec } if } { pop pop //BraskMarkChanged exec } ifelse }
      { pop pop //BraskMarkChanged exec } ifelse }
    ifelse
  } forall
  //BraskState /changed get
} bind def
/BraskRunJob {
  //BraskState exch /count exch put
  true setglobal //BraskState /subst 8 dict put false setglobal
  //BraskState /ctm matrix currentmatrix put
  //BraskState /save save put
  //BraskJobDict begin
  0 setgray 1 setlinewidth [] 0 setdash 0 setlinecap 0 setlinejoin 10 setmiterlimit newpath
  currentfile //BraskState /count get () /SubFileDecode filter
  dup //BraskState exch /file exch put
  cvx stopped
  cleardictstack
  { $error /newerror get
    { (%%[BraskJob: error ) print $error /errorname get 128 string cvs print
      ( in ) print $error /command get 128 string cvs print ( ]%%\n) print flush
      $error /newerror false put } if } if
  clear
  //BraskReportSubstitutions exec
  currentpagedevice /OutputFile get //BraskState /output get ne { (output-moved) //BraskReport exec } if
  //BraskState /file get dup status { flushfile } { pop } ifelse
  //BraskState /save get restore
  showpage
  << /OutputFile //BraskState /parking get >> setpagedevice
  //BraskGlobalChanged exec { (global-changed) //BraskReport exec } if
  (done) //BraskReport exec
} bind def
)PS";

std::string Number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", value);
    return text;
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

std::string StartupScript(const std::string& parkingPath) {
    std::string script =
        "userdict begin\n/BraskState 16 dict def\nBraskState /parking " + HexString(parkingPath) + " put\n";
    script += kProcedures;
    script += "end\n";
    return script;
}

std::string JobPrologue(const JobPage& page, const std::string& outputPath, std::string_view jobOptions,
                        std::uint64_t byteCount) {
    std::string s = "false setglobal clear\nBraskBaseline setdistillerparams\n";
    if (page.embedAllFonts)
        s += "<< /EmbedAllFonts true /NeverEmbed [ ] >> setdistillerparams\n";
    s += "BraskState /output " + HexString(outputPath) + " put\n<< /OutputFile " + HexString(outputPath);
    if (page.setPageSize)
        s += " /PageSize [" + Number(page.width) + " " + Number(page.height) + "]";
    s +=
        " /HWResolution [" + Number(page.resolution) + " " + Number(page.resolution) + "] >> setpagedevice\n";
    if (!jobOptions.empty()) {
        s += "{ " + HexString(jobOptions) +
             " cvx exec } stopped { (options-error) BraskReport $error /newerror false put } if clear\n";
    }
    s += "BraskState /gd globaldict dup length dict copy put\n"
         "BraskState /gfd GlobalFontDirectory dup length dict copy put\n"

         "initgraphics\n";
    if (page.moveOrigin)
        s += Number(-page.left) + " " + Number(-page.bottom) + " translate\n";
    s += std::to_string(byteCount) + " BraskRunJob\n";
    return s;
}

std::string RasterJobPrologue(std::string_view deviceName, const std::string& outputPath,
                              std::int32_t pixelWidth, std::int32_t pixelHeight, double xResolution,
                              double yResolution, std::string_view background, std::uint64_t byteCount) {
    // The page size is chosen so that the device's rounding gives exactly the requested pixels.
    char size[160];
    std::snprintf(size, sizeof size, "/PageSize [%.9g %.9g] /HWResolution [%.9g %.9g]",
                  pixelWidth * 72.0 / xResolution, pixelHeight * 72.0 / yResolution, xResolution,
                  yResolution);
    const std::string name(deviceName);
    std::string s = "false setglobal clear\n";
    s += "currentpagedevice /OutputDevice get /" + name + " ne { (" + name + ") selectdevice } if\n";
    s += "BraskState /output " + HexString(outputPath) + " put\n<< /OutputFile " + HexString(outputPath) +
         " " + size + " >> setpagedevice\n";
    s += "BraskState /gd globaldict dup length dict copy put\n"
         "BraskState /gfd GlobalFontDirectory dup length dict copy put\n"
         "initgraphics\n";
    if (!background.empty())
        s += "gsave " + std::string(background) + " clippath fill grestore\n";
    s += std::to_string(byteCount) + " BraskRunJob\n";
    return s;
}

} // namespace BRASK::WRAPPERS
