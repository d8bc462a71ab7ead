// A wrapper's handle on its interpreter process (brask-gsworker): starts it, sends it jobs, relays its
// messages, and ends it when a job runs past the time limit, when it is aborted or when it stops answering.
// Jobs are serialised.
//
// A process that ended during a job (time limit, abort, crash, a broken frame) is replaced by a spare started
// in the background at once, so that the next job finds it ready or nearly so; there is never more than one.
// (An interpreter that must restart for another reason, recycling or a job that left it off its baseline,
// does so inside its process right after the job: cheaper than a new process, and as early.)
//
// A job during which a process that had run other jobs ended runs once more in a fresh process, when the
// job can be read again (JobRequest::rewind): Ghostscript keeps some state out of reach of the restore after
// each job, and a later job can crash on it (a sequence of corpus files does so reproducibly), while the same
// job alone does not.
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
    // Ends the active process and the spare.
    void Stop();

    int JobsRun() const { return mJobsRun; }
    // Processes started, spares included.
    int ProcessesStarted() const { return mProcessesStarted; }
    // Whether a spare process has been started and waits to take over.
    bool HasSpare() const;

    // The job time limit: BRASK_JOB_TIMEOUT_SECONDS when set to a positive number, else 60 s.
    static std::chrono::milliseconds TimeLimit();
    // brask-gsworker beside the library that holds this code, or in the folder above it.
    static std::string WorkerPath();

private:
    using Deadline = std::chrono::steady_clock::time_point;
    enum class Wait { Ok, TimedOut, Gone };

    // One interpreter process: its pid, the socket to it and its private folder (its TMPDIR).
    struct Process {
        pid_t pid = -1;
        int socket = -1;
        std::string folder;
        bool ready = false; // its start-up result was read
        int jobs = 0;       // jobs it has run
    };

    bool StartLocked();
    // Starts a process without waiting for its start-up result; false (and nothing left) when it fails.
    bool Spawn(Process& process);
    // Reads the start-up result of the active process; false when it did not start.
    bool AwaitStartLocked();
    // Ends a process and removes its folder; a graceful end lets one between jobs leave by itself.
    void EndProcess(Process& process, bool graceful);
    void StopLocked(bool graceful = true);
    // Starts the spare when none waits.
    void StartSpareLocked();
    Wait SendLocked(const void* data, std::size_t length, Deadline deadline);
    Wait ReceiveLocked(void* data, std::size_t length, Deadline deadline);
    // Reads frames until a result arrives; messages go to the sink, font substitutions to `substitutions`.
    Wait AwaitResult(Deadline deadline, JobStatus& status, std::string& reason,
                     const RasterRequest* raster = nullptr,
                     std::vector<FontSubstitution>* substitutions = nullptr);
    // The next frame from the worker, its header checked; a frame the worker may not send is refused.
    Wait ReceiveFrame(MessageHeader& header, std::string& payload, Deadline deadline);
    // Passes a log frame's text to the sink.
    Wait RelayLog(std::string_view payload);
    // Notes why the worker's stream cannot be trusted any more; the worker is then ended like a gone one.
    Wait BadFrame(const std::string& what);
    JobResult RunLocked(const JobRequest& job);

    EngineConfig mConfig;
    MessageSink mSink;
    mutable std::mutex mLock;
    Process mActive;
    Process mSpare;
    std::string mBadFrame;       // what the worker sent that broke the protocol during the current job
    int mEndedAfterJobs = -1;    // the process ended during the job after this many others (-1: it did not)
    std::atomic<pid_t> mPid{-1}; // the active process, for Abort
    std::atomic<bool> mAborted{false};
    std::atomic<bool> mBusy{false}; // a job is in progress
    std::atomic<int> mJobsRun{0};
    std::atomic<int> mProcessesStarted{0};
};

} // namespace BRASK::WRAPPERS
