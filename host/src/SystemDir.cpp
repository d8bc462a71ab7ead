#include "SystemDir.h"

#include "NativePath.h"
#include "SystemFile.h"
#include "brask_host/HostStatus.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace BRASK::HOST {

Status SystemDir::SetPath(const CoreString& path) {
    if (path.empty())
        return kBadArgument;
    mPath = path;
    return kOK;
}

CoreString SystemDir::GetPath(bool full) const {
    if (!full || mPath.empty())
        return mPath;
    return FromNative(AbsolutePath(ToNative(mPath)));
}

bool SystemDir::Exists() const {
    if (mPath.empty())
        return false;
    struct stat info {};
    return ::stat(ToNative(mPath).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

Status SystemDir::Create() {
    if (mPath.empty())
        return kCreateFailed;
    std::error_code error;
    const std::filesystem::path path = ToNative(mPath);
    std::filesystem::create_directories(path, error);
    if (error || !std::filesystem::is_directory(path, error))
        return kCreateFailed;
    return kOK;
}

Status SystemDir::CreateFile(const CoreString& name, TInterfacePtr<FILE_SYS::IFile>& file) {
    file.Reset();
    const std::string leaf = ToNative(name);
    if (mPath.empty() || leaf.empty() || leaf == "." || leaf == ".." || leaf.find('/') != std::string::npos ||
        leaf.find('\0') != std::string::npos)
        return kCreateFailed;
    std::string path = ToNative(mPath);
    if (path.back() != '/')
        path += '/';
    path += leaf;
    // O_EXCL: a name that is taken is never handed out twice, even between racing callers.
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.Valid())
        return errno == EEXIST ? kFileExists : kCreateFailed;
    file.Adopt(new SystemFile(FromNative(path)));
    return kOK;
}

} // namespace BRASK::HOST
