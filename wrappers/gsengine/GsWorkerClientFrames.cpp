// The frames between a wrapper and its interpreter process, on the wrapper's side: sending a job's bytes
// while relaying the messages that come back, and reading replies up to the job's result. Each wait is
// bounded by the job's deadline; a frame the protocol does not allow ends the process like a gone one.
#include "GsWorkerClient.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <vector>

namespace BRASK::WRAPPERS {

namespace {

int Milliseconds(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 1000 * 1000));
}

} // namespace

GsWorkerClient::Wait GsWorkerClient::ReceiveLocked(void* data, std::size_t length, Deadline deadline) {
    char* p = static_cast<char*>(data);
    while (length > 0) {
        pollfd fd{mActive.socket, POLLIN, 0};
        const int ready = poll(&fd, 1, Milliseconds(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            return Wait::TimedOut;
        const ssize_t got = recv(mActive.socket, p, length, MSG_DONTWAIT);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            return Wait::Gone;
        p += got;
        length -= static_cast<std::size_t>(got);
    }
    return Wait::Ok;
}

GsWorkerClient::Wait GsWorkerClient::AwaitResult(Deadline deadline, JobStatus& status, std::string& reason,
                                                 const RasterRequest* raster,
                                                 std::vector<FontSubstitution>* substitutions) {
    bool pixelsRefused = false;
    for (;;) {
        ReplyHeader header;
        Wait wait = ReceiveLocked(&header, sizeof header, deadline);
        if (wait != Wait::Ok)
            return wait;
        if (header.type == kReplyPixels) {
            // Only a raster job that asked for pixels gets them; the sink bounds how many it takes.
            if (raster == nullptr || !raster->pixels)
                return BadFrame("pixels for a job that asked for none");
            if (header.length > kMaxRasterChunk)
                return BadFrame("a frame of " + std::to_string(header.length) + " pixel bytes");
            std::vector<char> pixels(header.length);
            wait = ReceiveLocked(pixels.data(), pixels.size(), deadline);
            if (wait != Wait::Ok)
                return wait;
            if (!pixelsRefused)
                pixelsRefused = !raster->pixels(header.code, pixels.data(), pixels.size());
            continue;
        }
        std::string text;
        wait = ReceiveText(header, deadline, text);
        if (wait != Wait::Ok)
            return wait;
        if (header.type == kReplySubstitution) {
            // "<requested>\n<used>"
            const std::size_t newline = text.rfind('\n');
            if (newline == std::string::npos)
                return BadFrame("a font substitution without the font used");
            if (substitutions != nullptr)
                substitutions->push_back({text.substr(0, newline), text.substr(newline + 1)});
            continue;
        }
        if (header.type == kReplyResult) {
            if (header.code > static_cast<std::uint8_t>(JobStatus::OutputMissing))
                return BadFrame("the unknown result " + std::to_string(header.code));
            status = static_cast<JobStatus>(header.code);
            reason = std::move(text);
            if (pixelsRefused && status == JobStatus::Ok) {
                status = JobStatus::Failed;
                reason = "the interpreter process sent more pixels than the raster holds";
            }
            return Wait::Ok;
        }
        mSink(header.code == 2 ? 2 : 1, text);
    }
}

GsWorkerClient::Wait GsWorkerClient::ReceiveText(const ReplyHeader& header, Deadline deadline,
                                                 std::string& text) {
    if (header.type != kReplyMessage && header.type != kReplyResult && header.type != kReplySubstitution)
        return BadFrame("a frame of the unknown kind " + std::to_string(header.type));
    if (header.length > kMaxReplyText)
        return BadFrame("a text of " + std::to_string(header.length) + " bytes");
    text.assign(header.length, '\0');
    return ReceiveLocked(text.data(), text.size(), deadline);
}

GsWorkerClient::Wait GsWorkerClient::BadFrame(const std::string& what) {
    mBadFrame = "the interpreter process sent " + what;
    return Wait::Gone;
}

GsWorkerClient::Wait GsWorkerClient::SendLocked(const void* data, std::size_t length, Deadline deadline) {
    const char* p = static_cast<const char*>(data);
    while (length > 0) {
        pollfd fd{mActive.socket, POLLOUT | POLLIN, 0};
        const int ready = poll(&fd, 1, Milliseconds(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            return Wait::TimedOut;
        if (fd.revents & POLLIN) {
            // Only messages come while a job's bytes are still being sent.
            ReplyHeader header;
            std::string text;
            Wait wait = ReceiveLocked(&header, sizeof header, deadline);
            if (wait == Wait::Ok && header.type != kReplyMessage)
                wait = BadFrame("a reply of kind " + std::to_string(header.type) + " before the job's end");
            if (wait == Wait::Ok)
                wait = ReceiveText(header, deadline, text);
            if (wait != Wait::Ok)
                return wait;
            mSink(header.code == 2 ? 2 : 1, text);
            continue;
        }
        if (fd.revents & (POLLERR | POLLHUP))
            return Wait::Gone;
        const ssize_t sent = send(mActive.socket, p, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (sent <= 0)
            return Wait::Gone;
        p += sent;
        length -= static_cast<std::size_t>(sent);
    }
    return Wait::Ok;
}

} // namespace BRASK::WRAPPERS
