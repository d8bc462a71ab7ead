#include "SystemFile.h"

#include "NativePath.h"
#include "brask_host/HostStatus.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace BRASK::HOST {

Status SystemFile::SetPath(const CoreString& path) {
    if (path.empty())
        return kBadArgument;
    mPath = path;
    return kOK;
}

CoreString SystemFile::GetPath(bool full) const {
    if (!full || mPath.empty())
        return mPath;
    return FromNative(AbsolutePath(ToNative(mPath)));
}

bool SystemFile::Exists() const {
    if (mPath.empty())
        return false;
    struct stat info {};
    return ::stat(ToNative(mPath).c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

Status SystemFile::Create() {
    if (mPath.empty())
        return kCreateFailed;
    const std::string path = ToNative(mPath);
    // No O_TRUNC: an existing file keeps its bytes.
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (!fd.Valid())
        return kCreateFailed;
    return kOK;
}

Status SystemFile::Delete() {
    if (mPath.empty())
        return kNotFound;
    if (::unlink(ToNative(mPath).c_str()) == 0)
        return kOK;
    return errno == ENOENT || errno == ENOTDIR ? kNotFound : kDeleteFailed;
}

} // namespace BRASK::HOST
