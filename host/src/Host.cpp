#include "brask_host/Host.h"

#include "CmmTransform.h"
#include "GraphicsEnvironment.h"
#include "GuidList.h"
#include "MemoryDataProvider.h"
#include "NativePath.h"
#include "PersistentDictionary.h"
#include "PhotoShopResourceParser.h"
#include "RasterComponent.h"
#include "SystemDir.h"
#include "SystemDirContainer.h"
#include "SystemFile.h"
#include "TemporaryFolder.h"
#include "Tile.h"
#include "URI.h"
#include "URIRegistry.h"
#include "brask/ClassIds.h"
#include "brask_host/HostStatus.h"

#include <mutex>
#include <new>

namespace BRASK::HOST {

TInterfacePtr<Host> Host::Create(const HostOptions& options) {
    TInterfacePtr<Host> host;
    host.Adopt(new Host(options));
    return host;
}

Host::Host(const HostOptions& options)
    : mApplicationDir(options.applicationDir.empty() ? ProgramDir() : AbsolutePath(options.applicationDir)),
      mTemporaryDir(options.temporaryDir.empty()
                        ? TemporaryFolder::Private(DefaultTemporaryDir())
                        : TemporaryFolder::Given(AbsolutePath(options.temporaryDir))) {
    mGraphicsEnvironment.Adopt(new GraphicsEnvironment);
    RegisterBuiltInClasses();
}

Host::~Host() {
    UnpublishCoreRegistry();
}

const std::string& Host::TemporaryDir() const {
    return mTemporaryDir->Path();
}

void Host::RegisterBuiltInClasses() {
    const std::string appDir = mApplicationDir;
    std::shared_ptr<const TemporaryFolder> tempDir = mTemporaryDir;
    RegisterClass(CLSID::SystemDirContainer,
                  [appDir, tempDir]() -> IObject* { return new SystemDirContainer(appDir, tempDir); });
    RegisterClass(CLSID::URI, []() -> IObject* { return new URI; });
    RegisterClass(CLSID::URIRegistry, []() -> IObject* { return new URIRegistry; });
    RegisterClass(CLSID::PersistentDictionary, []() -> IObject* { return new PersistentDictionary; });
    IObject* environment = mGraphicsEnvironment.Get();
    // The environment lives as long as the host, which owns this table; each caller gets a reference.
    RegisterClass(CLSID::GraphicsEnvironment,
                  [environment]() -> IObject* { return TInterfacePtr<IObject>(environment).Detach(); });
    RegisterClass(CLSID::Tile, []() -> IObject* { return new Tile; });
    RegisterClass(CLSID::SystemFile, []() -> IObject* { return new SystemFile; });
    RegisterClass(CLSID::SystemDir, []() -> IObject* { return new SystemDir; });
    RegisterClass(CLSID::MemoryDataProvider, []() -> IObject* { return new MemoryDataProvider; });
    RegisterClass(CLSID::PhotoShopResourceParser, []() -> IObject* { return new PhotoShopResourceParser; });
    RegisterClass(CLSID::GuidList, []() -> IObject* { return new GuidList; });
    RegisterClass(CLSID::CmmTransform, []() -> IObject* { return new CmmTransform; });
    RegisterClass(CLSID::RasterComponent, []() -> IObject* { return new RasterComponent; });
}

void Host::RegisterClass(const GUID& classId, Creator creator) {
    std::unique_lock<std::shared_mutex> lock(mClassesLock);
    mClasses[classId] = std::move(creator);
}

Status Host::CreateInstance(const GUID& classId, IObject** out) {
    if (out == nullptr)
        return kBadArgument;
    *out = nullptr;
    Creator creator;
    {
        std::shared_lock<std::shared_mutex> lock(mClassesLock);
        auto it = mClasses.find(classId);
        if (it == mClasses.end())
            return kBadArgument;
        creator = it->second;
    }
    try {
        *out = creator ? creator() : nullptr;
    } catch (...) {
        *out = nullptr;
    }
    return *out != nullptr ? kOK : kOutOfMemory;
}

void Host::PublishAsCoreRegistry() {
    COREREGISTRY::SetCoreRegistry(this);
}

void Host::UnpublishCoreRegistry() {
    if (COREREGISTRY::GetCoreRegistry() == this)
        COREREGISTRY::SetCoreRegistry(nullptr);
}

} // namespace BRASK::HOST
