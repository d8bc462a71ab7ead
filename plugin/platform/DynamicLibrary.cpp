#include "DynamicLibrary.h"

#include <dlfcn.h>

#include <utility>

namespace BRASK::PLATFORM {

namespace {
// dlerror's text (reading it clears it), or the fallback when the loader left none.
std::string TakeLoaderError(const char* fallback) {
    const char* text = dlerror();
    return text != nullptr ? std::string(text) : std::string(fallback);
}
} // namespace

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : mHandle(std::exchange(other.mHandle, nullptr)), mPath(std::move(other.mPath)),
      mError(std::move(other.mError)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        FreeLibrary();
        mHandle = std::exchange(other.mHandle, nullptr);
        mPath = std::move(other.mPath);
        mError = std::move(other.mError);
    }
    return *this;
}

bool DynamicLibrary::LoadLibrary(const std::string& path) {
    FreeLibrary();
    mPath = path;
    if (path.empty()) {
        mError = "empty library path";
        return false;
    }
    dlerror();
    mHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (mHandle == nullptr) {
        mError = TakeLoaderError("the library could not be loaded");
        return false;
    }
    mError.clear();
    return true;
}

void* DynamicLibrary::GetProcAddress(const char* name) {
    if (mHandle == nullptr) {
        mError = "no library loaded";
        return nullptr;
    }
    if (name == nullptr) {
        mError = "no symbol name";
        return nullptr;
    }
    dlerror();
    void* address = dlsym(mHandle, name);
    // A symbol may legitimately be null; only dlerror tells a miss apart.
    const char* text = dlerror();
    if (text != nullptr) {
        mError = text;
        return nullptr;
    }
    if (address == nullptr) {
        mError = std::string("symbol not found: ") + name;
        return nullptr;
    }
    mError.clear();
    return address;
}

bool DynamicLibrary::FreeLibrary() {
    if (mHandle == nullptr)
        return true;
    dlerror();
    const int result = dlclose(mHandle);
    mHandle = nullptr;
    if (result != 0) {
        mError = TakeLoaderError("the library could not be unloaded");
        return false;
    }
    return true;
}

} // namespace BRASK::PLATFORM
