#include "GsWorkerClient.h"

#include "OutputFile.h"
#include "WorkerProtocol.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <sys/wait.h>

namespace BRASK::WRAPPERS {

namespace {

constexpr std::chrono::seconds kStartLimit{60};

} // namespace

std::chrono::milliseconds GsWorkerClient::TimeLimit() {
    if (const char* text = std::getenv("BRASK_JOB_TIMEOUT_SECONDS")) {
        char* end = nullptr;
        const double seconds = std::strtod(text, &end);
        if (end != text && seconds > 0 && seconds < 1e7)
            return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
    }
    return std::chrono::seconds(60);
}

GsWorkerClient::GsWorkerClient(EngineConfig config, MessageSink sink)
    : mConfig(std::move(config)), mSink(std::move(sink)) {}

GsWorkerClient::~GsWorkerClient() {
    Stop();
}

bool GsWorkerClient::Start() {
    std::lock_guard<std::mutex> guard(mLock);
    return StartLocked();
}

bool GsWorkerClient::IsRunning() const {
    std::lock_guard<std::mutex> guard(mLock);
    return mActive.socket >= 0;
}

bool GsWorkerClient::HasSpare() const {
    std::lock_guard<std::mutex> guard(mLock);
    return mSpare.socket >= 0;
}

void GsWorkerClient::Stop() {
    std::lock_guard<std::mutex> guard(mLock);
    StopLocked();
    EndProcess(mSpare, true);
}

void GsWorkerClient::Abort() {
    // Only a worker in the middle of a job is ended: an idle one holds nothing to stop.
    if (!mBusy)
        return;
    mAborted = true;
    const pid_t pid = mPid;
    if (pid > 0)
        kill(pid, SIGKILL);
}

void GsWorkerClient::StopLocked(bool graceful) {
    mPid = -1;
    EndProcess(mActive, graceful);
}

bool GsWorkerClient::AwaitStartLocked() {
    JobStatus status = JobStatus::Failed;
    std::string reason;
    if (AwaitResult(std::chrono::steady_clock::now() + kStartLimit, status, reason) != Wait::Ok ||
        status != JobStatus::Ok) {
        mSink(2, "the interpreter process did not start" + (reason.empty() ? std::string() : ": " + reason));
        StopLocked(false);
        return false;
    }
    mActive.ready = true;
    return true;
}

void GsWorkerClient::StartSpareLocked() {
    // A spare that ended while it waited is cleared away first.
    if (mSpare.pid > 0 && waitpid(mSpare.pid, nullptr, WNOHANG) == mSpare.pid) {
        mSpare.pid = -1;
        EndProcess(mSpare, false);
    }
    if (mSpare.socket < 0)
        Spawn(mSpare);
}

bool GsWorkerClient::StartLocked() {
    // A worker that ended between jobs (a crash, a kill from outside) is cleared away first.
    if (mActive.socket >= 0 && mActive.pid > 0 && waitpid(mActive.pid, nullptr, WNOHANG) == mActive.pid) {
        mActive.pid = -1;
        StopLocked(false);
    }
    if (mActive.socket >= 0 && mActive.ready)
        return true;
    bool fromSpare = false;
    if (mActive.socket < 0) {
        // The spare takes over; without one a process is started now.
        fromSpare = mSpare.socket >= 0;
        if (fromSpare)
            std::swap(mActive, mSpare);
        else if (!Spawn(mActive))
            return false;
        mPid = mActive.pid;
    }
    if (AwaitStartLocked())
        return true;
    // A spare that ended while it waited is replaced once by a new process.
    if (!fromSpare || !Spawn(mActive))
        return false;
    mPid = mActive.pid;
    return AwaitStartLocked();
}

JobResult GsWorkerClient::Run(const JobRequest& job) {
    std::lock_guard<std::mutex> guard(mLock);
    mAborted = false;
    mBadFrame.clear();
    mBusy = true;
    JobResult result = RunLocked(job);
    // A process that ended during a job after running others may have been brought down by what those left
    // in the interpreter's own memory, out of reach of any restore: the job runs once more, in a fresh
    // process.
    if (mEndedAfterJobs > 0 && job.rewind && job.rewind()) {
        mSink(1, "the interpreter process ended during the job; it runs again in a new one");
        mBadFrame.clear();
        result = RunLocked(job);
    }
    if (mEndedAfterJobs >= 0)
        mSink(2, result.reason);
    mBusy = false;
    ++mJobsRun;
    // A failed job leaves no file the worker could have written (links and other users' files stay).
    if (result.status != JobStatus::Ok && !job.raster.enabled)
        RemoveOwnedOutput(job.outputPath);
    return result;
}

JobResult GsWorkerClient::RunLocked(const JobRequest& job) {
    mEndedAfterJobs = -1;
    if ((job.outputPath.empty() && !job.raster.enabled) || job.outputPath.size() > kMaxPathLength ||
        job.jobOptions.size() > kMaxOptionsLength || !job.read)
        return {JobStatus::BadParameter, "bad job parameters"};
    if (!StartLocked())
        return {JobStatus::NotStarted, "the interpreter is not running"};

    const std::chrono::milliseconds limit = TimeLimit();
    const Deadline deadline = std::chrono::steady_clock::now() + limit;
    if (job.raster.enabled && (job.raster.passes.empty() || job.raster.passes.size() > kMaxRasterPasses))
        return {JobStatus::BadParameter, "bad raster job parameters"};
    const auto limitSeconds = static_cast<std::uint32_t>(
        std::min<long long>(std::chrono::ceil<std::chrono::seconds>(limit).count(), 1000000));
    const std::string request = Encode(JobMessage{job, limitSeconds});
    Wait wait = SendLocked(request.data(), request.size(), deadline);
    std::vector<char> block(kMaxBlock);
    std::uint64_t remaining = job.byteCount;
    while (wait == Wait::Ok) {
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kMaxBlock));
        std::int64_t got = wanted > 0 ? job.read(block.data(), wanted) : 0;
        if (got > static_cast<std::int64_t>(wanted))
            got = -1; // a reader that claims more than it was given room for is broken
        const std::string frame = got > 0   ? Encode(DataBlock{{block.data(), static_cast<std::size_t>(got)}})
                                  : got < 0 ? Encode(DataReadError{})
                                            : Encode(DataEnd{});
        wait = SendLocked(frame.data(), frame.size(), deadline);
        if (got <= 0)
            break;
        remaining -= static_cast<std::uint64_t>(got);
    }

    JobStatus status = JobStatus::Failed;
    std::string reason;
    std::vector<FontSubstitution> substitutions;
    if (wait == Wait::Ok)
        wait =
            AwaitResult(deadline, status, reason, job.raster.enabled ? &job.raster : nullptr, &substitutions);
    if (wait == Wait::Ok) {
        ++mActive.jobs;
        JobResult result(status, reason);
        result.fontSubstitutions = std::move(substitutions);
        return result;
    }

    // Past the time limit, aborted or gone: the process is ended and its replacement starts at once.
    const int earlierJobs = mActive.jobs;
    StopLocked(false);
    StartSpareLocked();
    if (wait == Wait::TimedOut) {
        const std::string message = "the job ran longer than the time limit and was stopped";
        mSink(2, message);
        return {JobStatus::TimedOut, message};
    }
    const std::string message = mAborted             ? "the job was aborted"
                                : !mBadFrame.empty() ? mBadFrame + "; it is restarted"
                                                     : "the interpreter process ended during the job";
    if (!mAborted && mBadFrame.empty())
        mEndedAfterJobs = earlierJobs; // reported by Run, which may run the job again
    else
        mSink(2, message);
    return {JobStatus::Failed, message};
}

} // namespace BRASK::WRAPPERS
