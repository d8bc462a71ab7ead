// The last error is kept per thread: the manager is shared by threads, and one thread's result read by
// another would describe an operation the reader never made.
#include "MemoryManager.h"
#include "Zone.h"

namespace BRASK::MEMFIX {

namespace {
thread_local OSErr tLastError = noErr;
} // namespace

void SetLastMemError(OSErr error) {
    tLastError = error;
}

OSErr MemError() {
    return tLastError;
}

} // namespace BRASK::MEMFIX
