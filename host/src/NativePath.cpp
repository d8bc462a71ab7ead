#include "NativePath.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace BRASK::HOST {

std::string ToNative(const CoreString& path) {
    return path.GetUTF8String();
}

CoreString FromNative(const std::string& path) {
    return CoreString::FromUTF8(path);
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty())
        return path;
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error)
        absolute = path;
    std::string text = absolute.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

std::string DefaultTemporaryDir() {
    const char* tmp = std::getenv("TMPDIR");
    return AbsolutePath(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp");
}

std::string ProgramDir() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return AbsolutePath(".");
    return AbsolutePath(program.parent_path().string());
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (mFd >= 0)
            ::close(mFd);
        mFd = std::exchange(other.mFd, -1);
    }
    return *this;
}

UniqueFd::~UniqueFd() {
    if (mFd >= 0)
        ::close(mFd);
}

} // namespace BRASK::HOST
