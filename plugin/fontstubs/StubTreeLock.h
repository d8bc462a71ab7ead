// An exclusive lock on the stub tree, held while a process brings the tree up to date, so that two processes
// starting together do not write the same stub twice or overwrite each other's index lines.
#pragma once

#include <string>

namespace BRASK::PLUGIN {

class StubTreeLock {
public:
    // Waits for the lock on the file `path` (created when missing). Without the file, no lock is held.
    explicit StubTreeLock(const std::string& path);
    ~StubTreeLock();
    StubTreeLock(const StubTreeLock&) = delete;
    StubTreeLock& operator=(const StubTreeLock&) = delete;

    bool Held() const { return mFd >= 0; }

private:
    int mFd = -1;
};

} // namespace BRASK::PLUGIN
