// Folders of the PostScript interpreter: the application folder, the per-process RIP folder and the shared
// RIP work folder that holds the font stub tree.
#pragma once

#include "brask/CoreString.h"
#include "brask/IClassFactory.h"

#include <cstdint>

namespace BRASK::PLUGIN {

using JawsError = std::int32_t;

enum JawsFolderKind : int {
    kPerProcessRipFolder = 0, // <temporary folder>/jaws<pid>/
    kSharedRipFolder = 1,     // <application folder>/jaws/, or <user cache>/<project>/jaws/ when the
                              // application folder is not writable
};

// Replaces only the first backslash of `path` with a slash (a path without one is unchanged).
CoreString ReplaceFirstBackslash(const CoreString& path);

// Every folder is asked of the host through `factory`.

// System folder 0 of the host; with `forwardSlash` the first backslash is converted and one trailing slash
// removed. Empty without a class factory.
void GetApplicationFolder(IClassFactory* factory, CoreString& out, bool forwardSlash);
// Kind 0: the temporary folder (system folder 4); kind 1: the application folder. Other kinds leave `out`.
void GetSystemFolderPath(IClassFactory* factory, CoreString& out, int kind);
// The RIP folder of `kind`, ending with the path separator.
void GetJawsFolder(IClassFactory* factory, CoreString& out, bool forwardSlash, int kind);
// 0 when the folder exists or was created, 1 on failure (logged).
JawsError MakeJawsFolderU(IClassFactory* factory, const CoreString& path);

} // namespace BRASK::PLUGIN
