#include "PDFBasedCG.h"

#include "GraphicLog.h"
#include "HostBoundary.h"
#include "LibUtils.h"
#include "PathJoin.h"

#include "Platform.h"
#include "brask/ClassIds.h"
#include "brask/FilterKeys.h"
#include "brask/Logger.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <string>

namespace BRASK::COREREGISTRY {

namespace {

constexpr char kInitFunction[] =
    "long __cdecl BRASK::COREREGISTRY::PDFBasedCG::Init(class BRASK::IClassFactory "
    "&,class BRASK::IO::IDataProvider &,const class BRASK::IDictionary *)";

// Attempts at a fresh temporary name before giving up (the names carry the time and a random number, so a
// clash that survives this many tries means the folder cannot take files).
constexpr int kMaxTempFileAttempts = 64;

// Allocates `size` bytes, halving the request on failure while it is above 1. Returns the buffer and its
// size.
std::unique_ptr<std::uint8_t[]> AllocateCopyBuffer(std::uint32_t& size) {
    std::uint32_t wanted = std::max<std::uint32_t>(size, 1);
    for (;;) {
        std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[wanted]);
        if (buffer || wanted <= 1) {
            size = buffer ? wanted : 0;
            return buffer;
        }
        wanted >>= 1;
    }
}

std::uint32_t ReadFileType(const IDictionary& options) {
    std::uint32_t fileType = 0;
    options.GetUInt32(OPTIONKEY::kFileType, fileType);
    return fileType;
}

} // namespace

PDFBasedCG::~PDFBasedCG() {
    constexpr char kFunction[] = "__cdecl BRASK::COREREGISTRY::PDFBasedCG::~PDFBasedCG(void)";
    GuardHostCall(kPDFBasedCGSource, kFunction, [&] {
        if (!mTempFile)
            return;
        const Status status = mTempFile->Delete();
        if (status == FILE_SYS::IFile::kNotFound)
            BRASK_LOG_ERROR(kPDFBasedCGSource, kFunction, "Unable to delete temp file for EPS");
        else if (status != kOK)
            BRASK_LOG_ERROR(kPDFBasedCGSource, kFunction,
                            "Unable to delete temp file for EPS. FileSys error = " << status);
    });
    mTempFile.Reset();
    mSourceURI.Reset();
    mPDFGraphic.Reset();
    ReleaseTileAdaptor();
}

Status PDFBasedCG::Init(IClassFactory& factory, IO::IDataProvider& source, const IDictionary* options) {
    return GuardHostCall(
        kPDFBasedCGSource, kInitFunction, [&] { return InitUnguarded(factory, source, options); },
        kInternalError);
}

Status PDFBasedCG::InitUnguarded(IClassFactory& factory, IO::IDataProvider& source,
                                 const IDictionary* options) {
    constexpr const char* kFunction = kInitFunction;
    auto* filterDictionary = FindAttached<IDictionary>(*this, CLSID::FilterDictionaryKey);
    if (filterDictionary == nullptr) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, kFunction, "Could not get dictionary");
        return kNoFilterDictionary;
    }

    bool useCallas = true;
    bool processorFlag = true;
    std::uint32_t fileType = 0;
    if (options != nullptr) {
        bool value = false;
        if (options->GetBool(OPTIONKEY::kUseInterpreter, value) != IDictionary::kAbsent)
            useCallas = !value;
        if (options->GetBool(OPTIONKEY::kProcessorFlag, value) != IDictionary::kAbsent)
            processorFlag = value;
        fileType = ReadFileType(*options);
    }

    if (useCallas) {
        auto* uri = FindAttached<IO::IURI>(source, IO::IURI::IID);
        if (uri != nullptr && uri->GetScheme() == BXString("file")) {
            mSourceURI.Reset(uri);
        } else {
            const Status status = CopySourceToTempFile(factory, source, fileType);
            if (status != kOK)
                return status;
        }
    }

    mPDFPath = IntermediatePDFPath(factory);

    if (fileType == GRAPHICS::kTypeSVG)
        return ProcessSVGToConnectionSpace(factory, source, mSourceURI.Get(), options, processorFlag,
                                           filterDictionary, mPDFPath);
    return ProcessEPSToConnectionSpace(factory, source, options, useCallas, processorFlag, filterDictionary,
                                       mPDFPath);
}

Status PDFBasedCG::CopySourceToTempFile(IClassFactory& factory, IO::IDataProvider& source,
                                        std::uint32_t fileType) {
    constexpr const char* kFunction = kInitFunction;
    CreateUniqueTempFile(&factory, mTempFile, fileType == GRAPHICS::kTypeSVG ? ".svg" : ".ps");
    if (mTempFile)
        IO::CreateURI(&factory, mSourceURI, mTempFile->GetPath(true));
    if (!mSourceURI) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, kFunction,
                        "Can't get a file URI from the data provider to open the EPS.");
        return kNoFileURI;
    }

    TInterfacePtr<IO::IDataProvider> copy;
    const Status openStatus =
        IO::CreateUriDataProvider(&factory, copy, *mSourceURI, IO::kReadWriteMode, nullptr);
    if (!copy)
        return openStatus != kOK ? openStatus : kNoFileURI;

    return CopyProviderBytes(source, *copy, std::nullopt, kFunction);
}

