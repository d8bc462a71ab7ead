// Convenience functions that make host objects through a class factory in one call.
// Each logs its failure and returns 0 or 12 (or null / false).
#pragma once

#include "brask/FileSys.h"
#include "brask/Geometry.h"
#include "brask/Graphics.h"
#include "brask/IClassFactory.h"
#include "brask/IDictionary.h"
#include "brask/IO.h"

#include <cstdint>

namespace BRASK {

constexpr Status kLibUtilFailed = 12;

namespace IO {
enum DataProviderMode : std::int32_t { kReadOnlyMode = 0, kReadWriteMode = 2 };

Status CreateURI(IClassFactory* factory, TInterfacePtr<IURI>& uri, const CoreString& path);
Status CreateUriDataProvider(IClassFactory* factory, TInterfacePtr<IDataProvider>& provider, IURI& uri,
                             std::int32_t mode, IReporter* reporter);
Status CreateReadOnlyDataProvider(IClassFactory* factory, TInterfacePtr<IDataProvider>& provider,
                                  const void* data, std::int32_t size);
Status CreatePersistentDictionary(IClassFactory* factory, TInterfacePtr<IDictionary>& dictionary);
} // namespace IO

namespace FILE_SYS {
Status CreateSystemFile(IClassFactory* factory, TInterfacePtr<IFile>& file, const CoreString& path);
Status CreateSystemDir(IClassFactory* factory, TInterfacePtr<IDir>& dir, const CoreString& path);
// One reference for the caller, or null.
ISystemDirContainer* CreateSystemDirContainer(IClassFactory* factory);
} // namespace FILE_SYS

namespace GRAPHICS::HELPER {
// Borrowed from the graphics environment, or null.
IInterfaceDiscoveryService* GetInterfaceDiscoveryService(IClassFactory* factory);
// True when a tile was made and initialised with `bounds`.
unsigned char CreateTile(IClassFactory* factory, const GEOMETRY::Rect<float>& bounds,
                         TInterfacePtr<ITile>& tile);
} // namespace GRAPHICS::HELPER

} // namespace BRASK
