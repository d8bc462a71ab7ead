// Raster jobs of the engine: the job's bytes are read once into a scratch file, then rendered once per pass
// with a file raster device (ppmraw for RGB, pamcmyk32 for CMYK) into the private folder; each file is
// checked against the requested size and handed to the request's sink piece by piece, then removed. Neither
// the PostScript nor a raster is held whole in memory.
#include "GsEngine.h"
#include "PnmFile.h"
#include "SpoolFile.h"

#include <ghostscript/gserrors.h>

#include <unistd.h>

namespace BRASK::WRAPPERS {

namespace {

constexpr std::size_t kFeedSize = 65535;         // the largest block gsapi_run_string_continue takes
constexpr std::size_t kPixelPiece = 1024 * 1024; // pixels handed to the sink at a time

const char* DeviceName(RasterPass pass) {
    return RasterComponents(pass) == 4 ? "pamcmyk32" : "ppmraw";
}

// What is painted under the picture: nothing, or the colour opposite to the device's empty page.
const char* Background(RasterPass pass) {
    switch (pass) {
    case RasterPass::RgbOnBlack:
        return "0 setgray";
    case RasterPass::CmykOnFull:
        return "1 1 1 1 setcmykcolor";
    default:
        return "";
    }
}

bool ValidRaster(const RasterRequest& raster) {
    const auto goodResolution = [](double r) { return r >= 1 && r <= 100000; };
    return raster.width > 0 && raster.height > 0 && raster.width <= kMaxRasterSide &&
           raster.height <= kMaxRasterSide && !raster.passes.empty() &&
           raster.passes.size() <= kMaxRasterPasses && goodResolution(raster.xResolution) &&
           goodResolution(raster.yResolution) && (!raster.sendPixels || raster.pixels);
}

} // namespace

JobResult GsEngine::RunRasterLocked(const JobRequest& job) {
    if (!job.read || !ValidRaster(job.raster))
        return {JobStatus::BadParameter, "bad raster job parameters"};
    if (!StartLocked())
        return {JobStatus::NotStarted, "the interpreter is not running"};

    // Every pass renders the same bytes, so they are read once, into a scratch file.
    SpoolFile data;
    std::string error;
    if (!data.Open(mConfig.tempFolder, error))
        return {JobStatus::Failed, error};
    std::uint64_t remaining = job.byteCount;
    std::vector<char> block(kFeedSize);
    while (remaining > 0) {
        const std::int64_t got = job.read(
            block.data(), static_cast<std::size_t>(std::min<std::uint64_t>(remaining, block.size())));
        if (got < 0)
            return {JobStatus::Failed, "reading the PostScript failed"};
        if (got == 0)
            break;
        if (!data.Append(block.data(), static_cast<std::size_t>(got)))
            return {JobStatus::Failed, "the PostScript cannot be kept in the temporary folder"};
        remaining -= static_cast<std::uint64_t>(got);
    }
    // Up to the end of the input, so that the wrapper has sent everything before pixels come back.
    while (job.read(block.data(), block.size()) > 0) {
    }

    JobResult result{JobStatus::Ok, {}};
    bool recycle = false;
    for (std::size_t pass = 0; pass < job.raster.passes.size() && result.status == JobStatus::Ok; ++pass)
        result = RenderPass(job, pass, data, recycle);
    ++mJobsSinceStart;
    if (recycle || mJobsSinceStart >= mConfig.recycleAfterJobs)
        StopLocked();
    SweepScratchFiles();
    return result;
}

JobResult GsEngine::RenderPass(const JobRequest& job, std::size_t pass, const SpoolFile& data,
                               bool& recycle) {
    const RasterPass mode = job.raster.passes[pass];
    const std::string path = mConfig.tempFolder + "/raster-" + std::to_string(pass) + ".pnm";
    unlink(path.c_str());
    mInstance->PermitWriting(path);
    std::vector<char> block(kFeedSize);
    std::uint64_t at = 0;
    bool readError = false;
    const JobEnd end = RunWrapped(
        [&](std::string_view nonce) {
            return RasterJobPrologue(DeviceName(mode), path, job.raster.width, job.raster.height,
                                     job.raster.xResolution, job.raster.yResolution, Background(mode),
                                     data.Size(), nonce);
        },
        [&](const char*& next) -> std::int64_t {
            const std::int64_t got = data.ReadAt(at, block.data(), block.size());
            if (got > 0)
                at += static_cast<std::uint64_t>(got);
            next = block.data();
            return got;
        },
        readError);
    recycle = recycle || end.recycle;
    if (!recycle)
        mInstance->RevokeWriting(path);

    JobResult result = end.failure;
    if (result.status == JobStatus::Ok)
        result = SendRaster(job, pass, path);
    unlink(path.c_str());
    return result;
}

JobResult GsEngine::SendRaster(const JobRequest& job, std::size_t pass, const std::string& path) {
    PnmReader raster;
    std::string error;
    if (!raster.Open(path, error))
        return {JobStatus::OutputMissing, error};
    if (raster.Width() != job.raster.width || raster.Height() != job.raster.height ||
        raster.Components() != RasterComponents(job.raster.passes[pass]))
        return {JobStatus::OutputMissing, "the render has " + std::to_string(raster.Width()) + " x " +
                                              std::to_string(raster.Height()) + " pixels, not the " +
                                              std::to_string(job.raster.width) + " x " +
                                              std::to_string(job.raster.height) + " requested"};
    if (!job.raster.sendPixels)
        return {JobStatus::Ok, {}};
    std::vector<char> piece(
        static_cast<std::size_t>(std::min<std::uint64_t>(raster.Remaining(), kPixelPiece)));
    while (raster.Remaining() > 0) {
        const std::size_t length =
            static_cast<std::size_t>(std::min<std::uint64_t>(raster.Remaining(), piece.size()));
        if (!raster.Read(piece.data(), length, error))
            return {JobStatus::OutputMissing, error};
        if (!job.raster.pixels(static_cast<int>(pass), piece.data(), length))
            return {JobStatus::Failed, "the pixels could not be delivered"};
    }
    return {JobStatus::Ok, {}};
}

} // namespace BRASK::WRAPPERS
