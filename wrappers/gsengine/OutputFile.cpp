#include "OutputFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace BRASK::WRAPPERS {

namespace {

constexpr int kAttempts = 4; // the path may be removed or created between the two opens

std::string Reason(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// Why an opened existing file may not be written, or empty when it may.
std::string Refusal(const struct stat& info) {
    if (S_ISDIR(info.st_mode))
        return "the path is a folder";
    if (!S_ISREG(info.st_mode))
        return "the path is not a regular file";
    if (info.st_uid != geteuid())
        return "the file belongs to another user";
    if (info.st_nlink != 1)
        return "the file has " + std::to_string(info.st_nlink) + " names (hard links)";
    return {};
}

} // namespace

OutputFile::~OutputFile() {
    std::string ignored;
    Close(ignored);
}

bool OutputFile::Open(const std::string& path, std::string& error) {
    std::string ignored;
    Close(ignored);
    mOpened = false;
    mPath = path;
    mWriteFailed = false;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) {
            // Never O_TRUNC here: the file is checked before anything in it changes. O_NONBLOCK keeps a FIFO
            // from blocking the open.
            fd = open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0 && errno == ENOENT)
                continue;
            if (fd < 0) {
                struct stat info {};
                error = Reason("the file cannot be opened");
                if (lstat(path.c_str(), &info) == 0)
                    error = S_ISLNK(info.st_mode) ? "the path is a symbolic link" : Refusal(info);
                if (error.empty())
                    error = Reason("the file cannot be opened");
                return false;
            }
            struct stat info {};
            if (fstat(fd, &info) != 0) {
                error = Reason("the file cannot be examined");
                close(fd);
                return false;
            }
            // Only a file with content is truncated: on ext4 that makes the next close wait for the disk.
            error = Refusal(info);
            if (!error.empty() || (info.st_size > 0 && ftruncate(fd, 0) != 0) || fcntl(fd, F_SETFL, 0) != 0) {
                if (error.empty())
                    error = Reason("the file cannot be emptied");
                close(fd);
                return false;
            }
        } else if (fd < 0) {
            error = errno == ELOOP ? "the path is a symbolic link" : Reason("the file cannot be created");
            return false;
        }
        struct stat info {};
        fstat(fd, &info);
        mFd = fd;
        mOpened = true;
        mDevice = info.st_dev;
        mInode = info.st_ino;
        return true;
    }
    error = "the path keeps changing";
    return false;
}

bool OutputFile::Write(const void* data, std::size_t length) {
    const char* p = static_cast<const char*>(data);
    while (length > 0 && mFd >= 0) {
        const ssize_t written = write(mFd, p, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            mWriteFailed = true;
            return false;
        }
        p += written;
        length -= static_cast<std::size_t>(written);
    }
    return mFd >= 0;
}

bool OutputFile::CopyFrom(const std::string& source, std::string& error) {
    const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        error = Reason("the finished file cannot be read");
        return false;
    }
    bool ok = true;
    char buffer[64 * 1024];
    while (ok) {
        const ssize_t got = read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        ok = Write(buffer, static_cast<std::size_t>(got));
    }
    if (!ok)
        error = Reason("the output file cannot be written");
    close(in);
    return ok;
}

bool OutputFile::Close(std::string& error) {
    if (mFd < 0)
        return true;
    const bool closed = close(mFd) == 0;
    mFd = -1;
    if (!closed || mWriteFailed) {
        error = "the output file cannot be written";
        return false;
    }
    return true;
}

void OutputFile::Discard() {
    std::string ignored;
    Close(ignored);
    if (!mOpened)
        return;
    mOpened = false;
    struct stat info {};
    if (lstat(mPath.c_str(), &info) == 0 && info.st_dev == mDevice && info.st_ino == mInode)
        unlink(mPath.c_str());
}

void RemoveOwnedOutput(const std::string& path) {
    struct stat info {};
    if (!path.empty() && lstat(path.c_str(), &info) == 0 && Refusal(info).empty())
        unlink(path.c_str());
}

} // namespace BRASK::WRAPPERS
