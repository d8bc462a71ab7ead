// `epsimport --info FILE...`: scans each file's DSC comments and prints one JSON object per line.
#pragma once

#include "brask_host/Host.h"

#include <ostream>
#include <string>
#include <vector>

namespace BRASK::EPSIMPORT {

// Returns the exit status: 0 when every file scanned with status 0, else 1. A file that cannot be opened
// gives an object with an "error" text and status 1.
int RunInfo(HOST::Host& host, const std::vector<std::string>& files, std::ostream& out);

} // namespace BRASK::EPSIMPORT
