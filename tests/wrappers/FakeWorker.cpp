// A stand-in for brask-gsworker that speaks the protocol but misbehaves on request, for the worker client's
// tests: the last part of each job's output path names what it does once it has read the job.
//   ok            answers with success
//   environment   sends "TMPDIR=<its TMPDIR> temp=<--temp>" as a message, then success
//   pid           sends its process id as a message, then success
//   crash         ends itself before reading the job's bytes
//   crash-if-used ends itself so unless this is its first job
//   oversized     sends a message frame longer than the protocol allows
//   pixels        sends pixels to a distiller job
//   unknown-kind  sends a frame of a kind the protocol does not have
//   bad-result    answers with a result code no job status has
#include "WorkerProtocol.h"

#include <csignal>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

using namespace BRASK::WRAPPERS;

namespace {

bool Send(int fd, std::uint8_t type, std::uint8_t code, const std::string& text, std::uint32_t length) {
    ReplyHeader header;
    header.type = type;
    header.code = code;
    header.length = length;
    return SendAll(fd, &header, sizeof header) && SendAll(fd, text.data(), text.size());
}

bool Send(int fd, std::uint8_t type, std::uint8_t code, const std::string& text = {}) {
    return Send(fd, type, code, text, static_cast<std::uint32_t>(text.size()));
}

bool SkipData(int fd) {
    std::vector<char> block(kMaxBlock);
    for (;;) {
        std::uint32_t length = 0;
        if (!ReceiveAll(fd, &length, sizeof length))
            return false;
        if (length == kEndOfData || length == kReadError)
            return true;
        if (length > kMaxBlock || !ReceiveAll(fd, block.data(), length))
            return false;
    }
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
    if (fd < 0 || !Send(fd, kReplyResult, 0))
        return 2;
    for (int jobs = 1;; ++jobs) {
        JobHeader header;
        if (!ReceiveAll(fd, &header, sizeof header) || header.pathLength > kMaxPathLength ||
            header.optionsLength > kMaxOptionsLength)
            return 0;
        std::string path(header.pathLength, '\0'), options(header.optionsLength, '\0');
        if (!ReceiveAll(fd, path.data(), path.size()) || !ReceiveAll(fd, options.data(), options.size()))
            return 0;
        const std::string mode = path.substr(path.rfind('/') + 1);
        if (mode == "crash" || (mode == "crash-if-used" && jobs > 1))
            raise(SIGKILL);
        if (!SkipData(fd))
            return 0;
        bool sent = true;
        if (mode == "environment") {
            const char* tmpdir = std::getenv("TMPDIR");
            sent =
                Send(fd, kReplyMessage, 1, std::string("TMPDIR=") + (tmpdir ? tmpdir : "") + " temp=" + temp);
        } else if (mode == "pid") {
            sent = Send(fd, kReplyMessage, 1, std::to_string(getpid()));
        } else if (mode == "oversized") {
            sent = Send(fd, kReplyMessage, 1, std::string(64, 'x'), kMaxReplyText + 1);
        } else if (mode == "pixels") {
            sent = Send(fd, kReplyPixels, 0, std::string(16, '\0'));
        } else if (mode == "unknown-kind") {
            sent = Send(fd, 9, 0, "?");
        } else if (mode == "bad-result") {
            sent = Send(fd, kReplyResult, 200, "?");
        }
        if (!sent || !Send(fd, kReplyResult, 0))
            return 0;
    }
}
