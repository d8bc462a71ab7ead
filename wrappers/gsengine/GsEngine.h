// The warm distiller: one Ghostscript instance kept between jobs, each job's PostScript fed from the caller's
// bytes into its own PDF, the instance recycled after a fatal result, a global-VM change or a number of jobs.
#pragma once

#include "GsInstance.h"
#include "JobScript.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace BRASK::WRAPPERS {

struct EngineConfig {
    // Private temporary folder (created when missing): the interpreter's only freely writable place.
    std::string tempFolder;
    // Folders searched for fonts (FONTPATH); readable by jobs.
    std::vector<std::string> fontFolders;
    // Jobs run by one instance before it is replaced.
    int recycleAfterJobs = 300;
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

class GsEngine {
public:
    // kind 1 informational, 2 error.
    using MessageSink = std::function<void(int kind, std::string_view message)>;

    GsEngine(EngineConfig config, MessageSink sink);
    ~GsEngine();
    GsEngine(const GsEngine&) = delete;
    GsEngine& operator=(const GsEngine&) = delete;

    // Starts the instance when none runs; false when it cannot be started.
    bool Start();
    bool IsRunning() const;
    // Runs one job; thread-safe (jobs are serialised).
    JobResult Run(const JobRequest& job);
    // Stops the running job at the next poll.
    void Abort() { mAbort = true; }
    // Stops the instance; the next job starts a new one.
    void Stop();

    int JobsRun() const { return mJobsRun; }
    int InstancesStarted() const { return mInstancesStarted; }
    const EngineConfig& Config() const { return mConfig; }

    // The job time limit: BRASK_JOB_TIMEOUT_SECONDS when set to a positive number, else 60 s.
    static std::chrono::milliseconds TimeLimit();

private:
    bool StartLocked();
    void StopLocked();
    void OnLine(GsStream stream, std::string_view line);
    bool PollOk();
    JobResult RunLocked(const JobRequest& job);

    EngineConfig mConfig;
    MessageSink mSink;
    std::string mParkingPath;
    mutable std::recursive_mutex mLock;
    std::unique_ptr<GsInstance> mInstance;
    int mJobsSinceStart = 0;
    std::atomic<int> mJobsRun{0};
    std::atomic<int> mInstancesStarted{0};

    // State of the running job, written by the interpreter's callbacks.
    std::atomic<bool> mAbort{false};
    bool mJobActive = false;
    bool mDeadlinePassed = false;
    std::chrono::steady_clock::time_point mDeadline;
    bool mSawDone = false;
    bool mSawGlobalChange = false;
    std::string mJobError;
};

// Whether `path` holds a complete PDF: the header first, "%%EOF" last (trailing white space allowed).
bool IsCompletePdf(const std::string& path);

} // namespace BRASK::WRAPPERS
