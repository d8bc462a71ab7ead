// SVG (and gzip-compressed .svgz) to a one-page PDF with librsvg on a cairo PDF surface, at the picture's
// intrinsic size: 96 px = 72 pt; without width and height the viewBox, then the drawn extents.
#pragma once

#include <string>

namespace BRASK::WRAPPERS {

struct SvgSize {
    double width = 0; // CSS pixels
    double height = 0;
    double x = 0; // origin of the drawn extents when the size comes from them
    double y = 0;
};

// The size the page gets, in pixels; false when the file cannot be read as SVG.
bool MeasureSvg(const std::string& path, SvgSize& size, std::string& error);

bool ConvertSvgToPdf(const std::string& sourcePath, const std::string& outputPath, std::string& error);

} // namespace BRASK::WRAPPERS
