// brask-gsworker: the process that holds a wrapper's warm Ghostscript instance. It runs the jobs its wrapper
// sends over the socket on fd --fd and answers each with messages and a result. Its wrapper stops a job that
// runs too long by ending this process. Should the wrapper's process be gone, the worker ends when its socket
// closes (removing its private folder), or, in the middle of a job, by its own alarm a little after the job's
// time limit.
#include "GsEngine.h"
#include "JobDecoder.h"
#include "WorkerProtocol.h"

#include <filesystem>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

using namespace BRASK::WRAPPERS;

namespace {

constexpr unsigned kAlarmMarginSeconds = 5;

std::string gPrivateFolder; // removed whichever way the process ends

// Ends the process once its wrapper is gone or has closed the socket: the private folder goes, and the
// interpreter is not shut down (nothing it holds between jobs is needed: the parking file is never read),
// which spares its few milliseconds of closing.
[[noreturn]] void Leave(int status) {
    std::error_code ignored;
    std::filesystem::remove_all(gPrivateFolder, ignored);
    std::_Exit(status);
}

bool Reply(int fd, ReplyType type, std::uint8_t code, std::string_view text) {
    ReplyHeader header;
    header.type = type;
    header.code = code;
    header.length = static_cast<std::uint32_t>(std::min<std::size_t>(text.size(), kMaxReplyText));
    return SendAll(fd, &header, sizeof header) && SendAll(fd, text.data(), header.length);
}

// A pass's pixels as frames of at most kMaxRasterChunk bytes.
bool SendPixels(int fd, int pass, const char* data, std::size_t length) {
    while (length > 0) {
        ReplyHeader header;
        header.type = kReplyPixels;
        header.code = static_cast<std::uint8_t>(pass);
        header.length = static_cast<std::uint32_t>(std::min<std::size_t>(length, kMaxRasterChunk));
        if (!SendAll(fd, &header, sizeof header) || !SendAll(fd, data, header.length))
            return false;
        data += header.length;
        length -= header.length;
    }
    return true;
}

// The job's bytes as the wrapper streams them: length-prefixed blocks up to an end marker.
class BlockReader {
public:
    explicit BlockReader(int fd) : mFd(fd) {}
    std::int64_t Read(char* buffer, std::size_t capacity) {
        if (mEnded)
            return mFailed ? -1 : 0;
        if (mRemaining == 0) {
            std::uint32_t length = 0;
            if (!ReceiveAll(mFd, &length, sizeof length))
                Leave(3); // the wrapper is gone
            if (length == kEndOfData || length == kReadError || length > kMaxBlock) {
                mEnded = true;
                mFailed = length != kEndOfData;
                return mFailed ? -1 : 0;
            }
            mRemaining = length;
        }
        const std::size_t count = std::min<std::size_t>(capacity, mRemaining);
        if (!ReceiveAll(mFd, buffer, count))
            Leave(3);
        mRemaining -= static_cast<std::uint32_t>(count);
        return static_cast<std::int64_t>(count);
    }
    // Skips whatever the job did not read, up to the end marker.
    void Drain() {
        char buffer[4096];
        while (Read(buffer, sizeof buffer) > 0) {
        }
    }

private:
    int mFd;
    std::uint32_t mRemaining = 0;
    bool mEnded = false;
    bool mFailed = false;
};

// Runs jobs until the wrapper closes the socket (the process then leaves at once) or sends what cannot be
// read (2).
int Serve(int fd, const EngineConfig& config) {
    GsEngine engine(config, [fd](int kind, std::string_view message) {
        Reply(fd, kReplyMessage, static_cast<std::uint8_t>(kind), message);
    });
    const bool started = engine.Start();
    if (!Reply(fd, kReplyResult, static_cast<std::uint8_t>(started ? JobStatus::Ok : JobStatus::NotStarted),
               started ? "" : "Ghostscript did not start") ||
        !started)
        return 1;

    for (;;) {
        JobHeader header;
        if (!ReceiveAll(fd, &header, sizeof header))
            Leave(0); // the wrapper closed the socket
        std::string error;
        if (!CheckJobFraming(header, error)) {
            // Nothing after this header can be found: refuse and leave.
            Reply(fd, kReplyResult, static_cast<std::uint8_t>(JobStatus::BadParameter), error);
            return 2;
        }
        std::string outputPath(header.pathLength, '\0');
        std::string jobOptions(header.optionsLength, '\0');
        if (!ReceiveAll(fd, outputPath.data(), outputPath.size()) ||
            !ReceiveAll(fd, jobOptions.data(), jobOptions.size()))
            Leave(0);
        BlockReader reader(fd);
        JobRequest job;
        if (!DecodeJob(header, std::move(outputPath), std::move(jobOptions), job, error)) {
            reader.Drain();
            if (!Reply(fd, kReplyResult, static_cast<std::uint8_t>(JobStatus::BadParameter), error))
                Leave(0);
            continue;
        }
        if (job.raster.enabled) {
            job.raster.pixels = [fd](int pass, const char* data, std::size_t length) {
                return SendPixels(fd, pass, data, length);
            };
        }
        job.read = [&reader](char* buffer, std::size_t capacity) { return reader.Read(buffer, capacity); };
        alarm(header.timeLimitSeconds > 0 ? header.timeLimitSeconds + kAlarmMarginSeconds : 0);
        const JobResult result = engine.Run(job);
        reader.Drain();
        alarm(0);
        for (const FontSubstitution& substitution : result.fontSubstitutions)
            if (!Reply(fd, kReplySubstitution, 0, substitution.requested + "\n" + substitution.used))
                return 0;
        if (!Reply(fd, kReplyResult, static_cast<std::uint8_t>(result.status), result.reason))
            Leave(0);
        // An interpreter the job stopped (recycling, a job that left it off its baseline) starts again at
        // once, while the wrapper is busy with the result, rather than when the next job arrives.
        if (!engine.IsRunning())
            engine.Start();
    }
}

} // namespace

int main(int argc, char** argv) {
    int fd = -1;
    EngineConfig config;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--fd")
            fd = std::atoi(argv[i + 1]);
        else if (option == "--temp")
            config.tempFolder = argv[i + 1];
        else if (option == "--recycle")
            config.recycleAfterJobs = std::max(1, std::atoi(argv[i + 1]));
        else if (option == "--font")
            config.fontFolders.push_back(argv[i + 1]);
        else if (option == "--arg")
            config.extraArguments.push_back(argv[i + 1]);
        else if (option == "--raster")
            config.raster = std::atoi(argv[i + 1]) != 0;
    }
    if (fd < 0 || config.tempFolder.empty())
        return 2;

    // The private folder is the temporary folder of everything in this process, for its whole life.
    gPrivateFolder = config.tempFolder;
    setenv("TMPDIR", config.tempFolder.c_str(), 1);
    const int status = Serve(fd, config);
    std::error_code ignored;
    std::filesystem::remove_all(config.tempFolder, ignored);
    return status;
}
