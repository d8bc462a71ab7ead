#include "FileEntry.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace BRASK::PLATFORM {

namespace {
FileEntry Describe(const struct stat& info) {
    FileEntry entry;
    entry.exists = true;
    entry.regular = S_ISREG(info.st_mode);
    entry.ours = info.st_uid == ::geteuid();
    entry.links = static_cast<std::uint64_t>(info.st_nlink);
    entry.size = static_cast<std::uint64_t>(info.st_size);
    entry.device = static_cast<std::uint64_t>(info.st_dev);
    entry.inode = static_cast<std::uint64_t>(info.st_ino);
    return entry;
}
} // namespace

FileEntry LookUpEntry(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::lstat(path.c_str(), &info) != 0)
        return FileEntry{};
    return Describe(info);
}

HeldFile::HeldFile(HeldFile&& other) noexcept : mFd(other.mFd), mEntry(other.mEntry) {
    other.mFd = -1;
    other.mEntry = FileEntry{};
}

HeldFile& HeldFile::operator=(HeldFile&& other) noexcept {
    if (this != &other) {
        Release();
        mFd = other.mFd;
        mEntry = other.mEntry;
        other.mFd = -1;
        other.mEntry = FileEntry{};
    }
    return *this;
}

HeldFile::~HeldFile() {
    Release();
}

void HeldFile::Release() {
    if (mFd >= 0)
        ::close(mFd);
    mFd = -1;
    mEntry = FileEntry{};
}

HeldFile CreateFileExclusively(const std::string& path, std::string& error) {
    HeldFile held;
    const int fd = path.empty() ? -1
                                : ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                         S_IRUSR | S_IWUSR);
    if (fd < 0) {
        error = path.empty() ? "empty path" : std::strerror(errno);
        return held;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = std::strerror(errno);
        ::close(fd);
        return held;
    }
    held.mFd = fd;
    held.mEntry = Describe(info);
    return held;
}

bool RemoveEntry(const std::string& path, std::string& error) {
    if (!path.empty() && ::unlink(path.c_str()) == 0)
        return true;
    error = path.empty() ? "empty path" : std::strerror(errno);
    return false;
}

} // namespace BRASK::PLATFORM
