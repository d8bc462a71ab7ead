// The special folders of the host: the application folder and the temporary-files folder.
#pragma once

#include "brask/FileSys.h"
#include "brask/TObject.h"

#include <string>

namespace BRASK::HOST {

class SystemDirContainer : public TObject<FILE_SYS::ISystemDirContainer> {
public:
    SystemDirContainer(std::string applicationDir, std::string temporaryDir)
        : mApplicationDir(std::move(applicationDir)), mTemporaryDir(std::move(temporaryDir)) {}

    // 0: application folder; 4: temporary folder; any other number: kUnknownDir and `dir` empty.
    Status GetSpecialDir(std::int32_t which, TInterfacePtr<FILE_SYS::IDir>& dir) override;

private:
    std::string mApplicationDir;
    std::string mTemporaryDir;
};

} // namespace BRASK::HOST
