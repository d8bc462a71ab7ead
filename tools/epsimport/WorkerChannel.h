// The messages between epsimport and its worker processes over a local socket: the parent sends a picture's
// index (4 bytes), the worker answers with one frame (4-byte length, 1-byte kind, the text).
#pragma once

#include <cstdint>
#include <string>

namespace BRASK::EPSIMPORT {

enum class FrameKind : std::uint8_t {
    Placed = 0,      // the picture's JSON line; placed with status 0 and a PDF
    Failed = 1,      // the picture's JSON line; not placed
    StartFailed = 2, // the worker cannot place anything (the plug-in did not load): the reason
};

struct Frame {
    FrameKind kind = FrameKind::Failed;
    std::string text;
};

bool SendIndex(int socket, std::uint32_t index);
// False at the end of the stream or on an error.
bool ReceiveIndex(int socket, std::uint32_t& index);
bool SendFrame(int socket, FrameKind kind, const std::string& text);
// False when the stream ends before a whole frame or a frame is malformed.
bool ReceiveFrame(int socket, Frame& frame);

} // namespace BRASK::EPSIMPORT
