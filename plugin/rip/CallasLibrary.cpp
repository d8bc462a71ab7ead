#include "CallasLibrary.h"

#include "shell/LibUtils.h"

#include "brask/IClassFactory.h"
#include "platform/Platform.h"

namespace BRASK::PLUGIN {

namespace {
std::string CallasLibraryPath() {
    TInterfacePtr<FILE_SYS::ISystemDirContainer> container;
    container.Adopt(FILE_SYS::CreateSystemDirContainer(COREREGISTRY::GetCoreRegistry()));
    TInterfacePtr<FILE_SYS::IDir> application;
    if (!container || container->GetSpecialDir(FILE_SYS::kApplicationDir, application) != kOK || !application)
        return std::string();
    return application->GetPath(true).GetUTF8String() + "/PDFToolBox/" +
           PLATFORM::LibraryFileName("CallasWrapper");
}
} // namespace

CallasLibrary::CallasLibrary(const std::string& preferredPath) {
    bool loaded = !preferredPath.empty() && mLibrary.LoadLibrary(preferredPath);
    if (!loaded)
        loaded = mLibrary.LoadLibrary(PLATFORM::LibraryFileName("CallasWrapper"));
    if (!loaded)
        return;
    CallasEntryPoints bound;
#define BRASK_CALLAS_BIND(ret, name, args)                                                                   \
    bound.name = mLibrary.GetProc<PFN_##name>(#name);                                                        \
    if (bound.name == nullptr)                                                                               \
        return;
    CALLAS_ENTRY_POINTS(BRASK_CALLAS_BIND)
#undef BRASK_CALLAS_BIND
    mEntryPoints = bound;
    mLoaded = true;
}

CallasLibrary& CallasLibrary::Instance() {
    // Made once (thread-safe static initialisation) and kept: a failed load is not retried.
    static CallasLibrary* library = new CallasLibrary(CallasLibraryPath());
    return *library;
}

} // namespace BRASK::PLUGIN
