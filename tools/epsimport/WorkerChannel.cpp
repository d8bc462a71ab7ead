#include "WorkerChannel.h"

#include "SocketTransfer.h"

#include <cstring>

namespace BRASK::EPSIMPORT {

namespace {

// A JSON line far beyond any picture's: a longer frame means the stream is out of step.
constexpr std::uint32_t kMaxFrameText = 64u * 1024 * 1024;

} // namespace

bool SendIndex(int socket, std::uint32_t index) {
    return SendAll(socket, reinterpret_cast<const char*>(&index), sizeof index);
}

bool ReceiveIndex(int socket, std::uint32_t& index) {
    return ReceiveAll(socket, reinterpret_cast<char*>(&index), sizeof index);
}

bool SendFrame(int socket, FrameKind kind, const std::string& text) {
    const auto length = static_cast<std::uint32_t>(text.size());
    std::string frame(sizeof length + 1, '\0');
    std::memcpy(frame.data(), &length, sizeof length);
    frame[sizeof length] = static_cast<char>(kind);
    frame += text;
    return SendAll(socket, frame.data(), frame.size());
}

bool ReceiveFrame(int socket, Frame& frame) {
    char header[5];
    if (!ReceiveAll(socket, header, sizeof header))
        return false;
    std::uint32_t length = 0;
    std::memcpy(&length, header, sizeof length);
    const auto kind = static_cast<std::uint8_t>(header[4]);
    if (length > kMaxFrameText || kind > static_cast<std::uint8_t>(FrameKind::StartFailed))
        return false;
    frame.kind = static_cast<FrameKind>(kind);
    frame.text.resize(length);
    return ReceiveAll(socket, frame.text.data(), length);
}

} // namespace BRASK::EPSIMPORT
