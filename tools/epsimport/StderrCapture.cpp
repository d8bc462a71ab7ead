#include "StderrCapture.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/common_interface_defs.h>
#endif

namespace BRASK::EPSIMPORT {

namespace {

void WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

// Reads the whole buffer and empties it; writers append, so the next text starts at the beginning.
std::string TakeText(int buffer) {
    std::string text;
    char chunk[8192];
    for (off_t at = 0;;) {
        const ssize_t got = pread(buffer, chunk, sizeof chunk, at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        text.append(chunk, static_cast<std::size_t>(got));
        at += got;
    }
    [[maybe_unused]] const int emptied = ftruncate(buffer, 0);
    return text;
}

} // namespace

int MakeCaptureBuffer() {
    const int fd = memfd_create("epsimport-stderr", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    // Appending writers (this process through descriptor 2, helpers that inherited it) never leave holes
    // after the buffer is emptied.
    if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_APPEND) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void PassOnCaptured(int bufferFd) {
    if (bufferFd < 0)
        return;
    const std::string text = TakeText(bufferFd);
    WriteAll(STDERR_FILENO, text.data(), text.size());
}

StderrCapture::StderrCapture(int bufferFd) : mBuffer(bufferFd >= 0 ? bufferFd : MakeCaptureBuffer()) {
#ifdef __SANITIZE_ADDRESS__
    // A sanitizer report ends the process at once: it must reach the real standard error, not the buffer.
    mReportFd = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (mReportFd >= 0)
        __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(mReportFd)));
#endif
}

StderrCapture::~StderrCapture() {
    if (mSavedStderr >= 0)
        End();
    if (mBuffer >= 0)
        close(mBuffer);
#ifdef __SANITIZE_ADDRESS__
    if (mReportFd >= 0) {
        __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(STDERR_FILENO)));
        close(mReportFd);
    }
#endif
}

void StderrCapture::Begin() {
    if (mBuffer < 0 || mSavedStderr >= 0)
        return;
    std::fflush(stderr);
    mSavedStderr = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (mSavedStderr < 0)
        return;
    if (dup2(mBuffer, STDERR_FILENO) < 0) {
        close(mSavedStderr);
        mSavedStderr = -1;
    }
}

std::string StderrCapture::End() {
    if (mSavedStderr < 0)
        return std::string();
    std::fflush(stderr);
    dup2(mSavedStderr, STDERR_FILENO);
    close(mSavedStderr);
    mSavedStderr = -1;
    const std::string text = TakeText(mBuffer);
    WriteAll(STDERR_FILENO, text.data(), text.size());
    return text;
}

} // namespace BRASK::EPSIMPORT
