#include "FileDataProvider.h"

#include "URI.h"
#include "brask/FileSys.h"
#include "brask_host/HostStatus.h"

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace BRASK::HOST {

namespace {
constexpr std::int64_t kMaxPosition = std::numeric_limits<std::int32_t>::max();
}

Status FileDataProvider::Open(const std::string& path, Mode mode, const IO::IURI& uri,
                              TInterfacePtr<IO::IDataProvider>& out) {
    out.Reset();
    const int flags = mode == Mode::kReadOnly ? O_RDONLY | O_CLOEXEC : O_RDWR | O_CREAT | O_CLOEXEC;
    UniqueFd fd(::open(path.c_str(), flags, 0666));
    if (!fd.Valid())
        return errno == ENOENT ? FILE_SYS::IFile::kNotFound : IO::IDataProvider::kIOError;
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return IO::IDataProvider::kIOError;
    if (info.st_size > kMaxPosition)
        return kFileTooLarge;

    TInterfacePtr<FileDataProvider> provider;
    provider.Adopt(new FileDataProvider(std::move(fd), mode));
    TInterfacePtr<URI> copy;
    copy.Adopt(new URI);
    copy->SetText(uri.GetText());
    provider->AttachInterface(copy.Get(), IO::IURI::IID);
    out.Adopt(provider.Detach());
    return kOK;
}

std::int32_t FileDataProvider::GetSize() {
    struct stat info {};
    if (::fstat(mFd.Get(), &info) != 0)
        return 0;
    return static_cast<std::int32_t>(info.st_size > kMaxPosition ? kMaxPosition : info.st_size);
}

Status FileDataProvider::SetPosition(std::int32_t offset, std::int32_t origin) {
    return ResolvePosition(offset, origin, mPosition, GetSize(), mPosition);
}

Status FileDataProvider::Read(void* buffer, std::uint32_t& count) {
    if (count == 0)
        return kOK;
    if (buffer == nullptr) {
        count = 0;
        return kBadArgument;
    }
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::uint32_t delivered = 0;
    while (delivered < count) {
        const ssize_t n = ::pread(mFd.Get(), bytes + delivered, count - delivered, mPosition);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            count = delivered;
            return kIOError;
        }
        if (n == 0)
            break;
        delivered += static_cast<std::uint32_t>(n);
        mPosition += n;
    }
    count = delivered;
    return kOK;
}

Status FileDataProvider::Write(const void* buffer, std::uint32_t count) {
    if (mMode == Mode::kReadOnly)
        return kReadOnly;
    if (count == 0)
        return kOK;
    if (buffer == nullptr)
        return kBadArgument;
    if (mPosition + static_cast<std::int64_t>(count) > kMaxPosition)
        return kBadPosition;
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    std::uint32_t written = 0;
    while (written < count) {
        const ssize_t n = ::pwrite(mFd.Get(), bytes + written, count - written, mPosition);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return kIOError;
        }
        if (n == 0)
            return kIOError;
        written += static_cast<std::uint32_t>(n);
        mPosition += n;
    }
    return kOK;
}

} // namespace BRASK::HOST
