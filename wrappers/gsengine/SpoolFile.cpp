#include "SpoolFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace BRASK::WRAPPERS {

SpoolFile::~SpoolFile() {
    Close();
}

bool SpoolFile::Open(const std::string& folder, std::string& error) {
    Close();
    mFd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (mFd < 0) {
        // A file system without unnamed files: a named one, unlinked at once.
        std::string pattern = folder + "/spool-XXXXXX";
        mFd = mkostemp(pattern.data(), O_CLOEXEC);
        if (mFd >= 0)
            unlink(pattern.c_str());
    }
    if (mFd < 0) {
        error = "cannot create a scratch file in " + folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool SpoolFile::Append(const void* data, std::size_t length) {
    const char* p = static_cast<const char*>(data);
    while (length > 0 && mFd >= 0) {
        const ssize_t written = write(mFd, p, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        p += written;
        length -= static_cast<std::size_t>(written);
        mSize += static_cast<std::uint64_t>(written);
    }
    return length == 0;
}

std::int64_t SpoolFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity) const {
    if (mFd < 0)
        return -1;
    if (offset >= mSize)
        return 0;
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, mSize - offset));
    for (;;) {
        const ssize_t got = pread(mFd, buffer, count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        return got > 0 ? got : -1; // the file is shorter than what was written to it
    }
}

void SpoolFile::Close() {
    if (mFd >= 0)
        close(mFd);
    mFd = -1;
    mSize = 0;
}

} // namespace BRASK::WRAPPERS
