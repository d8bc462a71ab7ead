// The intermediate PDF of one conversion. The temporary folder is shared and thread ids are predictable, so
// the path is made safe before the converter writes to it, and afterwards only the file made there is
// adopted: never a stale PDF, and never a write redirected through a symbolic or hard link.
#pragma once

#include "FileEntry.h"
#include "brask/Status.h"

#include <string>

namespace BRASK::COREREGISTRY {

class IntermediatePDF {
public:
    // The conversion failed or wrote nothing.
    static constexpr Status kConversionFailed = 7;
    // No temporary folder, or the path holds an entry that cannot be ours.
    static constexpr Status kNoIntermediatePDF = 29;

    // `function` names the conversion path in log records.
    IntermediatePDF(std::string path, const char* function) : mPath(std::move(path)), mFunction(function) {}
    // A file made but never checked (the conversion threw) is removed.
    ~IntermediatePDF();
    IntermediatePDF(const IntermediatePDF&) = delete;
    IntermediatePDF& operator=(const IntermediatePDF&) = delete;

    // Removes an entry of ours left at the path (a link is removed, never followed) and creates the file
    // exclusively with mode 0600. Another user's entry, or one that cannot be removed or created, is refused.
    Status Prepare();

    // After the conversion, whose status is `converted`: the conversion's status when it failed; 7 when it
    // wrote nothing; 29 when the path no longer holds the one-link regular file Prepare made. An entry of
    // ours is removed on every failure. The file made is held open from Prepare to here, so that no other
    // file can take its identity in between.
    Status Check(Status converted);

private:
    void RemoveOurs();

    std::string mPath;
    const char* mFunction;
    PLATFORM::HeldFile mMade;
};

} // namespace BRASK::COREREGISTRY
