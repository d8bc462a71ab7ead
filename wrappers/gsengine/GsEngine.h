// The warm distiller: one Ghostscript instance kept between jobs, each job's PostScript fed from the caller's
// bytes into its own PDF. Every job runs inside a save at level 0 (JobScript.h); the instance is replaced
// when a job leaves it anywhere but at its baseline (save level 0, global VM within a bound), after a fatal
// result or an error, and after a number of jobs. It runs inside the worker process (GsWorkerMain); the
// wrappers reach it through GsWorkerClient. Started as a raster engine (EngineConfig::raster) it renders jobs
// into pixels instead.
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

class SpoolFile;

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

    // Global VM the jobs may leave in use beyond the instance's baseline before the instance is replaced.
    // What the restore cannot take back (new names, the output device's own records) grows by 1 to 30 KB
    // per clean job on the corpus, so a clean instance stays far below this before it is recycled.
    static constexpr long long kGlobalVMAllowance = 4 * 1024 * 1024;

private:
    // How the surrounding PostScript saw the job end.
    struct JobEnd {
        bool fatal = false;   // a gsapi error: the instance is in an unknown state
        bool recycle = false; // the instance must be replaced before the next job
        JobResult failure{JobStatus::Ok, {}};
    };

    bool StartLocked();
    void StopLocked();
    void OnLine(GsStream stream, std::string_view line);
    // Feeds the prologue and the bytes `next` delivers (0 at the end, negative on a read error) as one run
    // under a new nonce, then judges how it ended.
    JobEnd RunWrapped(const std::function<std::string(std::string_view nonce)>& prologue,
                      const std::function<std::int64_t(const char*& data)>& next, bool& readError);
    // Removes everything in the private folder but the parking file: the job's files and whatever scratch
    // files (.tempfile) it made, which the next job would otherwise find.
    void SweepScratchFiles();
    // "<order> <requested> <used>" from the job's substitution report.
    void AddSubstitution(std::string_view report);
    // The job's substitutions in the order the job asked for the fonts.
    std::vector<FontSubstitution> TakeSubstitutions();
    JobResult RunLocked(const JobRequest& job);
    // Raster jobs (GsEngineRaster.cpp): the job's bytes rendered once per pass into a raster file of the
    // private folder, whose pixels go to the request's sink.
    JobResult RunRasterLocked(const JobRequest& job);
    JobResult RenderPass(const JobRequest& job, std::size_t pass, const SpoolFile& data, bool& recycle);
    // Checks the raster file of a pass against the request and hands its pixels to the sink in pieces.
    JobResult SendRaster(const JobRequest& job, std::size_t pass, const std::string& path);

    EngineConfig mConfig;
    MessageSink mSink;
    std::string mParkingPath;
    std::string mJobPdfPath; // the distiller's own file for the running job, copied to the output after it
    mutable std::recursive_mutex mLock;
    std::unique_ptr<GsInstance> mInstance;
    int mJobsSinceStart = 0;
    std::atomic<int> mJobsRun{0};
    std::atomic<int> mInstancesStarted{0};

    long long mBaselineGlobalVM = 0; // global VM in use when the instance was ready

    // State of the running job, written by the interpreter's output callback from the markers that carry
    // the job's nonce.
    std::string mNonce;
    bool mJobActive = false;
    bool mSawDone = false;
    long long mSaveLevel = -1;
    long long mGlobalVM = -1;
    std::string mJobError;
    std::vector<std::pair<long, FontSubstitution>> mSubstitutions;
};

// Whether `path` holds a complete PDF: the header first, "%%EOF" last (trailing white space allowed).
bool IsCompletePdf(const std::string& path);

} // namespace BRASK::WRAPPERS
