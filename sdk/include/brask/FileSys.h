// Host file system objects: files, folders and the system folder container.
#pragma once

#include "brask/CoreString.h"
#include "brask/IObject.h"
#include "brask/TInterfacePtr.h"

#include <cstdint>

namespace BRASK::FILE_SYS {

class BRASK_SDK_API IFile : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0xF123396E, 0x0378, 0x4B45, 0x82E5, 0x657170E31A2A);

    static constexpr Status kCreateFailed = 14;
    static constexpr Status kNotFound = 13;     // delete of a file that is not there
    static constexpr Status kDeleteFailed = 15; // the operating system refused the delete

    virtual Status SetPath(const CoreString& path) = 0;
    // The file's path (`full` true: absolute).
    virtual CoreString GetPath(bool full) const = 0;
    virtual bool Exists() const = 0;
    // Creates the file empty when it is missing (an existing file is kept); kCreateFailed on failure.
    virtual Status Create() = 0;
    virtual Status Delete() = 0;
};

class BRASK_SDK_API IDir : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0x09793317, 0x62F9, 0x4859, 0x8FBA, 0x8AB041611EC9);

    static constexpr Status kCreateFailed = 11;
    static constexpr Status kFileExists = 17; // CreateFile found a file of that name

    virtual Status SetPath(const CoreString& path) = 0;
    virtual CoreString GetPath(bool full) const = 0;
    virtual bool Exists() const = 0;
    // Creates the folder and its missing parents; kCreateFailed on failure.
    virtual Status Create() = 0;
    // Creates a new empty file `name` in the folder (never an existing one) and holds it in `file`.
    virtual Status CreateFile(const CoreString& name, TInterfacePtr<IFile>& file) = 0;
};

enum SpecialDir : std::int32_t { kApplicationDir = 0, kTemporaryDir = 4 };

class BRASK_SDK_API ISystemDirContainer : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0xAEEF6E20, 0x3F08, 0x41B5, 0xB460, 0xBA2E288A7651);

    static constexpr Status kUnknownDir = 1;

    virtual Status GetSpecialDir(std::int32_t which, TInterfacePtr<IDir>& dir) = 0;
};

} // namespace BRASK::FILE_SYS
