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
};

enum class JobStatus { Ok, Failed, TimedOut, NotStarted, BadParameter, OutputMissing };

struct JobRequest {
    std::string outputPath;
    JobPage page;
    std::string jobOptions;
    std::uint64_t byteCount = 0;
    // Fills up to `capacity` bytes; returns the number delivered, 0 at the end, negative on a read error.
    std::function<std::int64_t(char* buffer, std::size_t capacity)> read;
};

struct JobResult {
    JobStatus status = JobStatus::Failed;
    std::string reason; // why the job failed, for the log
};

} // namespace BRASK::WRAPPERS
