#include "SystemDirContainer.h"

#include "NativePath.h"
#include "SystemDir.h"

namespace BRASK::HOST {

Status SystemDirContainer::GetSpecialDir(std::int32_t which, TInterfacePtr<FILE_SYS::IDir>& dir) {
    dir.Reset();
    switch (which) {
    case FILE_SYS::kApplicationDir:
        dir.Adopt(new SystemDir(FromNative(mApplicationDir)));
        return kOK;
    case FILE_SYS::kTemporaryDir:
        dir.Adopt(new SystemDir(FromNative(mTemporaryDir)));
        return kOK;
    default:
        return kUnknownDir;
    }
}

} // namespace BRASK::HOST
