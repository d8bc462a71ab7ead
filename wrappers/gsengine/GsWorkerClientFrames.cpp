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
    std::string payload;
    std::string error;
    for (;;) {
        MessageHeader header;
        if (const Wait wait = ReceiveFrame(header, payload, deadline); wait != Wait::Ok)
            return wait;
        if (header.kind == MessageKind::Pixels) {
            // Only a raster job that asked for pixels gets them; the sink bounds how many it takes.
            if (raster == nullptr || !raster->pixels)
                return BadFrame("pixels for a job that asked for none");
            PixelsMessage pixels;
            if (!Decode(payload, raster->passes.size(), pixels, error))
                return BadFrame(error);
            if (!pixelsRefused)
                pixelsRefused = !raster->pixels(pixels.pass, pixels.bytes.data(), pixels.bytes.size());
        } else if (header.kind == MessageKind::Substitution) {
            FontSubstitution substitution;
            if (!Decode(payload, substitution, error))
                return BadFrame(error);
            if (substitutions != nullptr)
                substitutions->push_back(std::move(substitution));
        } else if (header.kind == MessageKind::Result) {
            ResultMessage result;
            if (!Decode(payload, result, error))
                return BadFrame(error);
            status = result.status;
            reason = std::move(result.reason);
            if (pixelsRefused && status == JobStatus::Ok) {
                status = JobStatus::Failed;
                reason = "the interpreter process sent more pixels than the raster holds";
            }
            return Wait::Ok;
        } else if (const Wait wait = RelayLog(payload); wait != Wait::Ok) {
            return wait;
        }
    }
}

GsWorkerClient::Wait GsWorkerClient::ReceiveFrame(MessageHeader& header, std::string& payload,
                                                  Deadline deadline) {
    if (const Wait wait = ReceiveLocked(&header, sizeof header, deadline); wait != Wait::Ok)
        return wait;
    std::string error;
    if (!DecodeHeader(header, error))
        return BadFrame(error);
    if (header.kind <= MessageKind::DataReadError)
        return BadFrame("a " + KindName(header.kind) + " frame, which only the wrapper sends");
    payload.resize(header.size);
    return ReceiveLocked(payload.data(), payload.size(), deadline);
}

GsWorkerClient::Wait GsWorkerClient::RelayLog(std::string_view payload) {
    LogMessage message;
    std::string error;
    if (!Decode(payload, message, error))
        return BadFrame(error);
    mSink(static_cast<int>(message.level), message.text);
    return Wait::Ok;
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
            // Only log messages come while a job's bytes are still being sent.
            MessageHeader header;
            std::string payload;
            Wait wait = ReceiveFrame(header, payload, deadline);
            if (wait == Wait::Ok && header.kind != MessageKind::Log)
                wait = BadFrame("a " + KindName(header.kind) + " frame before the job's end");
            if (wait == Wait::Ok)
                wait = RelayLog(payload);
            if (wait != Wait::Ok)
                return wait;
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
