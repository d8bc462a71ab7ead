#include "GsEngine.h"

#include <ghostscript/gserrors.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace BRASK::WRAPPERS {

namespace {

constexpr std::size_t kBlockSize = 65535; // the largest block gsapi_run_string_continue takes

bool MakeFolder(const std::string& path) {
    if (path.empty())
        return false;
    struct stat info {};
    if (stat(path.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    // Parents first, so a nested private folder can be made in one call.
    const std::size_t slash = path.find_last_of('/', path.size() - 2);
    if (slash != std::string::npos && slash > 0)
        MakeFolder(path.substr(0, slash));
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

bool IsCompletePdf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    char head[5] = {};
    in.read(head, 5);
    if (in.gcount() != 5 || std::memcmp(head, "%PDF-", 5) != 0)
        return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    const std::streamoff tailSize = std::min<std::streamoff>(size, 64);
    std::string tail(static_cast<std::size_t>(tailSize), '\0');
    in.seekg(size - tailSize);
    in.read(tail.data(), tailSize);
    while (!tail.empty() && std::strchr(" \r\n\t", tail.back()) != nullptr)
        tail.pop_back();
    return tail.size() >= 5 && tail.compare(tail.size() - 5, 5, "%%EOF") == 0;
}

GsEngine::GsEngine(EngineConfig config, MessageSink sink)
    : mConfig(std::move(config)), mSink(std::move(sink)) {
    mConfig.tempFolder = WithoutTrailingSlash(mConfig.tempFolder);
    mParkingPath = mConfig.tempFolder + (mConfig.raster ? "/parking.ppm" : "/parking.pdf");
}

GsEngine::~GsEngine() {
    Stop();
}

bool GsEngine::Start() {
    std::lock_guard<std::recursive_mutex> guard(mLock);
    return StartLocked();
}

bool GsEngine::IsRunning() const {
    std::lock_guard<std::recursive_mutex> guard(mLock);
    return mInstance != nullptr;
}

void GsEngine::Stop() {
    std::lock_guard<std::recursive_mutex> guard(mLock);
    StopLocked();
}

void GsEngine::StopLocked() {
    mInstance.reset();
    mJobsSinceStart = 0;
    unlink(mParkingPath.c_str());
}

bool GsEngine::StartLocked() {
    if (mInstance)
        return true;
    if (!MakeFolder(mConfig.tempFolder)) {
        mSink(2, "cannot create the temporary folder " + mConfig.tempFolder);
        return false;
    }
    std::vector<std::string> args = {"gs",
                                     "-dSAFER",
                                     "-dBATCH",
                                     "-dNOPAUSE",
                                     "-dQUIET",
                                     mConfig.raster ? "-sDEVICE=ppmraw" : "-sDEVICE=pdfwrite",
                                     "-sOutputFile=" + mParkingPath};
    if (!mConfig.fontFolders.empty()) {
        std::string fontPath;
        for (const std::string& folder : mConfig.fontFolders) {
            if (!fontPath.empty())
                fontPath += ':';
            fontPath += folder;
        }
        args.push_back("-sFONTPATH=" + fontPath);
    }
    args.insert(args.end(), mConfig.extraArguments.begin(), mConfig.extraArguments.end());
    std::string error;
    mInstance = GsInstance::Start(
        args, mConfig.tempFolder, [this](GsStream stream, std::string_view line) { OnLine(stream, line); },
        error);
    if (!mInstance) {
        mSink(2, "Ghostscript did not start: " + error);
        return false;
    }
    const int code = mInstance->Run(StartupScript(mParkingPath));
    if (code < 0) {
        mSink(2, "Ghostscript start-up script failed with " + std::to_string(code));
        mInstance.reset();
        return false;
    }
    mJobsSinceStart = 0;
    ++mInstancesStarted;
    return true;
}

void GsEngine::OnLine(GsStream stream, std::string_view line) {
    if (mJobActive && stream == GsStream::Out && line.size() >= kMarkerPrefix.size() + kMarkerSuffix.size() &&
        line.substr(0, kMarkerPrefix.size()) == kMarkerPrefix &&
        line.substr(line.size() - kMarkerSuffix.size()) == kMarkerSuffix) {
        const std::string_view body =
            line.substr(kMarkerPrefix.size(), line.size() - kMarkerPrefix.size() - kMarkerSuffix.size());
        if (body == "done")
            mSawDone = true;
        else if (body == "global-changed" || body == "went-global")
            mSawGlobalChange = true;
        else if (body.substr(0, 6) == "error ")
            mJobError = std::string(body.substr(6));
        else if (body == "output-moved")
            mJobError = "the job switched the output to another file";
        else if (body == "options-error")
            mSink(2, "the job options raised an error");
        return;
    }
    if (mJobActive && line.find("Could not open the file") != std::string_view::npos)
        mJobError = "the job switched the output to a file it may not write";
    if (!line.empty())
        mSink(stream == GsStream::Err ? 2 : 1, line);
}

JobResult GsEngine::Run(const JobRequest& job) {
    std::lock_guard<std::recursive_mutex> guard(mLock);
    JobResult result = RunLocked(job);
    ++mJobsRun;
    if (result.status != JobStatus::Ok) {
        unlink(job.outputPath.c_str());
        if (!result.reason.empty())
            mSink(2, result.reason);
    }
    return result;
}

JobResult GsEngine::RunLocked(const JobRequest& job) {
    if (job.raster.enabled != mConfig.raster)
        return {JobStatus::BadParameter, "the job does not suit this interpreter (raster or distiller)"};
    if (job.raster.enabled)
        return RunRasterLocked(job);
    if (job.outputPath.empty() || !job.read || job.page.width < 0 || job.page.height < 0)
        return {JobStatus::BadParameter, "bad job parameters"};
    if (job.page.setPageSize && (job.page.width < 0.01 || job.page.height < 0.01))
        return {JobStatus::BadParameter, "the page is empty (width or height 0)"};
    if (!StartLocked())
        return {JobStatus::NotStarted, "the interpreter is not running"};

    // A file left at the output path must not pass for this job's result. One the caller made for the job
    // (a regular file of this user with one link) is emptied and written in place, so that it stays the
    // caller's file; anything else is removed.
    const int output = open(job.outputPath.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat outputInfo {};
    const bool callersFile = output >= 0 && fstat(output, &outputInfo) == 0 && S_ISREG(outputInfo.st_mode) &&
                             outputInfo.st_nlink == 1 && outputInfo.st_uid == geteuid() &&
                             ftruncate(output, 0) == 0;
    if (output >= 0)
        close(output);
    if (!callersFile)
        unlink(job.outputPath.c_str());
    mInstance->PermitWriting(job.outputPath);

    mSawDone = false;
    mSawGlobalChange = false;
    mJobError.clear();
    mJobActive = true;

    bool fatal = false;
    bool readError = false;
    int code = mInstance->Begin();
    if (code >= 0 || code == gs_error_NeedInput) {
        const std::string prologue = JobPrologue(job.page, job.outputPath, job.jobOptions, job.byteCount);
        code = mInstance->Feed(prologue.data(), prologue.size());
        std::vector<char> block(kBlockSize);
        std::uint64_t remaining = job.byteCount;
        while (remaining > 0 && (code == gs_error_NeedInput || code >= 0)) {
            const std::size_t want =
                static_cast<std::size_t>(std::min<std::uint64_t>(remaining, block.size()));
            const std::int64_t got = job.read(block.data(), want);
            if (got < 0)
                readError = true;
            if (got <= 0)
                break;
            remaining -= static_cast<std::uint64_t>(got);
            code = mInstance->Feed(block.data(), static_cast<std::size_t>(got));
        }
        if (code == gs_error_NeedInput || code >= 0)
            code = mInstance->End();
        else
            mInstance->End();
    }
    mInstance->FlushLines();
    mJobActive = false;
    if (code < 0 && code != gs_error_NeedInput)
        fatal = true;

    JobResult result{JobStatus::Ok, {}};
    if (fatal || !mSawDone) {
        result = {JobStatus::Failed, "the interpreter failed (code " + std::to_string(code) + ")"};
    } else if (!mJobError.empty()) {
        result = {JobStatus::Failed, "PostScript error: " + mJobError};
    } else if (readError) {
        result = {JobStatus::Failed, "reading the PostScript failed"};
    }

    // Anything the surrounding PostScript could not vouch for, and every long-lived instance, is replaced.
    ++mJobsSinceStart;
    const bool recycle = fatal || !mSawDone || mSawGlobalChange || !mJobError.empty() ||
                         mJobsSinceStart >= mConfig.recycleAfterJobs;
    if (mSawGlobalChange)
        mSink(1, "the job changed global VM; the interpreter is restarted");
    if (recycle)
        StopLocked(); // closing the device also closes the job's file
    else
        mInstance->RevokeWriting(job.outputPath);

    if (result.status == JobStatus::Ok && !IsCompletePdf(job.outputPath))
        result = {JobStatus::OutputMissing, "the job wrote no complete PDF"};
    return result;
}

} // namespace BRASK::WRAPPERS
