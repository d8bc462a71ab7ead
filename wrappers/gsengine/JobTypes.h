// What a job is and how it ended: shared by the wrappers, the worker process and the engine.
#pragma once

#include "JobScript.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace BRASK::WRAPPERS {

struct EngineConfig {
    // Private temporary folder (created when missing): the interpreter's only freely writable place.
    std::string tempFolder;
    // Folders searched for fonts (FONTPATH); readable by jobs.
    std::vector<std::string> fontFolders;
    // Jobs run by one instance before it is replaced.
    int recycleAfterJobs = 300;
    // More start-up arguments of the interpreter (font maps and the folders they need readable).
    std::vector<std::string> extraArguments;
    // A raster interpreter (file raster devices) instead of the distiller.
    bool raster = false;
    // The interpreter process to start; empty: brask-gsworker beside the library (GsWorkerClient).
    std::string workerPath;
};

// How one render of a raster job paints: the device's colours and what lies under the picture. Two renders
// of the same job on opposite backgrounds give the picture's coverage.
enum class RasterPass : std::uint8_t { RgbOnWhite = 0, RgbOnBlack = 1, CmykOnNone = 2, CmykOnFull = 3 };

struct RasterRequest {
    bool enabled = false;
    std::int32_t width = 0;  // pixels
    std::int32_t height = 0; // pixels
    double xResolution = 72, yResolution = 72;
    std::vector<RasterPass> passes;
    bool sendPixels = true; // false: render and discard
    // Receives each pass's pixels (packed rows, 3 or 4 bytes per pixel) in pieces, in order; false refuses
    // more.
    std::function<bool(int pass, const char* data, std::size_t length)> pixels;
};

inline constexpr std::size_t kMaxRasterPasses = 4;
inline constexpr std::int32_t kMaxRasterSide = 32767;

inline int RasterComponents(RasterPass pass) {
    return pass == RasterPass::CmykOnNone || pass == RasterPass::CmykOnFull ? 4 : 3;
}

enum class JobStatus { Ok, Failed, TimedOut, NotStarted, BadParameter, OutputMissing };

struct JobRequest {
    std::string outputPath;
    JobPage page;
    std::string jobOptions;
    std::uint64_t byteCount = 0;
    // Fills up to `capacity` bytes; returns the number delivered, 0 at the end, negative on a read error.
    std::function<std::int64_t(char* buffer, std::size_t capacity)> read;
    // Puts `read` (and whatever the raster sink received) back to the start so that the job can run again;
    // false when it cannot. Without it a job never runs twice.
    std::function<bool()> rewind;
    RasterRequest raster;
};

// A font the job asked for that the interpreter replaced by another.
struct FontSubstitution {
    std::string requested;
    std::string used; // the PostScript name of the font program drawn instead ("unknown" when not found)
};

struct JobResult {
    JobResult(JobStatus status = JobStatus::Failed, std::string reason = {})
        : status(status), reason(std::move(reason)) {}

    JobStatus status = JobStatus::Failed;
    std::string reason; // why the job failed, for the log
    std::vector<FontSubstitution> fontSubstitutions;
};

} // namespace BRASK::WRAPPERS
