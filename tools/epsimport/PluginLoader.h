// The plug-in loaded from the application folder with dlopen, as a host loads it.
#pragma once

#include "brask/Graphics.h"
#include "brask/Plugin.h"

#include <string>

namespace BRASK::EPSIMPORT {

class PluginLoader {
public:
    PluginLoader() = default;
    PluginLoader(const PluginLoader&) = delete;
    PluginLoader& operator=(const PluginLoader&) = delete;
    ~PluginLoader();

    // Loads <applicationDir>/libEPSLoader.so and calls its Init with `factory`; false with Error() set.
    bool Load(const std::string& applicationDir, IClassFactory& factory);
    // A new composite graphic of the EPS/SVG class, or an empty pointer.
    TInterfacePtr<GRAPHICS::ICompositeGraphic> NewCompositeGraphic();
    const std::string& Error() const { return mError; }

private:
    void* mLibrary = nullptr;
    PluginDeInitFn mDeInit = nullptr;
    PluginGetClassObjectFn mGetClassObject = nullptr;
    std::string mError;
};

// The application folder: $BRASK_APP_DIR, else ../lib/<project> beside the running program when it holds the
// plug-in (the installed layout), else ../app (the build tree's layout).
std::string DefaultApplicationFolder();

} // namespace BRASK::EPSIMPORT
