// `epsimport --preview FILE.png [--dpi N] [--cmyk] [--translate] EPSFILE`: renders the EPS through the
// plug-in's RIP object (JawsRip::Rasterize) and writes a PNG with alpha.
//
// The plug-in loaded with dlopen offers only Init and GetClassObject, which reach no raster entry, so this
// mode links the plug-in's static libraries (brask_rip and what it needs) and runs the RIP in this process.
// It uses the same application folder as the placing mode (DefaultApplicationFolder(): the interpreter
// wrapper libBraskPDF.so, its worker and Profiles/), so both modes render with the same wrapper and profiles.
// A CMYK render is shown through the host's CMYK -> RGB profile transform (the colour translator's).
#pragma once

#include "CommandLine.h"

#include "brask_host/Host.h"

#include <ostream>

namespace BRASK::EPSIMPORT {

// The host must be published as the core registry. Returns the exit status: 0 when the PNG was written,
// 1 otherwise (the reason goes to `err`). Prints "W x H" and the output path to `out`.
int RunPreview(HOST::Host& host, const CommandLine& line, std::ostream& out, std::ostream& err);

} // namespace BRASK::EPSIMPORT
