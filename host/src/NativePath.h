// Conversions between the host's UTF-16 paths and the operating system's UTF-8 paths, and an owned
// descriptor.
#pragma once

#include "brask/CoreString.h"

#include <string>
#include <utility>

namespace BRASK::HOST {

// The UTF-8 form of a UTF-16 path.
std::string ToNative(const CoreString& path);
CoreString FromNative(const std::string& path);

// `path` made absolute against the working folder and lexically normalised; trailing separators are dropped
// (except for the root). Empty stays empty.
std::string AbsolutePath(const std::string& path);

// $TMPDIR, or /tmp when it is unset or empty, made absolute.
std::string DefaultTemporaryDir();
// The folder that holds the running program.
std::string ProgramDir();

// An owned file descriptor, closed at destruction.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : mFd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : mFd(std::exchange(other.mFd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();

    int Get() const { return mFd; }
    bool Valid() const { return mFd >= 0; }

private:
    int mFd = -1;
};

} // namespace BRASK::HOST