Status PDFBasedCG::CopyProviderBytes(IO::IDataProvider& source, IO::IDataProvider& target,
                                     std::optional<std::uint32_t> markerAt, const char* function) {
    const std::int32_t sourceSize = source.GetSize();
    const std::uint32_t total = sourceSize > 0 ? static_cast<std::uint32_t>(sourceSize) : 0;
    std::uint32_t bufferSize = total;
    auto buffer = AllocateCopyBuffer(bufferSize);
    if (!buffer) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, function, "Could not find memory to read in EPS file");
        return kNoCopyMemory;
    }
    // The marker goes before source byte *markerAt, or at the end when the source is shorter.
    const auto writeMarker = [&]() { return target.Write(kEPSFMarker, kEPSFMarkerLength); };

    source.SetPosition(0, IO::IDataProvider::kFromStart);
    std::uint32_t copied = 0;
    while (copied < total) {
        std::uint32_t count = std::min(bufferSize, total - copied);
        const Status readStatus = source.Read(buffer.get(), count);
        if (count == 0) {
            // A source that stops delivering before its announced size would otherwise loop for ever.
            BRASK_LOG_ERROR(kPDFBasedCGSource, function,
                            "The data provider delivered no bytes at offset " << copied << " of " << total
                                                                              << ". Status = " << readStatus);
            return kSourceReadFailed;
        }
        Status writeStatus = kOK;
        if (markerAt && *markerAt >= copied && *markerAt < copied + count) {
            const std::uint32_t before = *markerAt - copied;
            writeStatus = target.Write(buffer.get(), before);
            if (writeStatus == kOK)
                writeStatus = writeMarker();
            if (writeStatus == kOK)
                writeStatus = target.Write(buffer.get() + before, count - before);
        } else {
            writeStatus = target.Write(buffer.get(), count);
        }
        if (writeStatus != kOK) {
            BRASK_LOG_ERROR(kPDFBasedCGSource, function,
                            "Could not write the temporary copy of the EPS. Status = " << writeStatus);
            return writeStatus;
        }
        copied += count;
    }
    if (markerAt && *markerAt >= total) {
        const Status status = writeMarker();
        if (status != kOK)
            return status;
    }
    return kOK;
}

void CreateUniqueTempFile(IClassFactory* factory, TInterfacePtr<FILE_SYS::IFile>& file, const char* suffix) {
    constexpr char kFunction[] = "void __cdecl BRASK::COREREGISTRY::CreateUniqueTempFile(class "
                                 "BRASK::TInterfacePtr<class BRASK::FILE_SYS::IFile> &,const char *)";
    file.Reset();
    if (factory == nullptr)
        return;
    TInterfacePtr<FILE_SYS::ISystemDirContainer> container;
    container.Adopt(FILE_SYS::CreateSystemDirContainer(factory));
    TInterfacePtr<FILE_SYS::IDir> tempDir;
    if (container)
        container->GetSpecialDir(FILE_SYS::kTemporaryDir, tempDir);
    if (!tempDir)
        return;

    for (int attempt = 0; attempt < kMaxTempFileAttempts && !file; ++attempt) {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        const long long seconds = std::chrono::duration_cast<std::chrono::seconds>(now).count();
        const int milliseconds =
            static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count() % 1000);
        char name[256];
        std::snprintf(name, sizeof name, "IGraphicsFileTemp%lld%d%i", seconds, milliseconds, std::rand());
        std::string fullName = name;
        if (suffix != nullptr)
            fullName += suffix;
        tempDir->CreateFile(CoreString::FromUTF8(fullName), file);
    }
    if (!file)
        BRASK_LOG_ERROR(kPDFBasedCGSource, kFunction,
                        "Could not create a temporary file in " << tempDir->GetPath(true) << " after "
                                                                << kMaxTempFileAttempts << " attempts");
}

CoreString IntermediatePDFPath(IClassFactory& factory) {
    // The one place the plug-in asks the core registry: the host names the intermediate PDF's folder there.
    IClassFactory* registry = GetCoreRegistry();
    TInterfacePtr<FILE_SYS::ISystemDirContainer> container;
    container.Adopt(FILE_SYS::CreateSystemDirContainer(registry != nullptr ? registry : &factory));
    TInterfacePtr<FILE_SYS::IDir> tempDir;
    CoreString tempPath;
    if (container && container->GetSpecialDir(FILE_SYS::kTemporaryDir, tempDir) == kOK && tempDir)
        tempPath = tempDir->GetPath(true);
    // Without a temporary folder there is no path: never one at the file-system root.
    if (tempPath.empty())
        return tempPath;
    const std::string name = std::to_string(PLATFORM::CurrentThreadId()) + "temp.pdf";
    return JoinPath(tempPath, CoreString::FromUTF8(name));
}

} // namespace BRASK::COREREGISTRY
