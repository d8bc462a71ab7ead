// A file on disk, named by a UTF-16 path.
#pragma once

#include "brask/FileSys.h"
#include "brask/TObject.h"

namespace BRASK::HOST {

class SystemFile : public TObject<FILE_SYS::IFile> {
public:
    SystemFile() = default;
    explicit SystemFile(const CoreString& path) : mPath(path) {}

    // Empty path: kBadArgument.
    Status SetPath(const CoreString& path) override;
    // `full`: absolute and normalised; otherwise as set.
    CoreString GetPath(bool full) const override;
    // True for anything at the path that is not a folder.
    bool Exists() const override;
    Status Create() override;
    Status Delete() override;

private:
    CoreString mPath;
};

} // namespace BRASK::HOST
