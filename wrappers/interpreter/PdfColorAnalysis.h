// Reads a PDF the distiller wrote and finds which colour spaces its first page paints with and whether the
// page shows only images.
#pragma once

#include <jaws/JawsApi.h>

#include <string>
#include <vector>

namespace BRASK::WRAPPERS {

struct PdfColorReport {
    // Distinct spaces in order of first use: device operators (g/rg/k), cs/CS, images, shadings, patterns.
    std::vector<JawsColorSpace> spaces;
    bool paintsImages = false;
    bool paintsOther = false; // paths, text or shadings
    bool RasterOnly() const { return paintsImages && !paintsOther; }
};

// False when the file cannot be read as a PDF (`error` says why).
bool AnalysePdfColors(const std::string& path, PdfColorReport& report, std::string& error);

} // namespace BRASK::WRAPPERS
