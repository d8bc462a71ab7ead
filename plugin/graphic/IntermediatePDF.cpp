#include "IntermediatePDF.h"

#include "GraphicLog.h"

#include "brask/CoreString.h"
#include "brask/Logger.h"

namespace BRASK::COREREGISTRY {

IntermediatePDF::~IntermediatePDF() {
    if (mMade.IsHeld() && PLATFORM::LookUpEntry(mPath).IsSameFile(mMade.Entry()))
        RemoveOurs();
}

Status IntermediatePDF::Prepare() {
    const CoreString path = CoreString::FromUTF8(mPath);
    if (mPath.empty()) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, mFunction, "No temporary folder for the intermediate PDF.");
        return kNoIntermediatePDF;
    }
    const PLATFORM::FileEntry stale = PLATFORM::LookUpEntry(mPath);
    std::string error;
    if (stale.exists && !stale.ours) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, mFunction,
                        "The intermediate PDF path " << path
                                                     << " holds another user's file; it is not used.");
        return kNoIntermediatePDF;
    }
    if (stale.exists && !PLATFORM::RemoveEntry(mPath, error)) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, mFunction,
                        "Could not remove the stale entry at " << path << ": " << BXString(error));
        return kNoIntermediatePDF;
    }
    mMade = PLATFORM::CreateFileExclusively(mPath, error);
    if (!mMade.IsHeld()) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, mFunction,
                        "Could not create the intermediate PDF " << path << ": " << BXString(error));
        return kNoIntermediatePDF;
    }
    return kOK;
}

Status IntermediatePDF::Check(Status converted) {
    const CoreString path = CoreString::FromUTF8(mPath);
    const PLATFORM::FileEntry now = PLATFORM::LookUpEntry(mPath);
    const PLATFORM::FileEntry made = mMade.Entry();
    mMade.Release();
    Status result = kOK;
    if (converted != kOK) {
        result = converted; // the conversion logged its own reason
    } else if (!now.exists || (now.IsSameFile(made) && now.size == 0)) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, mFunction, "The conversion wrote no PDF at " << path << ".");
        result = kConversionFailed;
    } else if (!now.IsSameFile(made) || !now.regular || now.links != 1 || !now.ours) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, mFunction,
                        "The intermediate PDF "
                            << path << " is not the file this conversion created; it is not adopted.");
        result = kNoIntermediatePDF;
    }
    if (result != kOK && now.exists && now.ours)
        RemoveOurs();
    return result;
}

void IntermediatePDF::RemoveOurs() {
    std::string ignored;
    PLATFORM::RemoveEntry(mPath, ignored);
}

} // namespace BRASK::COREREGISTRY
