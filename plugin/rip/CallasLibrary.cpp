#include "CallasLibrary.h"

#include "FontDevice.h"
#include "JawsEntryPoints.h"

#include "LibUtils.h"

#include "Platform.h"
#include "brask/IClassFactory.h"

namespace BRASK::PLUGIN {

namespace {
std::string CallasLibraryPath(IClassFactory* factory) {
    TInterfacePtr<FILE_SYS::ISystemDirContainer> container;
    container.Adopt(FILE_SYS::CreateSystemDirContainer(factory));
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
#define BRASK_CALLAS_BIND_OPTIONAL(ret, name, args) bound.name = mLibrary.GetProc<PFN_##name>(#name);
    CALLAS_OPTIONAL_ENTRY_POINTS(BRASK_CALLAS_BIND_OPTIONAL)
#undef BRASK_CALLAS_BIND_OPTIONAL
    mEntryPoints = bound;
    mLoaded = true;
}

void CallasLibrary::ShareFonts(IClassFactory* factory) {
    if (!mLoaded)
        return;
    std::call_once(mFontsShared, [this, factory] {
        if (mEntryPoints.CallasSetLogger != nullptr)
            mEntryPoints.CallasSetLogger(nullptr, &callasLogging);
        if (mEntryPoints.CallasSetFontPaths != nullptr) {
            const std::string fonts = FontDevice::Instance(factory).GetFontPathString().GetUTF8String();
            mEntryPoints.CallasSetFontPaths(fonts.c_str());
        }
    });
}

void callasLogging(void* /*context*/, int kind, char* message, int /*length*/) {
    constexpr char kFunction[] = "void __cdecl BRASK::PLUGIN::callasLogging(void *,int,char *,int)";
    LogWrapperMessage("core/Plugins/EPSLoader/Source/src/Common/CallasRip", kFunction, __LINE__, kind,
                      message);
}

CallasLibrary& CallasLibrary::Instance(IClassFactory* factory) {
    // Made once (thread-safe static initialisation) and kept: a failed load is not retried.
    static CallasLibrary* library = new CallasLibrary(CallasLibraryPath(factory));
    return *library;
}

} // namespace BRASK::PLUGIN
