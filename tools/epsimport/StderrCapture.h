// What this process, and the helper processes it starts meanwhile, write to standard error while a picture
// is placed. The converter wrapper tells why a conversion failed only there. The text is kept in an anonymous
// memory file, read back when the picture is done and passed on to the real standard error, so nothing is
// lost and nothing lands in the file system.
#pragma once

#include <string>

namespace BRASK::EPSIMPORT {

class StderrCapture {
public:
    // Uses `bufferFd` (a memory file the caller made, see MakeCaptureBuffer) or, when it is -1, makes its
    // own.
    explicit StderrCapture(int bufferFd = -1);
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Standard error goes to the buffer from now on.
    void Begin();
    // Standard error is back; returns what was written since Begin (and before, by helpers that outlived an
    // earlier window), after passing it on to standard error.
    std::string End();

private:
    int mBuffer = -1;
    int mSavedStderr = -1;
    [[maybe_unused]] int mReportFd = -1; // sanitizer builds: the real standard error for reports
};

// A memory file for StderrCapture, or -1 when the system offers none (then nothing is captured).
int MakeCaptureBuffer();

// Everything in `bufferFd` that was not yet passed on, written to standard error (for a buffer whose process
// ended before it could do so).
void PassOnCaptured(int bufferFd);

} // namespace BRASK::EPSIMPORT
