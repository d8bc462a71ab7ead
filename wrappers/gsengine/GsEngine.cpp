#include "GsEngine.h"

#include "OutputFile.h"

#include <ghostscript/gserrors.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
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

// A fresh tag for the surrounding PostScript's reports; the job never sees it.
std::string NewNonce() {
    static std::random_device device;
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string nonce;
    for (int i = 0; i < 4; ++i) {
        std::uint32_t bits = device();
        for (int j = 0; j < 8; ++j, bits >>= 4)
            nonce.push_back(kDigits[bits & 15]);
    }
    return nonce;
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
    mJobPdfPath = mConfig.tempFolder + "/job.pdf";
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
    // NOOUTERSAVE: the engine's procedures live at save level 0, and so does each job's own save, which
    // then covers global VM as well.
    std::vector<std::string> args = {"gs",
                                     "-dSAFER",
                                     "-dBATCH",
                                     "-dNOPAUSE",
                                     "-dQUIET",
                                     "-dNOOUTERSAVE",
                                     mConfig.raster ? "-sDEVICE=ppmraw" : "-sDEVICE=pdfwrite",
                                     "-sOutputFile=" + mParkingPath};
    // The distiller leaves colours as the job gave them (the baseline and the plug-in's job options), so the
    // ICC links Ghostscript would build from the device colour spaces to its output's own (about 60 ms of
    // LittleCMS work for CMYK at each start) never reach the PDF. A job that asks for colour conversion
    // gets the device-colour formulas instead.
    if (!mConfig.raster)
        args.push_back("-dUseFastColor");
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
    mNonce = NewNonce();
    mSaveLevel = mGlobalVM = -1;
    const int code = mInstance->Run(StartupScript(mParkingPath, mNonce));
    if (code < 0 || mSaveLevel != 0) {
        mSink(2, "Ghostscript start-up script failed with " + std::to_string(code) + " at save level " +
                     std::to_string(mSaveLevel));
        mInstance.reset();
        return false;
    }
    mBaselineGlobalVM = mGlobalVM;
    mJobsSinceStart = 0;
    ++mInstancesStarted;
    return true;
}

void GsEngine::OnLine(GsStream stream, std::string_view line) {
    if (stream == GsStream::Out) {
        const JobMarker marker = ParseJobMarker(line, mNonce);
        switch (marker.kind) {
        case JobMarker::Kind::None:
            break;
        case JobMarker::Kind::Status:
        case JobMarker::Kind::Done:
            mSawDone = marker.kind == JobMarker::Kind::Done;
            mSaveLevel = marker.saveLevel;
            mGlobalVM = marker.globalVMUsed;
            return;
        case JobMarker::Kind::Error:
            mJobError = marker.text;
            return;
        case JobMarker::Kind::OutputMoved:
            mJobError = "the job switched the output to another file";
            return;
        case JobMarker::Kind::OptionsError:
            mSink(2, "the job options raised an error");
            return;
        case JobMarker::Kind::FontSubstituted:
            if (!mConfig.raster) // renders place nothing
                AddSubstitution(marker.text);
            return;
        }
    }
    if (mJobActive && line.find("Could not open the file") != std::string_view::npos)
        mJobError = "the job switched the output to a file it may not write";
    if (!line.empty())
        mSink(stream == GsStream::Err ? 2 : 1, line);
}

GsEngine::JobEnd GsEngine::RunWrapped(const std::function<std::string(std::string_view nonce)>& prologue,
                                      const std::function<std::int64_t(const char*& data)>& next,
                                      bool& readError) {
    mNonce = NewNonce();
    mSawDone = false;
    mSaveLevel = mGlobalVM = -1;
    mJobError.clear();
    mJobActive = true;
    readError = false;
    int code = mInstance->Begin();
    if (code >= 0 || code == gs_error_NeedInput) {
        const std::string text = prologue(mNonce);
        code = mInstance->Feed(text.data(), text.size());
        while (code == gs_error_NeedInput || code >= 0) {
            const char* data = nullptr;
            const std::int64_t got = next(data);
            readError = got < 0;
            if (got <= 0)
                break;
            code = mInstance->Feed(data, static_cast<std::size_t>(got));
        }
        if (code == gs_error_NeedInput || code >= 0)
            code = mInstance->End();
        else
            mInstance->End();
    }
    mInstance->FlushLines();
    mJobActive = false;

    JobEnd end;
    end.fatal = code < 0 && code != gs_error_NeedInput;
    if (end.fatal || !mSawDone) {
        end.failure = {JobStatus::Failed, "the interpreter failed (code " + std::to_string(code) + ")"};
        end.recycle = true;
    } else if (mSaveLevel != 0) {
        // The job put another save object where the engine's restore would find it.
        end.failure = {JobStatus::Failed, "the job left the interpreter at save level " +
                                              std::to_string(mSaveLevel) + "; the interpreter is restarted"};
        end.recycle = true;
    } else if (!mJobError.empty()) {
        end.failure = {JobStatus::Failed, "PostScript error: " + mJobError};
        end.recycle = true;
    } else if (readError) {
        end.failure = {JobStatus::Failed, "reading the PostScript failed"};
    }
    if (!end.fatal && mSawDone && mGlobalVM > mBaselineGlobalVM + kGlobalVMAllowance) {
        mSink(1, "the job changed global VM; the interpreter is restarted");
        end.recycle = true;
    }
    return end;
}

