#include "SocketTransfer.h"

#include <cerrno>
#include <sys/socket.h>

namespace BRASK {

bool SendAll(int fd, const void* data, std::size_t length) {
    const char* p = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t sent = send(fd, p, length, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        p += sent;
        length -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool ReceiveAll(int fd, void* data, std::size_t length) {
    char* p = static_cast<char*>(data);
    while (length > 0) {
        const ssize_t got = recv(fd, p, length, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        p += got;
        length -= static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace BRASK
