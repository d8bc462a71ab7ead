// Looks at PDFs the wrappers wrote: page box, content and fonts through qpdf, validity through
// `qpdf --check`, text through `pdftotext`.
#pragma once

#include "../support/Command.h"
#include "../support/PdfRaster.h"

#include <sys/wait.h>

#include <string>
#include <vector>

namespace BRASK::TEST {

struct PdfFacts {
    bool ok = false;
    std::string error;
    std::string version;                       // "1.7"
    double llx = 0, lly = 0, urx = 0, ury = 0; // the first page's crop box (the media box when none)
    int pages = 0;
    std::string content;            // the first page's content, decoded
    std::vector<std::string> fonts; // BaseFont names on the first page, forms included, sorted
    bool AllFontsEmbedded = true;
};

PdfFacts InspectPdf(const std::string& path);

// Runs a shell command, returns its standard output; `exitCode` receives the exit status (-1: none).
inline std::string RunCommand(const std::string& command, int& exitCode) {
    int status = -1;
    std::string output = Capture(command, &status);
    exitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

// `qpdf --check` accepts the file (exit status 0).
bool QpdfAccepts(const std::string& path, std::string& report);
std::string PdfToText(const std::string& path);

} // namespace BRASK::TEST
