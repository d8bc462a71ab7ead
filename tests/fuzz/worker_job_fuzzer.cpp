// libFuzzer target: the worker's reading of a job request (JobDecoder) on arbitrary bytes: a JobHeader, then
// the output path and job options it announces, cut to what the input holds. Whatever is accepted must be a
// job the engine can take.
#include "JobDecoder.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace BRASK::WRAPPERS;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    JobHeader header;
    if (size < sizeof header)
        return 0;
    std::memcpy(&header, data, sizeof header);
    data += sizeof header;
    size -= sizeof header;
    std::string error;
    if (!CheckJobFraming(header, error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    const std::size_t pathLength = std::min<std::size_t>(header.pathLength, size);
    std::string path(reinterpret_cast<const char*>(data), pathLength);
    const std::size_t optionsLength = std::min<std::size_t>(header.optionsLength, size - pathLength);
    std::string options(reinterpret_cast<const char*>(data + pathLength), optionsLength);
    JobRequest job;
    if (!DecodeJob(header, std::move(path), std::move(options), job, error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    // An accepted job holds only values the engine takes.
    const bool pageOk = std::isfinite(job.page.width) && std::isfinite(job.page.height) &&
                        job.page.width >= 0 && job.page.height >= 0 && job.page.resolution >= 1;
    const bool rasterOk =
        !job.raster.enabled || (!job.raster.passes.empty() && job.raster.passes.size() <= kMaxRasterPasses &&
                                job.raster.width >= 1 && job.raster.width <= kMaxRasterSide &&
                                job.raster.height >= 1 && job.raster.height <= kMaxRasterSide);
    const bool pathOk =
        job.raster.enabled || (!job.outputPath.empty() && job.outputPath.find('\0') == std::string::npos);
    if (!pageOk || !rasterOk || !pathOk)
        std::abort();
    return 0;
}
