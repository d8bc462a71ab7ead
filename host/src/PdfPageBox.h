// The size of a PDF's first page, read with qpdf.
#pragma once

#include "brask/Status.h"

#include <cstdint>
#include <string>
#include <vector>

namespace BRASK::HOST {

struct PageSize {
    float width = 0;
    float height = 0;
};

// Opens `pdf` with qpdf and measures its first page: the CropBox (clipped to the MediaBox when both are
// given and overlap), else the MediaBox; width and height are swapped for /Rotate 90 and 270. kOK, or
// kEngineError when qpdf refuses the data and kMalformedData when there is no page or no usable box;
// `reason` then says why (qpdf's own text for kEngineError).
Status MeasureFirstPage(const std::vector<std::uint8_t>& pdf, PageSize& size, std::string& reason);

} // namespace BRASK::HOST