void GsEngine::SweepScratchFiles() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(mConfig.tempFolder, error)) {
        if (entry.path() != mParkingPath) {
            std::error_code ignored;
            std::filesystem::remove_all(entry.path(), ignored);
        }
    }
}

void GsEngine::AddSubstitution(std::string_view report) {
    // A job asking for ever new missing fonts must not flood the host's log.
    constexpr std::size_t kMostSubstitutions = 256;
    if (mSubstitutions.size() >= kMostSubstitutions)
        return;
    // "<order> <requested> <used>"; names with spaces keep them in the requested part.
    const std::size_t first = report.find(' ');
    const std::size_t last = report.rfind(' ');
    if (first == std::string_view::npos || last == first || last + 1 == report.size())
        return;
    const std::string order(report.substr(0, first));
    char* end = nullptr;
    const long position = std::strtol(order.c_str(), &end, 10);
    if (end == order.c_str() || *end != '\0')
        return;
    mSubstitutions.push_back(
        {position,
         {std::string(report.substr(first + 1, last - first - 1)), std::string(report.substr(last + 1))}});
}

std::vector<FontSubstitution> GsEngine::TakeSubstitutions() {
    std::sort(mSubstitutions.begin(), mSubstitutions.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<FontSubstitution> substitutions;
    for (auto& [position, substitution] : mSubstitutions)
        substitutions.push_back(std::move(substitution));
    mSubstitutions.clear();
    return substitutions;
}

JobResult GsEngine::Run(const JobRequest& job) {
    std::lock_guard<std::recursive_mutex> guard(mLock);
    JobResult result = RunLocked(job);
    ++mJobsRun;
    if (result.status != JobStatus::Ok && !result.reason.empty())
        mSink(2, result.reason);
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
    // The output path is opened here, without following links, before any work; the interpreter writes a
    // file of the private folder, which is copied to it once complete.
    OutputFile output;
    std::string refusal;
    if (!output.Open(job.outputPath, refusal))
        return {JobStatus::Failed, "the output file " + job.outputPath + " is refused: " + refusal};
    if (!StartLocked()) {
        output.Discard();
        return {JobStatus::NotStarted, "the interpreter is not running"};
    }

    unlink(mJobPdfPath.c_str());
    mSubstitutions.clear();
    mInstance->PermitWriting(mJobPdfPath);
    std::vector<char> block(kBlockSize);
    std::uint64_t remaining = job.byteCount;
    bool readError = false;
    JobEnd end = RunWrapped(
        [&](std::string_view nonce) {
            return JobPrologue(job.page, mJobPdfPath, job.jobOptions, job.byteCount, nonce);
        },
        [&](const char*& data) -> std::int64_t {
            if (remaining == 0)
                return 0;
            const std::int64_t got = job.read(
                block.data(), static_cast<std::size_t>(std::min<std::uint64_t>(remaining, block.size())));
            if (got > 0) {
                remaining -= static_cast<std::uint64_t>(got);
                data = block.data();
            }
            return got;
        },
        readError);

    // Every long-lived instance is replaced too.
    ++mJobsSinceStart;
    if (end.recycle || mJobsSinceStart >= mConfig.recycleAfterJobs)
        StopLocked(); // closing the device also closes the job's file
    else
        mInstance->RevokeWriting(mJobPdfPath);

    JobResult result = end.failure;
    if (result.status == JobStatus::Ok && !IsCompletePdf(mJobPdfPath))
        result = {JobStatus::OutputMissing, "the job wrote no complete PDF"};
    std::string error;
    if (result.status == JobStatus::Ok && (!output.CopyFrom(mJobPdfPath, error) || !output.Close(error)))
        result = {JobStatus::Failed, "the PDF cannot be written to " + job.outputPath + ": " + error};
    if (result.status != JobStatus::Ok)
        output.Discard();
    SweepScratchFiles();
    result.fontSubstitutions = TakeSubstitutions();
    return result;
}

} // namespace BRASK::WRAPPERS
