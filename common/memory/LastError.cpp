// The last error is kept per thread: the manager is shared by threads, and one thread's result read by
// another would describe an operation the reader never made.
#include "MemoryManager.h"
#include "Zone.h"

namespace BRASK::MEMFIX {

namespace {
// The alignment keeps the thread-local block of every library that carries this (the plug-in, the converter
// wrapper) from starting 16 bytes into a page: GCC 12's LeakSanitizer takes such a block for an old glibc
// layout, reads a size from before it and crashes while scanning for leaks.
alignas(64) thread_local OSErr tLastError = noErr;
} // namespace

void SetLastMemError(OSErr error) {
    tLastError = error;
}

OSErr MemError() {
    return tLastError;
}

} // namespace BRASK::MEMFIX
