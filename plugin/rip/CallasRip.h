// Converts a picture file to PDF through the converter wrapper, steered by a job-options file.
#pragma once

#include "CallasLibrary.h"

#include "brask/IO.h"
#include "brask/Status.h"

namespace BRASK::PLUGIN {

class CallasRip {
public:
    // Keeps `uri` (borrowed; may be null when the picture has no file) and initialises the converter.
    explicit CallasRip(IO::IURI* uri, CallasLibrary& library = CallasLibrary::Instance());

    static constexpr Status kConversionFailed = 7;

    // Writes the job-options file, converts the picture to `pdfPath` and removes the job options again.
    // 0, or 7 when the converter is missing, the picture has no file, the converter refused or it threw.
    Status CreatePDFGraphics(const char* pdfPath, bool isEPS);

private:
    IO::IURI* mURI;
    CallasLibrary& mLibrary;
};

} // namespace BRASK::PLUGIN
