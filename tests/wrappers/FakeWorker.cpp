// A stand-in for brask-gsworker that speaks the protocol but misbehaves on request, for the worker client's
// tests: the last part of each job's output path names what it does once it has read the job.
//   ok            answers with success
//   environment   sends "<its process id> <its TMPDIR> <--temp>" as a message, then success
//   crash         ends itself before reading the job's bytes
//   crash-if-used ends itself so unless this is its first job
//   oversized     sends a message frame longer than the protocol allows
//   pixels        sends pixels to a distiller job
//   bad-result    answers with a result code no job status has
#include "WorkerProtocol.h"

#include <csignal>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace BRASK::WRAPPERS;
using BRASK::ReceiveAll;
using BRASK::SendAll;

namespace {

bool Send(int fd, const std::string& frame) {
    return SendAll(fd, frame.data(), frame.size());
}

// The next frame; false when the wrapper is gone or sent one the protocol does not allow.
bool Receive(int fd, MessageHeader& header, std::string& payload) {
    std::string error;
    if (!ReceiveAll(fd, &header, sizeof header) || !DecodeHeader(header, error))
        return false;
    payload.resize(header.size);
    return ReceiveAll(fd, payload.data(), payload.size());
}

} // namespace

int main(int argc, char** argv) {
    int fd = -1;
    std::string temp;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--fd")
            fd = std::atoi(argv[i + 1]);
        else if (option == "--temp")
            temp = argv[i + 1];
    }
    const std::string ok = Encode(ResultMessage{JobStatus::Ok, {}});
    if (fd < 0 || !Send(fd, ok))
        return 2;
    for (int jobs = 1;; ++jobs) {
        MessageHeader header;
        std::string payload, error;
        JobMessage job;
        if (!Receive(fd, header, payload) || header.kind != MessageKind::Job || !Decode(payload, job, error))
            return 0;
        const std::string& path = job.job.outputPath;
        const std::string mode = path.substr(path.rfind('/') + 1);
        if (mode == "crash" || (mode == "crash-if-used" && jobs > 1))
            raise(SIGKILL);
        do { // the job's bytes, up to their end
            if (!Receive(fd, header, payload))
                return 0;
        } while (header.kind == MessageKind::DataBlock);
        bool sent = true;
        if (mode == "environment") {
            const char* tmpdir = std::getenv("TMPDIR");
            const std::string text = std::to_string(getpid()) + " " + (tmpdir ? tmpdir : "") + " " + temp;
            sent = Send(fd, Encode(LogMessage{LogLevel::Info, text}));
        } else if (mode == "oversized") {
            MessageHeader header; // a text longer than the protocol allows, and a few bytes of it
            header.kind = MessageKind::Log;
            header.size = 1 + kMaxReplyText + 1;
            sent = SendAll(fd, &header, sizeof header) && SendAll(fd, "????", 4);
        } else if (mode == "pixels") {
            sent = Send(fd, Encode(PixelsMessage{0, std::string(16, '\0')}));
        } else if (mode == "bad-result") {
            sent = Send(fd, Encode(ResultMessage{JobStatus{200}, "?"}));
        }
        if (!sent || !Send(fd, ok))
            return 0;
    }
}
