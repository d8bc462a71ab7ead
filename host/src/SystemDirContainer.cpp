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
        if (mTemporaryDir->Path().empty())
            return FILE_SYS::IDir::kCreateFailed;
        dir.Adopt(new SystemDir(FromNative(mTemporaryDir->Path())));
        return kOK;
    default:
        return kUnknownDir;
    }
}

} // namespace BRASK::HOST
