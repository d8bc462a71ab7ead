// The converter wrapper (PDFToolBox/libCallasWrapper.so): loaded once, six entry points bound by name.
#pragma once

#include "jaws/CallasApi.h"

#include "DynamicLibrary.h"
#include "brask/CoreString.h"
#include "brask/IClassFactory.h"

#include <atomic>
#include <mutex>
#include <string>

namespace BRASK::PLUGIN {

struct CallasEntryPoints {
#define BRASK_CALLAS_FIELD(ret, name, args) PFN_##name name = nullptr;
    CALLAS_ENTRY_POINTS(BRASK_CALLAS_FIELD)
    // Bound when the library has them; null otherwise.
    CALLAS_OPTIONAL_ENTRY_POINTS(BRASK_CALLAS_FIELD)
#undef BRASK_CALLAS_FIELD
};

class CallasLibrary {
public:
    // Loads `preferredPath`, else the bare file name, and binds the six names. One attempt per object.
    explicit CallasLibrary(const std::string& preferredPath);

    // The process's library, loaded on first use from the PDFToolBox folder of the application folder that
    // `factory` names.
    static CallasLibrary& Instance(IClassFactory* factory);

    // Byte 0: loaded and every name bound.
    bool IsLoaded() const { return mLoaded; }
    // Byte 1: an InitCallas call returned 0.
    bool IsInitialised() const { return mInitialised.load(std::memory_order_acquire); }
    void SetInitialised() { mInitialised.store(true, std::memory_order_release); }
    const CallasEntryPoints& EntryPoints() const { return mEntryPoints; }
    const std::string& LoadError() const { return mLibrary.Error(); }
    // Once per library, before its first InitCallas: hands the converter the font stub directory's path
    // string (building the directory through `factory`, as the interpreter's start does) and a logger for
    // its warnings, when the library offers those entry points.
    void ShareFonts(IClassFactory* factory);

private:
    PLATFORM::DynamicLibrary mLibrary;
    CallasEntryPoints mEntryPoints;
    bool mLoaded = false;
    std::atomic<bool> mInitialised{false};
    std::once_flag mFontsShared;
};

// Receives the converter's warnings and logs them like the interpreter's (jawsLogging).
void callasLogging(void* context, int kind, char* message, int length);

} // namespace BRASK::PLUGIN
