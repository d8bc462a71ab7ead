// brask-gsworker: the process that holds a wrapper's warm Ghostscript instance. It runs the jobs its wrapper
// sends over the socket on fd --fd and answers each with messages and a result. Its wrapper stops a job that
// runs too long by ending this process. Should the wrapper's process be gone, the worker ends when its socket
// closes (removing its private folder), or, in the middle of a job, by its own alarm a little after the job's
// time limit.
#include "GsEngine.h"
#include "WorkerProtocol.h"

#include <filesystem>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

using namespace BRASK::WRAPPERS;
using BRASK::ReceiveAll;
using BRASK::SendAll;

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

bool Send(int fd, const std::string& frame) {
    return SendAll(fd, frame.data(), frame.size());
}

bool SendLog(int fd, int kind, std::string_view text) {
    return Send(fd, Encode(LogMessage{kind == 2 ? LogLevel::Error : LogLevel::Info, std::string(text)}));
}

// A job this process cannot take fails with the reason, which its wrapper also logs.
bool Refuse(int fd, const std::string& error) {
    return SendLog(fd, 2, error) && Send(fd, Encode(ResultMessage{JobStatus::BadParameter, error}));
}

// A pass's pixels as frames of at most kMaxRasterChunk bytes.
bool SendPixels(int fd, int pass, const char* data, std::size_t length) {
    while (length > 0) {
        const std::size_t piece = std::min<std::size_t>(length, kMaxRasterChunk);
        if (!Send(fd, Encode(PixelsMessage{static_cast<std::uint8_t>(pass), std::string_view(data, piece)})))
            return false;
        data += piece;
        length -= piece;
    }
    return true;
}

// The job's bytes as the wrapper streams them: data blocks up to a data end or a read error. Any other frame
// ends them as a read error and breaks the stream (BrokenStream).
class BlockReader {
public:
    explicit BlockReader(int fd) : mFd(fd) {}
    std::int64_t Read(char* buffer, std::size_t capacity) {
        if (mEnded)
            return mFailed ? -1 : 0;
        if (mRemaining == 0) {
            MessageHeader header;
            if (!ReceiveAll(mFd, &header, sizeof header))
                Leave(3); // the wrapper is gone
            if (!DecodeHeader(header, mBrokenStream))
                return End(true);
            if (header.kind == MessageKind::DataEnd || header.kind == MessageKind::DataReadError)
                return End(header.kind == MessageKind::DataReadError);
            if (header.kind != MessageKind::DataBlock) {
                mBrokenStream = "a " + KindName(header.kind) + " frame among the job's data";
                return End(true);
            }
            mRemaining = header.size;
        }
        const std::size_t count = std::min<std::size_t>(capacity, mRemaining);
        if (!ReceiveAll(mFd, buffer, count))
            Leave(3);
        mRemaining -= static_cast<std::uint32_t>(count);
        return static_cast<std::int64_t>(count);
    }
    // Skips whatever the job did not read, up to the end of its data.
    void Drain() {
        char buffer[4096];
        while (Read(buffer, sizeof buffer) > 0) {
        }
    }
    // Why the frames that followed the job cannot be read on; empty when they can.
    const std::string& BrokenStream() const { return mBrokenStream; }

private:
    std::int64_t End(bool failed) {
        mEnded = true;
        mFailed = failed;
        return failed ? -1 : 0;
    }

    int mFd;
    std::uint32_t mRemaining = 0;
    bool mEnded = false;
    bool mFailed = false;
    std::string mBrokenStream;
};

// Reads the next job's frame; false with `error` when the stream breaks. Leaves when the wrapper closed the
// socket.
bool ReceiveJob(int fd, std::string& payload, std::string& error) {
    MessageHeader header;
    if (!ReceiveAll(fd, &header, sizeof header))
        Leave(0);
    if (!DecodeHeader(header, error))
        return false;
    if (header.kind != MessageKind::Job) {
        error = "a " + KindName(header.kind) + " frame where a job was due";
        return false;
    }
    payload.resize(header.size);
    if (!ReceiveAll(fd, payload.data(), payload.size()))
        Leave(0);
    return true;
}

// Runs jobs until the wrapper closes the socket (the process then leaves at once) or sends what cannot be
// read (2).
int Serve(int fd, const EngineConfig& config) {
    GsEngine engine(config, [fd](int kind, std::string_view message) { SendLog(fd, kind, message); });
    const bool started = engine.Start();
    if (!Send(fd, Encode(ResultMessage{started ? JobStatus::Ok : JobStatus::NotStarted,
                                       started ? "" : "Ghostscript did not start"})) ||
        !started)
        return 1;

    std::string payload;
    for (;;) {
        std::string error;
        if (!ReceiveJob(fd, payload, error)) {
            // Nothing after this frame can be found: refuse and leave.
            Refuse(fd, error);
            return 2;
        }
        BlockReader reader(fd);
        JobMessage message;
        if (!Decode(payload, message, error)) {
            reader.Drain();
            if (!reader.BrokenStream().empty()) {
                Refuse(fd, reader.BrokenStream());
                return 2;
            }
            if (!Refuse(fd, error))
                Leave(0);
            continue;
        }
        JobRequest& job = message.job;
        if (job.raster.enabled) {
            job.raster.pixels = [fd](int pass, const char* data, std::size_t length) {
                return SendPixels(fd, pass, data, length);
            };
        }
        job.read = [&reader](char* buffer, std::size_t capacity) { return reader.Read(buffer, capacity); };
        alarm(message.timeLimitSeconds > 0 ? message.timeLimitSeconds + kAlarmMarginSeconds : 0);
        const JobResult result = engine.Run(job);
        reader.Drain();
        alarm(0);
        if (!reader.BrokenStream().empty()) {
            Refuse(fd, reader.BrokenStream());
            return 2;
        }
        for (const FontSubstitution& substitution : result.fontSubstitutions)
            if (!Send(fd, Encode(substitution)))
                return 0;
        if (!Send(fd, Encode(ResultMessage{result.status, result.reason})))
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
