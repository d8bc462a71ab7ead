#include "GraphicProcessor.h"
#include "JawsEntryPoints.h"
#include "JobDictionary.h"

#include "brask/FilterKeys.h"

#include <pthread.h>

namespace BRASK::PLUGIN {

namespace {
// Holds the interpreter library's own lock for one distillation.
class LibraryLock {
public:
    explicit LibraryLock(JawsLibraryMutex* mutex) : mMutex(mutex) {
        if (mMutex != nullptr)
            pthread_mutex_lock(mMutex);
    }
    ~LibraryLock() {
        if (mMutex != nullptr)
            pthread_mutex_unlock(mMutex);
    }
    LibraryLock(const LibraryLock&) = delete;
    LibraryLock& operator=(const LibraryLock&) = delete;

private:
    JawsLibraryMutex* mMutex;
};
} // namespace

PDFOutputEPSGraphicProcessor::PDFOutputEPSGraphicProcessor(IClassFactory* factory,
                                                           IO::IDataProvider* dataProvider, IO::IURI* uri,
                                                           const CoreString& pdfPath, bool useCallas,
                                                           bool processorFlag)
    : EPSGraphicProcessor(factory, dataProvider, uri), mOutputPath(pdfPath.GetUTF8String()),
      mUseCallas(useCallas), mProcessorFlag(processorFlag) {}

void PDFOutputEPSGraphicProcessor::SetOutputResolution(float resolution) {
    const Fixed imageResolution = mFileReader ? mFileReader->GetImageResolution() : 0;
    if (FixedToPoints(imageResolution) <= 0)
        mResolution = resolution;
}

Status PDFOutputEPSGraphicProcessor::CreatePDF() {
    if (mUseCallas) {
        if (!mCallasRip)
            mCallasRip = std::make_unique<CallasRip>(mURI, mFactory);
        SetDistillerParams(mProcessorFlag != 0);
        return mCallasRip->CreatePDFGraphics(mOutputPath.c_str(), true);
    }
    JawsLibraryMutex* mutex = nullptr;
    if (LoadJawsLibrary(JawsLibraryLoaded(), mFactory))
        GetJawsEntryPoints().GetJawsLibraryMutex(&mutex);
    LibraryLock lock(mutex);
    if (!mRip)
        mRip = std::make_unique<EPSJawsRip>(mFactory, mURI, mDataProvider.Get(), mFileReader.get());
    const Status status = mRip->CreatePDFGraphics(mOutputPath.c_str());
    // Taken while the library's lock still holds, so another thread's job cannot replace these colour spaces.
    mRip->GetColorSpaceList();
    return status;
}

PDFOutputSVGGraphicProcessor::PDFOutputSVGGraphicProcessor(IClassFactory* factory, IO::IURI* uri,
                                                           const CoreString& pdfPath, bool processorFlag)
    : GraphicProcessor(factory, uri), mOutputPath(pdfPath.GetUTF8String()), mProcessorFlag(processorFlag) {}

Status PDFOutputSVGGraphicProcessor::CreatePDF() {
    if (!mCallasRip)
        mCallasRip = std::make_unique<CallasRip>(mURI, mFactory);
    SetDistillerParams(mProcessorFlag != 0);
    return mCallasRip->CreatePDFGraphics(mOutputPath.c_str(), false);
}

} // namespace BRASK::PLUGIN
