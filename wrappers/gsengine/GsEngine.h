// The warm distiller: one Ghostscript instance kept between jobs, each job's PostScript fed from the caller's
// bytes into its own PDF, the instance recycled after a fatal result, a global-VM change or a number of jobs.
// It runs inside the worker process (GsWorkerMain); the wrappers reach it through GsWorkerClient. Started as
// a raster engine (EngineConfig::raster) it renders jobs into pixels instead.
#pragma once

#include "GsInstance.h"
#include "JobTypes.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace BRASK::WRAPPERS {

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
    // Stops the instance; the next job starts a new one.
    void Stop();

    int JobsRun() const { return mJobsRun; }
    int InstancesStarted() const { return mInstancesStarted; }
    const EngineConfig& Config() const { return mConfig; }

private:
    bool StartLocked();
    void StopLocked();
    void OnLine(GsStream stream, std::string_view line);
    // "<order> <requested> <used>" from the job's substitution report.
    void AddSubstitution(std::string_view report);
    // The job's substitutions in the order the job asked for the fonts.
    std::vector<FontSubstitution> TakeSubstitutions();
    JobResult RunLocked(const JobRequest& job);
    // Raster jobs (GsEngineRaster.cpp): the job's bytes rendered once per pass into a raster file of the
    // private folder, whose pixels go to the request's sink.
    JobResult RunRasterLocked(const JobRequest& job);
    JobResult RenderPass(const JobRequest& job, std::size_t pass, const std::string& data, bool& recycle);

    EngineConfig mConfig;
    MessageSink mSink;
    std::string mParkingPath;
    mutable std::recursive_mutex mLock;
    std::unique_ptr<GsInstance> mInstance;
    int mJobsSinceStart = 0;
    std::atomic<int> mJobsRun{0};
    std::atomic<int> mInstancesStarted{0};

    // State of the running job, written by the interpreter's output callback.
    bool mJobActive = false;
    bool mSawDone = false;
    bool mSawGlobalChange = false;
    std::string mJobError;
    std::vector<std::pair<long, FontSubstitution>> mSubstitutions;
};

// Whether `path` holds a complete PDF: the header first, "%%EOF" last (trailing white space allowed).
bool IsCompletePdf(const std::string& path);

} // namespace BRASK::WRAPPERS
