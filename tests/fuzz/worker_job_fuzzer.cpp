// libFuzzer target: the worker's reading of a frame on arbitrary bytes: a MessageHeader, then the rest as the
// payload of a job (and of a font substitution, the reply with a length inside). A decoder that refuses says
// why; whatever is accepted must be a job the engine can take.
#include "WorkerProtocol.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace BRASK::WRAPPERS;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MessageHeader header;
    if (size < sizeof header)
        return 0;
    std::memcpy(&header, data, sizeof header);
    const std::string_view payload(reinterpret_cast<const char*>(data) + sizeof header, size - sizeof header);
    std::string headerError, jobError, substitutionError;
    JobMessage message;
    FontSubstitution substitution;
    // A refusal without a reason is a fault.
    if ((!DecodeHeader(header, headerError) && headerError.empty()) ||
        (!Decode(payload, message, jobError) && jobError.empty()) ||
        (!Decode(payload, substitution, substitutionError) && substitutionError.empty()))
        std::abort();
    if (!jobError.empty())
        return 0;
    // An accepted job holds only values the engine takes.
    const JobRequest& job = message.job;
    const bool pageOk = std::isfinite(job.page.width) && std::isfinite(job.page.height) &&
                        job.page.width >= 0 && job.page.height >= 0 && job.page.resolution >= 1;
    const bool rasterOk =
        !job.raster.enabled || (!job.raster.passes.empty() && job.raster.passes.size() <= kMaxRasterPasses &&
                                job.raster.width >= 1 && job.raster.width <= kMaxRasterSide &&
                                job.raster.height >= 1 && job.raster.height <= kMaxRasterSide);
    const bool pathOk =
        job.raster.enabled || (!job.outputPath.empty() && job.outputPath.find('\0') == std::string::npos);
    if (!pageOk || !rasterOk || !pathOk || job.outputPath.size() > kMaxPathLength)
        std::abort();
    return 0;
}
