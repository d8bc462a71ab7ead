// The interpreter wrapper's raster device: opened over the caller's pixmap, fed block by block, rendered by
// the raster interpreter process at the last block; without a pixmap, distilled for its colour spaces.
#include "JawsLibrary.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
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
    mRasterBytes.clear();
    mRasterBytes.shrink_to_fit();
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
        mRasterBytes.clear();
        if (prologueLength > 0)
            mRasterBytes.assign(prologue, static_cast<std::size_t>(prologueLength));
        mRasterBytes.push_back('\n');
        mRasterFeeding = true;
    }
    mRasterBytes.append(static_cast<const char*>(data), static_cast<std::size_t>(length));
    if ((flags & 2u) == 0)
        return kJawsOK;
    mRasterFeeding = false;
    const int32_t status = RenderRaster();
    mRasterBytes.clear();
    return status;
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
    JobRequest job;
    job.outputPath = scratch;
    job.page.width = mRaster->widthPoints;
    job.page.height = mRaster->heightPoints;
    job.page.moveOrigin = false; // the caller's prologue, part of the bytes, places the picture
    job.page.embedAllFonts = false;
    job.byteCount = mRasterBytes.size();
    std::size_t at = 0;
    job.read = [this, &at](char* buffer, std::size_t capacity) -> std::int64_t {
        const std::size_t count = std::min(capacity, mRasterBytes.size() - at);
        std::memcpy(buffer, mRasterBytes.data() + at, count);
        at += count;
        return static_cast<std::int64_t>(count);
    };
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
    JobRequest job;
    job.raster.enabled = true;
    job.raster.width = setup.width;
    job.raster.height = setup.height;
    job.raster.xResolution = setup.xResolution;
    job.raster.yResolution = setup.yResolution;
    job.raster.passes = setup.Passes();
    job.raster.sendPixels = setup.hasPixmap;
    std::vector<std::vector<char>> renders(job.raster.passes.size());
    for (std::size_t i = 0; i < renders.size(); ++i)
        renders[i].reserve(static_cast<std::size_t>(setup.width) * static_cast<std::size_t>(setup.height) *
                           static_cast<std::size_t>(RasterComponents(job.raster.passes[i])));
    job.raster.pixels = [&renders](int pass, const char* pixels, std::size_t length) {
        if (pass < 0 || static_cast<std::size_t>(pass) >= renders.size())
            return false;
        std::vector<char>& render = renders[static_cast<std::size_t>(pass)];
        if (render.size() + length > render.capacity())
            return false;
        render.insert(render.end(), pixels, pixels + length);
        return true;
    };
    job.byteCount = mRasterBytes.size();
    std::size_t at = 0;
    job.read = [this, &at](char* buffer, std::size_t capacity) -> std::int64_t {
        const std::size_t count = std::min(capacity, mRasterBytes.size() - at);
        std::memcpy(buffer, mRasterBytes.data() + at, count);
        at += count;
        return static_cast<std::int64_t>(count);
    };
    const JobResult result = mRasterEngine->Run(job);
    if (result.status != JobStatus::Ok)
        return result.status == JobStatus::OutputMissing ? kJawsFailed : JawsStatus(result.status);
    for (std::size_t i = 0; setup.hasPixmap && i < renders.size(); ++i) {
        if (renders[i].size() != renders[i].capacity() || renders[i].empty()) {
            Log(kJawsLogError, "the interpreter process sent an incomplete render");
            return kJawsFailed;
        }
    }
    std::string error;
    if (!ComposePixmap(setup, renders, error)) {
        Log(kJawsLogError, error);
        return kJawsFailed;
    }
    return kJawsOK;
}

} // namespace BRASK::WRAPPERS
