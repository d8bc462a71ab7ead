#include "PluginLoader.h"

#include "brask/ClassIds.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>

namespace BRASK::EPSIMPORT {

PluginLoader::~PluginLoader() {
    // The plug-in stays loaded: its interpreter and objects may outlive this loader until the process ends.
    if (mDeInit != nullptr)
        mDeInit();
}

bool PluginLoader::Load(const std::string& applicationDir, IClassFactory& factory) {
    const std::string path = applicationDir + "/libEPSLoader.so";
    mLibrary = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (mLibrary == nullptr) {
        const char* reason = dlerror();
        mError = "cannot load the plug-in: " + std::string(reason != nullptr ? reason : path);
        return false;
    }
    auto init = reinterpret_cast<PluginInitFn>(dlsym(mLibrary, "Init"));
    mDeInit = reinterpret_cast<PluginDeInitFn>(dlsym(mLibrary, "DeInit"));
    mGetClassObject = reinterpret_cast<PluginGetClassObjectFn>(dlsym(mLibrary, "GetClassObject"));
    if (init == nullptr || mDeInit == nullptr || mGetClassObject == nullptr) {
        mError = path + " lacks Init, DeInit or GetClassObject";
        mDeInit = nullptr;
        return false;
    }
    if (const Status status = init(nullptr, &factory); status != kOK) {
        mError = "the plug-in's Init failed with status " + std::to_string(status);
        return false;
    }
    return true;
}

TInterfacePtr<GRAPHICS::ICompositeGraphic> PluginLoader::NewCompositeGraphic() {
    IObject* made = nullptr;
    if (mGetClassObject == nullptr || mGetClassObject(&CLSID::EPSCompositeGraphic, nullptr, &made) != kOK)
        return {};
    TInterfacePtr<IObject> owned;
    owned.Adopt(made); // released here when it is not a composite graphic
    return TInterfacePtr<GRAPHICS::ICompositeGraphic>(dynamic_cast<GRAPHICS::ICompositeGraphic*>(made));
}

std::string DefaultApplicationFolder() {
    if (const char* configured = std::getenv("BRASK_APP_DIR"); configured != nullptr && *configured != '\0')
        return configured;
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return "app";
    const auto base = program.parent_path().parent_path();
    // Installed: <prefix>/bin/epsimport beside <prefix>/lib/<project>/; the build tree: bin/ beside app/.
    const auto installed = base / "lib" / BRASK_PROJECT_FOLDER;
    if (std::filesystem::exists(installed / "libEPSLoader.so", error))
        return installed.lexically_normal().string();
    return (base / "app").lexically_normal().string();
}

} // namespace BRASK::EPSIMPORT
