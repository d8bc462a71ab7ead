// The command line of epsimport: one mode, its options and its files. New modes add an enumerator, their
// options and a file of their own beside InfoMode and PlaceMode.
#pragma once

#include <string>
#include <vector>

namespace BRASK::EPSIMPORT {

enum class Mode {
    Place,   // FILE...: place each file through the plug-in, one JSON object per file (the default)
    Info,    // --info FILE...: print what the DSC comments say, one JSON object per file
    Preview, // --preview FILE.png EPSFILE: render the EPS through the plug-in's RIP into a PNG
    Help,    // --help
};

enum class FileType { Detect, EPS, SVG };

struct CommandLine {
    Mode mode = Mode::Place;
    std::vector<std::string> files;
    std::string output;    // -o FILE: the PDF of the one input
    std::string outputDir; // --output-dir DIR: DIR/<name>.pdf for each input
    bool interpreter = false;
    bool draft = false;
    bool verbose = false;
    bool strictFonts = false; // --strict-fonts: a font substitution fails the placement
    FileType type = FileType::Detect;
    int jobs = 0;           // -j N: worker processes for a batch; 0 until given (the number of cores)
    std::string preview;    // --preview FILE.png
    double dpi = 72;        // --dpi N (preview)
    bool cmyk = false;      // --cmyk (preview): render CMYK, shown through the CMYK -> RGB profile transform
    bool translate = false; // --translate (preview): colours through the host's ICC transform
    // Set when the command line cannot be used; the tool prints it with the usage and exits with 2.
    std::string error;
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

// The options, for --help and error output.
const char* UsageText();

} // namespace BRASK::EPSIMPORT
