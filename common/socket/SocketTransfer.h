// Blocking whole-buffer transfers over a stream socket.
#pragma once

#include <cstddef>

namespace BRASK {

// Sends all `length` bytes (no SIGPIPE); false when the other end is gone.
bool SendAll(int fd, const void* data, std::size_t length);
// Receives exactly `length` bytes; false when the other end is gone or closed first.
bool ReceiveAll(int fd, void* data, std::size_t length);

} // namespace BRASK
