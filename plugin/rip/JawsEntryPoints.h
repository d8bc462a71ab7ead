// The process-wide table of the interpreter wrapper's entry points and its loading.
#pragma once

#include "jaws/JawsApi.h"

#include "brask/CoreString.h"
#include "brask/IClassFactory.h"

#include <atomic>
#include <mutex>

namespace BRASK::PLATFORM {
class DynamicLibrary;
}

namespace BRASK::PLUGIN {

struct JawsEntryPoints {
    void* module = nullptr;
#define BRASK_JAWS_FIELD(ret, name, args) PFN_##name name = nullptr;
    JAWS_ENTRY_POINTS(BRASK_JAWS_FIELD)
#undef BRASK_JAWS_FIELD
};

// The table every RIP operation calls through; filled by the last load attempt, never cleared.
JawsEntryPoints& GetJawsEntryPoints();

// The flag every caller hands to LoadJawsLibrary: true once a load, bind and start succeeded.
std::atomic<bool>& JawsLibraryLoaded();

// Serialises LoadJawsLibrary.
std::mutex& JawsLoaderLock();

// Binds all 51 names of `library` into `table`; false (table untouched) when any one is missing.
bool BindJawsEntryPoints(PLATFORM::DynamicLibrary& library, JawsEntryPoints& table);

// Makes sure a load of the wrapper was attempted and answers whether it is loaded, bound and started. An
// attempt finds the wrapper and its folders through `factory`. The fast path is one atomic read; a failed
// attempt is retried by the next call.
bool LoadJawsLibrary(std::atomic<bool>& flag, IClassFactory* factory);

// The device path the interpreter is started with (UTF-8, NUL-terminated); the caller frees it with delete[].
void MakeJawsDevicePath(IClassFactory* factory, char*& path);

// The device path as text; its font part is the font stub directory's path string.
CoreString BuildJawsDevicePath(IClassFactory* factory, const CoreString& fontPathString);

// Logs a wrapper's message with the given source: an error record, or for a warning (kJawsLogWarning) an
// error-type record of level 2.
void LogWrapperMessage(const char* source, const char* function, long line, int kind, const char* message);

// Receives the interpreter's messages and logs them as errors (warnings at level 2).
void jawsLogging(void* context, int kind, char* message, int length);

} // namespace BRASK::PLUGIN
