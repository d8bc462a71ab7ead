#pragma once

#include "brask/CoreString.h"

namespace BRASK {

// Joins a folder path and a file name with one "/" between them: a leading "/" of the name is dropped and
// none is added when the folder ends with one. An empty name appends nothing.
inline CoreString JoinPath(const CoreString& dir, const CoreString& name) {
    if (name.empty())
        return dir;
    CoreString joined = dir;
    if (dir.empty() || dir[dir.length() - 1] != u'/')
        joined += u'/';
    joined += name[0] == u'/' ? name.substr(1) : name;
    return joined;
}

} // namespace BRASK
