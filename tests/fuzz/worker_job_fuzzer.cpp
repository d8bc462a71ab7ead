// libFuzzer target: the worker's reading of a frame on arbitrary bytes: a MessageHeader, then the rest as the
// payload of a job (and of each reply the wrapper reads). A decoder that refuses says why; whatever is
// accepted must be a job the engine can take.
#include "WorkerProtocol.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace BRASK::WRAPPERS;

namespace {

// A refusal without a reason is a fault.
template <class Decoded> void Check(bool accepted, const std::string& error, Decoded&& valid) {
    if ((!accepted && error.empty()) || (accepted && !valid()))
        std::abort();
}

bool JobIsValid(const JobRequest& job) {
    const bool pageOk = std::isfinite(job.page.width) && std::isfinite(job.page.height) &&
                        job.page.width >= 0 && job.page.height >= 0 && job.page.resolution >= 1;
    const bool rasterOk =
        !job.raster.enabled || (!job.raster.passes.empty() && job.raster.passes.size() <= kMaxRasterPasses &&
                                job.raster.width >= 1 && job.raster.width <= kMaxRasterSide &&
                                job.raster.height >= 1 && job.raster.height <= kMaxRasterSide);
    const bool pathOk =
        job.raster.enabled || (!job.outputPath.empty() && job.outputPath.find('\0') == std::string::npos);
    return pageOk && rasterOk && pathOk && job.outputPath.size() <= kMaxPathLength &&
           job.jobOptions.size() <= kMaxOptionsLength;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MessageHeader header;
    if (size < sizeof header)
        return 0;
    std::memcpy(&header, data, sizeof header);
    const std::string_view payload(reinterpret_cast<const char*>(data) + sizeof header, size - sizeof header);
    std::string error;
    const bool headerOk = DecodeHeader(header, error);
    Check(headerOk, error,
          [&] { return header.magic == kProtocolMagic && header.version == kProtocolVersion; });

    JobMessage job;
    error.clear();
    const bool jobOk = Decode(payload, job, error);
    Check(jobOk, error, [&] { return JobIsValid(job.job); });

    LogMessage log;
    ResultMessage result;
    PixelsMessage pixels;
    FontSubstitution substitution;
    error.clear();
    Check(Decode(payload, log, error), error, [] { return true; });
    error.clear();
    Check(Decode(payload, result, error), error, [] { return true; });
    error.clear();
    Check(Decode(payload, kMaxRasterPasses, pixels, error), error,
          [&] { return pixels.pass < kMaxRasterPasses; });
    error.clear();
    Check(Decode(payload, substitution, error), error,
          [&] { return substitution.requested.size() + substitution.used.size() + 4 <= payload.size(); });
    return 0;
}
