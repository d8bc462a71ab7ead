#include "CallasRip.h"

#include "JobDictionary.h"

#include "LibUtils.h"

#include "brask/IClassFactory.h"
#include "brask/Logger.h"

#include <exception>

namespace BRASK::PLUGIN {

namespace {
constexpr char kCallasRipSource[] = "core/Plugins/EPSLoader/Source/src/Common/CallasRip";

void DeleteJobFile(IClassFactory* factory, const std::string& path) {
    TInterfacePtr<FILE_SYS::IFile> file;
    FILE_SYS::CreateSystemFile(factory, file, CoreString::FromUTF8(path));
    if (file && file->Exists())
        file->Delete();
}
} // namespace

CallasRip::CallasRip(IO::IURI* uri, IClassFactory* factory)
    : CallasRip(uri, factory, CallasLibrary::Instance(factory)) {}

CallasRip::CallasRip(IO::IURI* uri, IClassFactory* factory, CallasLibrary& library)
    : mURI(uri), mFactory(factory), mLibrary(library) {
    constexpr char kFunction[] = "__cdecl BRASK::PLUGIN::CallasRip::CallasRip(class BRASK::IO::IURI &)";
    if (!mLibrary.IsLoaded()) {
        BRASK_LOG_ERROR(kCallasRipSource, kFunction, "Failed to load Callas library");
        return;
    }
    mLibrary.ShareFonts(mFactory);
    const std::int32_t status = mLibrary.EntryPoints().InitCallas(nullptr, nullptr);
    if (status == 0)
        mLibrary.SetInitialised();
    else
        BRASK_LOG_ERROR(kCallasRipSource, kFunction,
                        "Error code: " << status << " occured while Callas initialization.");
}

Status CallasRip::CreatePDFGraphics(const char* pdfPath, bool isEPS) {
    constexpr char kFunction[] =
        "long __cdecl BRASK::PLUGIN::CallasRip::CreatePDFGraphics(const char *,bool)";
    JobDictionary& job = JobDictionary::Instance();
    // Every way the conversion does not happen is a failure: the missing or uninitialised library was
    // logged when this object was made.
    Status result = kConversionFailed;
    try {
        const std::string jobFile = job.GetJobFile(mFactory);
        if (mURI == nullptr) {
            // No file behind the picture (it was handed over as data only): nothing the converter can read.
            BRASK_LOG_ERROR(kCallasRipSource, kFunction, "The picture has no file to convert.");
        } else if (mLibrary.IsLoaded() && mLibrary.IsInitialised()) {
            const std::string source = mURI->GetPath().GetUTF8String();
            const std::int32_t status = mLibrary.EntryPoints().SaveAsPDF(
                source.c_str(), jobFile.empty() ? nullptr : jobFile.c_str(), nullptr, nullptr, nullptr,
                nullptr, 0, isEPS ? 1 : 0, pdfPath);
            if (status == 0)
                result = kOK;
            else
                BRASK_LOG_ERROR(kCallasRipSource, kFunction, "SaveAsPDF failed. Error = " << status);
        }
        DeleteJobFile(mFactory, jobFile);
    } catch (const std::exception&) {
        BRASK_LOG_ERROR(kCallasRipSource, kFunction, "SaveAsPDF from Callas threw an exception.");
        result = 7;
    }
    job.Clear();
    return result;
}

} // namespace BRASK::PLUGIN
