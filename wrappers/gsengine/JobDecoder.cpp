#include "JobDecoder.h"

#include <cmath>

namespace BRASK::WRAPPERS {

namespace {

constexpr double kMaxPagePoints = 1e6;   // the page side, in points
constexpr double kMaxOriginPoints = 1e7; // the box's corner, in points
constexpr double kMinResolution = 1;
constexpr double kMaxResolution = 100000;
constexpr std::uint64_t kMaxByteCount = std::uint64_t(1) << 53; // exact as a PostScript number
constexpr std::uint32_t kMaxTimeLimitSeconds = 1000000;

bool Flag(std::uint8_t value) {
    return value == 0 || value == 1;
}

bool Within(double value, double low, double high) {
    return std::isfinite(value) && value >= low && value <= high;
}

// The page of a distiller job and the renders of a raster job; a job of one kind keeps the other's defaults.
void DecodePage(const JobHeader& header, JobPage& page) {
    page.width = header.width;
    page.height = header.height;
    page.left = header.left;
    page.bottom = header.bottom;
    page.resolution = header.resolution;
    page.setPageSize = header.setPageSize != 0;
    page.moveOrigin = header.moveOrigin != 0;
    page.embedAllFonts = header.embedAllFonts != 0;
}

bool DecodeRaster(const JobHeader& header, RasterRequest& raster, std::string& error) {
    for (std::uint8_t i = 0; i < header.passCount; ++i) {
        if (header.passes[i] > static_cast<std::uint8_t>(RasterPass::CmykOnFull)) {
            error = "raster pass " + std::to_string(i) + " has the unknown kind " +
                    std::to_string(header.passes[i]);
            raster = RasterRequest{};
            return false;
        }
        raster.passes.push_back(static_cast<RasterPass>(header.passes[i]));
    }
    raster.enabled = true;
    raster.width = header.pixelWidth;
    raster.height = header.pixelHeight;
    raster.xResolution = header.xResolution;
    raster.yResolution = header.yResolution;
    raster.sendPixels = header.sendPixels != 0;
    return true;
}

} // namespace

bool CheckJobFraming(const JobHeader& header, std::string& error) {
    if (header.magic != kJobMagic)
        error = "the job header does not start with the job magic";
    else if (header.pathLength > kMaxPathLength)
        error = "the output path is longer than " + std::to_string(kMaxPathLength) + " bytes";
    else if (header.optionsLength > kMaxOptionsLength)
        error = "the job options are longer than " + std::to_string(kMaxOptionsLength) + " bytes";
    else
        return true;
    return false;
}

bool DecodeJob(const JobHeader& header, std::string outputPath, std::string jobOptions, JobRequest& job,
               std::string& error) {
    job = JobRequest{};
    if (!CheckJobFraming(header, error))
        return false;
    if (outputPath.size() != header.pathLength || jobOptions.size() != header.optionsLength)
        error = "the texts do not have the lengths the header announced";
    else if (outputPath.find('\0') != std::string::npos)
        error = "the output path holds a NUL byte";
    else if (!Flag(header.raster) || !Flag(header.setPageSize) || !Flag(header.moveOrigin) ||
             !Flag(header.embedAllFonts) || !Flag(header.sendPixels))
        error = "a flag of the job header is neither 0 nor 1";
    else if (header.byteCount > kMaxByteCount)
        error = "the byte count " + std::to_string(header.byteCount) + " is too large";
    else if (header.timeLimitSeconds > kMaxTimeLimitSeconds)
        error = "the time limit " + std::to_string(header.timeLimitSeconds) + " s is too large";
    else if (header.raster == 0 && outputPath.empty())
        error = "a distiller job needs an output path";
    else if (header.raster == 0 &&
             (!Within(header.width, 0, kMaxPagePoints) || !Within(header.height, 0, kMaxPagePoints) ||
              !Within(header.left, -kMaxOriginPoints, kMaxOriginPoints) ||
              !Within(header.bottom, -kMaxOriginPoints, kMaxOriginPoints) ||
              !Within(header.resolution, kMinResolution, kMaxResolution)))
        error = "the page of the job header is out of range";
    else if (header.raster != 0 && (header.passCount < 1 || header.passCount > kMaxRasterPasses))
        error = "a raster job needs 1 to " + std::to_string(kMaxRasterPasses) + " passes, not " +
                std::to_string(header.passCount);
    else if (header.raster != 0 && (header.pixelWidth < 1 || header.pixelWidth > kMaxRasterSide ||
                                    header.pixelHeight < 1 || header.pixelHeight > kMaxRasterSide ||
                                    !Within(header.xResolution, kMinResolution, kMaxResolution) ||
                                    !Within(header.yResolution, kMinResolution, kMaxResolution)))
        error = "the raster of the job header is out of range";
    if (!error.empty())
        return false;

    job.outputPath = std::move(outputPath);
    job.jobOptions = std::move(jobOptions);
    job.byteCount = header.byteCount;
    if (header.raster == 0) {
        DecodePage(header, job.page);
    } else if (!DecodeRaster(header, job.raster, error)) {
        job = JobRequest{};
        return false;
    }
    return true;
}

} // namespace BRASK::WRAPPERS
