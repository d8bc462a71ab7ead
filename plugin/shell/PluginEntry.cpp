// The plug-in's three exports; each runs behind the guard of host calls.
#include "ClassFactorySlot.h"
#include "GraphicLog.h"
#include "HostBoundary.h"
#include "PluginClassFactories.h"

#include "MemoryManager.h"
#include "brask/ClassIds.h"
#include "brask/FileSys.h"
#include "brask/Logger.h"

#include <cstdio>

using namespace BRASK;
using COREREGISTRY::GuardHostCall;
using COREREGISTRY::kInternalError;
using COREREGISTRY::kPDFBasedCGSource;

#define BRASK_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

BRASK_PLUGIN_EXPORT Status Init(const FILE_SYS::IDir* /*pluginDir*/, IClassFactory* factory) {
    constexpr char kFunction[] = "long __cdecl InitPlugin(const class BRASK::FILE_SYS::IDir *,class "
                                 "BRASK::IClassFactory *)";
    return GuardHostCall(
        kPDFBasedCGSource, kFunction,
        [&]() -> Status {
            COREREGISTRY::ClassFactorySlot::Set(factory);
            if (factory == nullptr) {
                BRASK_LOG_ERROR(
                    kPDFBasedCGSource, kFunction,
                    "A valid class factory must be passed to plugins, this is how they get objects from the "
                    "libs without linkage");
                return 1;
            }
            MEMFIX::InitMemoryManager();
            return kOK;
        },
        kInternalError);
}

BRASK_PLUGIN_EXPORT Status DeInit() {
    return kOK;
}

BRASK_PLUGIN_EXPORT Status GetClassObject(const GUID* classOrInterfaceId, void* /*reserved*/, IObject** out) {
    constexpr char kFunction[] =
        "long __cdecl GetClassObject(const struct _GUID *,void *,class BRASK::IObject * *)";
    if (out == nullptr)
        return 1;
    *out = nullptr;
    if (classOrInterfaceId == nullptr)
        return kOutOfMemory;
    const GUID& id = *classOrInterfaceId;
    return GuardHostCall(
        kPDFBasedCGSource, kFunction,
        [&]() -> Status {
            if (id == CLSID::PluginClassFactoriesIID)
                *out = new COREREGISTRY::PluginClassFactories;
            else if (id == CLSID::EPSCompositeGraphic)
                *out = COREREGISTRY::CreateICompositeGraphic(nullptr);
            else if (id == CLSID::SecondOfferedClass)
                return kOutOfMemory;
            else {
                std::printf("%s: No interface for 0x%X-0x%X-0x%X-%d-%d-%d-%d-%d-%d-%d-%d\n",
                            "CreateClassFactory", id.Data1, id.Data2, id.Data3, id.Data4[0], id.Data4[1],
                            id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
                std::fflush(stdout);
                return kOutOfMemory;
            }
            return *out != nullptr ? kOK : kOutOfMemory;
        },
        kInternalError);
}
