// The interpreter wrapper's raster device: opened over the caller's pixmap, fed block by block (collected in
// a scratch file), rendered by the raster interpreter process at the last block and written into the pixmap
// as the pixels arrive; without a pixmap, distilled for its colour spaces.
#include "JawsLibrary.h"
#include "PixmapComposer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace BRASK::WRAPPERS {

int32_t JawsLibrary::SetupRasterDevice(std::int32_t width, std::int32_t height, std::int32_t xResolution,
                                       std::int32_t yResolution, std::int16_t modelBits, RipPixmap* pixmap,
                                       RipColorCallback* callback) {
    TearDownRasterDevice();
    RasterSetup setup;
    std::string error;
    const int32_t status =
        MakeRasterSetup(width, height, xResolution, yResolution, modelBits, pixmap, callback, setup, error);
    if (status != kJawsOK) {
        Log(kJawsLogError, "the raster device cannot be opened: " + error);
        return status;
    }
    if (mEngine == nullptr)
        return kJawsNotStarted;
    mRaster = setup;
    return kJawsOK;
}

int32_t JawsLibrary::TearDownRasterDevice() {
    const bool open = mRaster.has_value();
    mRaster.reset();
    mRasterBytes.Close();
    mRasterFeeding = false;
    return open ? kJawsOK : kJawsFailed; // nothing to close
}

int32_t JawsLibrary::DrawRasterBlock(std::uint32_t flags, const void* data, std::int32_t length,
                                     const char* prologue, std::int16_t prologueLength) {
    if (!mRaster) {
        Log(kJawsLogError, "BEPSDrawPageContents: no raster device is open");
        return kJawsFailed;
    }
    if (length < 0 || (data == nullptr && length > 0) || (prologue == nullptr && prologueLength > 0)) {
        Log(kJawsLogError, "BEPSDrawPageContents: bad block");
        return kJawsBadParameter;
    }
    // The first block (or the first after a finished job) starts a new job with the prologue.
    if ((flags & 1u) != 0 || !mRasterFeeding) {
        std::string error;
        mRasterFeeding = false;
        if (!mRasterBytes.Open(mTempFolder, error) ||
            !mRasterBytes.Append(prologue,
                                 static_cast<std::size_t>(std::max<std::int16_t>(prologueLength, 0))) ||
            !mRasterBytes.Append("\n", 1)) {
            Log(kJawsLogError, "BEPSDrawPageContents: the PostScript cannot be kept: " + error);
            mRasterBytes.Close();
            return kJawsFailed;
        }
        mRasterFeeding = true;
    }
    if (!mRasterBytes.Append(data, static_cast<std::size_t>(length))) {
        Log(kJawsLogError, "BEPSDrawPageContents: the PostScript cannot be kept in " + mTempFolder);
        mRasterBytes.Close();
        mRasterFeeding = false;
        return kJawsFailed;
    }
    if ((flags & 2u) == 0)
        return kJawsOK;
    mRasterFeeding = false;
    const int32_t status = RenderRaster();
    mRasterBytes.Close();
    return status;
}

JobRequest JawsLibrary::RasterBytesJob() const {
    JobRequest job;
    job.byteCount = mRasterBytes.Size();
    auto at = std::make_shared<std::uint64_t>(0);
    job.read = [this, at](char* buffer, std::size_t capacity) -> std::int64_t {
        const std::int64_t got = mRasterBytes.ReadAt(*at, buffer, capacity);
        if (got > 0)
            *at += static_cast<std::uint64_t>(got);
        return got;
    };
    job.rewind = [at] {
        *at = 0;
        return true;
    };
    return job;
}

int32_t JawsLibrary::AnalyseRaster() {
    ColorSpaceClear();
    std::string scratch = mTempFolder + "/analysis-XXXXXX.pdf";
    const int fd = mkstemps(scratch.data(), 4);
    if (fd < 0) {
        Log(kJawsLogError, "cannot create a scratch file in " + mTempFolder);
        return kJawsFailed;
    }
    close(fd);
    JobRequest job = RasterBytesJob();
    job.outputPath = scratch;
    job.page.width = mRaster->widthPoints;
    job.page.height = mRaster->heightPoints;
    job.page.moveOrigin = false; // the caller's prologue, part of the bytes, places the picture
    job.page.embedAllFonts = false;
    const JobResult result = mEngine->Run(job);
    if (result.status == JobStatus::Ok)
        Analyse(scratch);
    unlink(scratch.c_str());
    return result.status == JobStatus::Ok ? kJawsOK : kJawsFailed;
}

int32_t JawsLibrary::RenderRaster() {
    if (mEngine == nullptr || mRasterEngine == nullptr)
        return kJawsNotStarted;
    if (!mRaster->hasPixmap)
        return AnalyseRaster();
    const RasterSetup& setup = *mRaster;
    JobRequest job = RasterBytesJob();
    job.raster.enabled = true;
    job.raster.width = setup.width;
    job.raster.height = setup.height;
    job.raster.xResolution = setup.xResolution;
    job.raster.yResolution = setup.yResolution;
    job.raster.passes = setup.Passes();
    job.raster.sendPixels = true;
    PixmapComposer composer(setup);
    job.raster.pixels = [&composer](int pass, const char* pixels, std::size_t length) {
        return composer.Take(pass, pixels, length);
    };
    // A job run again delivers its renders again from the first.
    job.rewind = [&composer, &setup, rewind = job.rewind] {
        composer = PixmapComposer(setup);
        return rewind();
    };
    const JobResult result = mRasterEngine->Run(job);
    std::string error;
    // A callback that failed, or pixels out of place, fail the render whatever the worker says.
    if (!composer.Finish(error) && result.status == JobStatus::Ok) {
        Log(kJawsLogError, error);
        return kJawsFailed;
    }
    if (result.status != JobStatus::Ok) {
        if (!error.empty() && error != "the interpreter process sent an incomplete render")
            Log(kJawsLogError, error);
        return result.status == JobStatus::OutputMissing ? kJawsFailed : JawsStatus(result.status);
    }
    return kJawsOK;
}

} // namespace BRASK::WRAPPERS
