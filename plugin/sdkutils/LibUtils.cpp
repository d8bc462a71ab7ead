#include "LibUtils.h"

#include "brask/ClassIds.h"
#include "brask/Logger.h"

namespace BRASK {

namespace {
constexpr char kIOSource[] = "SDK/Headers/Core/LibSupport/AbstractIO/LibUtils";
constexpr char kFileSource[] = "SDK/Headers/Core/LibSupport/FileIO/LibUtils";
constexpr char kGraphicsSource[] = "SDK/Headers/Core/Graphics/PlugInHelper";
constexpr char kNoFactory[] = "Attempted to use a library util without a factory pointer";
} // namespace

namespace IO {

Status CreateURI(IClassFactory* factory, TInterfacePtr<IURI>& uri, const CoreString& path) {
    constexpr char kFunction[] = "long __cdecl BRASK::IO::CreateURI(class BRASK::IClassFactory *,class "
                                 "BRASK::TInterfacePtr<class BRASK::IO::IURI> &,const class "
                                 "BRASK::STRING::CoreString &)";
    if (factory == nullptr) {
        BRASK_LOG_ERROR(kIOSource, kFunction, kNoFactory);
        return kLibUtilFailed;
    }
    TInterfacePtr<IURI> made;
    if (CreateInstance(factory, CLSID::URI, made) != kOK) {
        BRASK_LOG_ERROR(kIOSource, kFunction, "Factory could not create an IURI object.");
        return kLibUtilFailed;
    }
    uri = std::move(made);
    uri->SetText(path);
    return kOK;
}

Status CreateUriDataProvider(IClassFactory* factory, TInterfacePtr<IDataProvider>& provider, IURI& uri,
                             std::int32_t mode, IReporter* /*reporter*/) {
    constexpr char kFunction[] = "long __cdecl BRASK::IO::CreateUriDataProvider(class BRASK::IClassFactory "
                                 "*,class BRASK::TInterfacePtr<class BRASK::IO::IDataProvider> &,class "
                                 "BRASK::IO::IURI &,long,class BRASK::IO::IReporter *)";
    if (factory == nullptr) {
        BRASK_LOG_ERROR(kIOSource, kFunction, kNoFactory);
        return kLibUtilFailed;
    }
    TInterfacePtr<IURIRegistry> registry;
    if (CreateInstance(factory, CLSID::URIRegistry, registry) != kOK) {
        BRASK_LOG_ERROR(kIOSource, kFunction, "Could not create an instance of IID_IURIRegistry.");
        return kLibUtilFailed;
    }
    TInterfacePtr<IURIFile> uriFile;
    registry->GetURIFile(uri, uriFile);
    if (!uriFile) {
        BRASK_LOG_ERROR(kIOSource, kFunction, "IURIRegistry could not create a IURIFile");
        return kLibUtilFailed;
    }
    TInterfacePtr<IDataProviderStream> stream;
    Status status = kLibUtilFailed;
    if (mode == kReadOnlyMode)
        status = uriFile->OpenReadOnlyStream(stream);
    else if (mode == kReadWriteMode)
        status = uriFile->OpenReadWriteStream(stream);
    if (stream && status == kOK && stream->GetDataProvider() != nullptr) {
        provider.Reset(stream->GetDataProvider());
        return kOK;
    }
    if (mode == kReadOnlyMode)
        BRASK_LOG_ERROR(kIOSource, kFunction,
                        "Read only mode failed to create an IDataProviderStream instance.");
    else
        BRASK_LOG_ERROR(kIOSource, kFunction,
                        "ReadWrite mode failed to create an IDataProviderStream instance.");
    // A stream that reported success without a provider is still a failure for the caller.
    return status != kOK ? status : kLibUtilFailed;
}

Status CreateReadOnlyDataProvider(IClassFactory* factory, TInterfacePtr<IDataProvider>& provider,
                                  const void* data, std::int32_t size) {
    constexpr char kFunction[] =
        "long __cdecl BRASK::IO::CreateReadOnlyDataProvider(class BRASK::IClassFactory "
        "*,class BRASK::TInterfacePtr<class BRASK::IO::IDataProvider> &,const void "
        "*,long)";
    if (factory == nullptr) {
        BRASK_LOG_ERROR(kIOSource, kFunction, kNoFactory);
        return kLibUtilFailed;
    }
    TInterfacePtr<IMemoryDataProvider> memory;
    if (CreateInstance(factory, CLSID::MemoryDataProvider, memory) != kOK)
        return kLibUtilFailed;
    const Status status = memory->Init(data, size);
    if (status != kOK)
        return status;
    provider.Reset(memory.Get());
    return kOK;
}

Status CreatePersistentDictionary(IClassFactory* factory, TInterfacePtr<IDictionary>& dictionary) {
    constexpr char kFunction[] =
        "long __cdecl BRASK::IO::CreatePersistentDictionary(class BRASK::IClassFactory "
        "*,class BRASK::TInterfacePtr<class BRASK::IDictionary> &)";
    if (factory == nullptr) {
        BRASK_LOG_ERROR(kIOSource, kFunction, kNoFactory);
        return kLibUtilFailed;
    }
    return CreateInstance(factory, CLSID::PersistentDictionary, dictionary) == kOK ? kOK : kLibUtilFailed;
}

} // namespace IO

namespace FILE_SYS {

Status CreateSystemFile(IClassFactory* factory, TInterfacePtr<IFile>& file, const CoreString& path) {
    constexpr char kFunction[] = "long __cdecl BRASK::FILE_SYS::CreateSystemFile(class BRASK::IClassFactory "
                                 "*,class BRASK::TInterfacePtr<class BRASK::FILE_SYS::IFile> &,const class "
                                 "BRASK::STRING::CoreString &)";
    if (factory == nullptr) {
        BRASK_LOG_ERROR(kFileSource, kFunction, kNoFactory);
        return kLibUtilFailed;
    }
    if (CreateInstance(factory, CLSID::SystemFile, file) != kOK)
        return kLibUtilFailed;
    return file->SetPath(path);
}

Status CreateSystemDir(IClassFactory* factory, TInterfacePtr<IDir>& dir, const CoreString& path) {
    constexpr char kFunction[] = "long __cdecl BRASK::FILE_SYS::CreateSystemDir(class BRASK::IClassFactory "
                                 "*,class BRASK::TInterfacePtr<class BRASK::FILE_SYS::IDir> &,const class "
                                 "BRASK::STRING::CoreString &)";
    if (factory == nullptr) {
        BRASK_LOG_ERROR(kFileSource, kFunction, kNoFactory);
        return kLibUtilFailed;
    }
    if (CreateInstance(factory, CLSID::SystemDir, dir) != kOK)
        return kLibUtilFailed;
    return dir->SetPath(path);
}

ISystemDirContainer* CreateSystemDirContainer(IClassFactory* factory) {
    constexpr char kFunction[] = "class BRASK::FILE_SYS::ISystemDirContainer *__cdecl "
                                 "BRASK::FILE_SYS::CreateSystemDirContainer(class BRASK::IClassFactory *)";
    if (factory == nullptr) {
        BRASK_LOG_ERROR(kFileSource, kFunction, kNoFactory);
        return nullptr;
    }
    TInterfacePtr<ISystemDirContainer> container;
    CreateInstance(factory, CLSID::SystemDirContainer, container);
    return container.Detach();
}

} // namespace FILE_SYS

namespace GRAPHICS::HELPER {

IInterfaceDiscoveryService* GetInterfaceDiscoveryService(IClassFactory* factory) {
    constexpr char kFunction[] = "class BRASK::GRAPHICS::IInterfaceDiscoveryService *__cdecl "
                                 "BRASK::GRAPHICS::HELPER::GetInterfaceDiscoveryService(class "
                                 "BRASK::IClassFactory *)";
    if (factory == nullptr) {
        BRASK_LOG_ERROR(kGraphicsSource, kFunction, kNoFactory);
        return nullptr;
    }
    TInterfacePtr<IGraphicsEnvironment> environment;
    if (CreateInstance(factory, CLSID::GraphicsEnvironment, environment) != kOK) {
        BRASK_LOG_ERROR(kGraphicsSource, kFunction, "No graphics environment");
        return nullptr;
    }
    // The environment outlives this call (the host keeps it), so the service can be lent.
    return FindAttached<IInterfaceDiscoveryService>(*environment, CLSID::DiscoveryServiceKey);
}

unsigned char CreateTile(IClassFactory* factory, const GEOMETRY::Rect<float>& bounds,
                         TInterfacePtr<ITile>& tile) {
    constexpr char kFunction[] = "unsigned char __cdecl BRASK::GRAPHICS::HELPER::CreateTile(class "
                                 "BRASK::IClassFactory *,const class BRASK::GEOMETRY::Rect<float> &,class "
                                 "BRASK::TInterfacePtr<class BRASK::GRAPHICS::ITile> &)";
    if (factory == nullptr) {
        BRASK_LOG_ERROR(kGraphicsSource, kFunction, kNoFactory);
        return false;
    }
    if (CreateInstance(factory, CLSID::Tile, tile) != kOK)
        return false;
    const Status status = tile->Init(bounds);
    if (status != kOK) {
        BRASK_LOG_ERROR(kGraphicsSource, kFunction, "tile->Init failed. Error = " << status);
        tile.Reset();
        return false;
    }
    return true;
}

} // namespace GRAPHICS::HELPER

} // namespace BRASK
