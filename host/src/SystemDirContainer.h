// The special folders of the host: the application folder and the temporary-files folder.
#pragma once

#include "TemporaryFolder.h"
#include "brask/FileSys.h"
#include "brask/TObject.h"

#include <memory>
#include <string>

namespace BRASK::HOST {

class SystemDirContainer : public TObject<FILE_SYS::ISystemDirContainer> {
public:
    SystemDirContainer(std::string applicationDir, std::shared_ptr<const TemporaryFolder> temporaryDir)
        : mApplicationDir(std::move(applicationDir)), mTemporaryDir(std::move(temporaryDir)) {}

    // 0: application folder; 4: temporary folder (IDir::kCreateFailed and `dir` empty when the host's
    // private folder could not be made); any other number: kUnknownDir and `dir` empty.
    Status GetSpecialDir(std::int32_t which, TInterfacePtr<FILE_SYS::IDir>& dir) override;

private:
    std::string mApplicationDir;
    std::shared_ptr<const TemporaryFolder> mTemporaryDir;
};

} // namespace BRASK::HOST
