// `epsimport FILE...`: places each picture through the plug-in and prints what the host learns, one JSON
// object per line.
#pragma once

#include "CommandLine.h"
#include "PluginLoader.h"

#include "brask_host/Host.h"

#include <ostream>

namespace BRASK::EPSIMPORT {

// Returns the exit status: 0 when every picture was placed with status 0 and a PDF, else 1.
int RunPlace(HOST::Host& host, PluginLoader& plugin, const CommandLine& line, std::ostream& out,
             std::ostream& err);

// SVG when the content starts with "<" after an optional byte-order mark and white space, or is gzip data
// (.svgz); else EPS.
FileType DetectFileType(const unsigned char* bytes, std::size_t length);

} // namespace BRASK::EPSIMPORT
