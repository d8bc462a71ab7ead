// A wrapper's handle on its interpreter process (brask-gsworker): starts it, sends it jobs, relays its
// messages, and ends it when a job runs past the time limit, when it is aborted or when it stops answering;
// the next job starts a new process. Jobs are serialised.
#pragma once

#include "JobTypes.h"
#include "WorkerProtocol.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace BRASK::WRAPPERS {

class GsWorkerClient {
public:
    using MessageSink = std::function<void(int kind, std::string_view message)>;

    GsWorkerClient(EngineConfig config, MessageSink sink);
    ~GsWorkerClient();
    GsWorkerClient(const GsWorkerClient&) = delete;
    GsWorkerClient& operator=(const GsWorkerClient&) = delete;

    // Starts the process (and its interpreter) when none runs.
    bool Start();
    bool IsRunning() const;
    JobResult Run(const JobRequest& job);
    // Ends the running job (and its process) at once; callable from any thread. Without a job, nothing.
    void Abort();
    void Stop();

    int JobsRun() const { return mJobsRun; }
    int ProcessesStarted() const { return mProcessesStarted; }

    // The job time limit: BRASK_JOB_TIMEOUT_SECONDS when set to a positive number, else 60 s.
    static std::chrono::milliseconds TimeLimit();
    // brask-gsworker beside the library that holds this code, or in the folder above it.
    static std::string WorkerPath();

private:
    using Deadline = std::chrono::steady_clock::time_point;
    enum class Wait { Ok, TimedOut, Gone };

    bool StartLocked();
    void StopLocked(bool graceful = true);
    Wait SendLocked(const void* data, std::size_t length, Deadline deadline);
    Wait ReceiveLocked(void* data, std::size_t length, Deadline deadline);
    // Reads frames until a result arrives; messages go to the sink, font substitutions to `substitutions`.
    Wait AwaitResult(Deadline deadline, JobStatus& status, std::string& reason,
                     const RasterRequest* raster = nullptr,
                     std::vector<FontSubstitution>* substitutions = nullptr);
    // The text of a message or result frame; a frame of another kind or an oversized one is refused.
    Wait ReceiveText(const ReplyHeader& header, Deadline deadline, std::string& text);
    // Notes why the worker's stream cannot be trusted any more; the worker is then ended like a gone one.
    Wait BadFrame(const std::string& what);
    JobResult RunLocked(const JobRequest& job);

    EngineConfig mConfig;
    MessageSink mSink;
    mutable std::mutex mLock;
    std::string mWorkerFolder; // the running worker's own temporary folder (its TMPDIR), removed when it ends
    std::string mBadFrame;     // what the worker sent that broke the protocol during the current job
    int mSocket = -1;
    std::atomic<pid_t> mPid{-1};
    std::atomic<bool> mAborted{false};
    std::atomic<bool> mBusy{false}; // a job is in progress
    std::atomic<int> mJobsRun{0};
    std::atomic<int> mProcessesStarted{0};
};

} // namespace BRASK::WRAPPERS
