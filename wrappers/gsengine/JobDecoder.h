// How the worker turns what its wrapper sent (a JobHeader and the two texts behind it) into a job: every
// value is checked, and one it cannot take is refused with the reason instead of being masked or clamped.
#pragma once

#include "JobTypes.h"
#include "WorkerProtocol.h"

#include <string>

namespace BRASK::WRAPPERS {

// The values that frame the request (magic and text lengths): when they are bad the rest of the stream
// cannot be found. False with `error`.
bool CheckJobFraming(const JobHeader& header, std::string& error);

// Builds `job` (everything but its read and pixel callbacks) from a header whose framing was checked and
// the texts it announced. False with `error` when any value is out of range.
bool DecodeJob(const JobHeader& header, std::string outputPath, std::string jobOptions, JobRequest& job,
               std::string& error);

} // namespace BRASK::WRAPPERS
