// A job's output file, opened so that nothing planted at its path can redirect the write: a symbolic link
// is never followed and a file with another name (hard link) is never written through. Accepted are a
// regular file of this user with one link (emptied) and a missing path (created exclusively, mode 0600);
// anything else is refused with the reason.
#pragma once

#include <string>
#include <sys/types.h>

namespace BRASK::WRAPPERS {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False with `error` when the path is refused or cannot be opened.
    bool Open(const std::string& path, std::string& error);
    bool IsOpen() const { return mFd >= 0; }
    int Descriptor() const { return mFd; }

    bool Write(const void* data, std::size_t length);
    // Writes the bytes of the file at `source` (after whatever was written since Open).
    bool CopyFrom(const std::string& source, std::string& error);
    // Closes the file, keeping it; false when a write or the close failed.
    bool Close(std::string& error);
    // Closes the file (if still open) and removes its path when the path still names the file opened here.
    void Discard();

private:
    std::string mPath;
    int mFd = -1;
    dev_t mDevice = 0;
    ino_t mInode = 0;
    bool mOpened = false; // Open succeeded and nothing was discarded since
    bool mWriteFailed = false;
};

// Removes `path` when it is a regular file of this user with one link: what OutputFile would have written.
// Anything else (a link, someone else's file, a folder) is left alone.
void RemoveOwnedOutput(const std::string& path);

} // namespace BRASK::WRAPPERS
