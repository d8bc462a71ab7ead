// A shared library loaded at run time, unloaded when the object goes (unless kept loaded).
#pragma once

#include "brask/CoreString.h"

#include <string>

namespace BRASK::PLATFORM {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    // Loads `path` at once; check IsLoaded() and Error().
    explicit DynamicLibrary(const std::string& path) { LoadLibrary(path); }
    ~DynamicLibrary() { FreeLibrary(); }

    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Loads the library with every symbol bound now and none made global (a path with a slash is
    // taken as it is; a bare name is looked up on the loader's search path). Any library held before
    // is freed first. false when it could not be loaded; Error() then holds the loader's text.
    bool LoadLibrary(const std::string& path);
    bool LoadLibrary(const CoreString& path) { return LoadLibrary(path.GetUTF8String()); }
    // The address of an exported symbol, or null (Error() then holds the loader's text).
    void* GetProcAddress(const char* name);
    template <typename Function> Function GetProc(const char* name) {
        return reinterpret_cast<Function>(GetProcAddress(name));
    }
    // Unloads the library; true when nothing is held afterwards.
    bool FreeLibrary();
    // Gives up ownership: the library stays loaded until the process ends.
    void KeepLoaded() { mHandle = nullptr; }

    bool IsLoaded() const { return mHandle != nullptr; }
    const std::string& Path() const { return mPath; }
    // The text of the last failure of this object, empty after a success.
    const std::string& Error() const { return mError; }

private:
    void* mHandle = nullptr;
    std::string mPath;
    std::string mError;
};

} // namespace BRASK::PLATFORM
