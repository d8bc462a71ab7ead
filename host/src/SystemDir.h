// A folder on disk, named by a UTF-16 path.
#pragma once

#include "brask/FileSys.h"
#include "brask/TObject.h"

namespace BRASK::HOST {

class SystemDir : public TObject<FILE_SYS::IDir> {
public:
    SystemDir() = default;
    explicit SystemDir(const CoreString& path) : mPath(path) {}

    // Empty path: kBadArgument.
    Status SetPath(const CoreString& path) override;
    // `full`: absolute and normalised; otherwise as set.
    CoreString GetPath(bool full) const override;
    bool Exists() const override;
    Status Create() override;
    // `name` is one path component (no "/", not "." or ".."); an existing name gives kFileExists.
    Status CreateFile(const CoreString& name, TInterfacePtr<FILE_SYS::IFile>& file) override;

private:
    CoreString mPath;
};

} // namespace BRASK::HOST
