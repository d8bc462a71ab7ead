// Converts a picture file to PDF through the converter wrapper, steered by a job-options file.
#pragma once

#include "CallasLibrary.h"

#include "brask/IClassFactory.h"
#include "brask/IO.h"
#include "brask/Status.h"

namespace BRASK::PLUGIN {

class CallasRip {
public:
    // Keeps `uri` (borrowed; may be null when the picture has no file) and initialises the process's
    // converter, or `library`; the job-options file and the fonts are made through `factory` (borrowed).
    CallasRip(IO::IURI* uri, IClassFactory* factory);
    CallasRip(IO::IURI* uri, IClassFactory* factory, CallasLibrary& library);

    static constexpr Status kConversionFailed = 7;

    // Writes the job-options file, converts the picture to `pdfPath` and removes the job options again.
    // 0, or 7 when the converter is missing, the picture has no file, the converter refused or it threw.
    Status CreatePDFGraphics(const char* pdfPath, bool isEPS);

private:
    IO::IURI* mURI;
    IClassFactory* mFactory;
    CallasLibrary& mLibrary;
};

} // namespace BRASK::PLUGIN
