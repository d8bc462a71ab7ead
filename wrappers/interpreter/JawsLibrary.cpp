#include "JawsLibrary.h"

#include "DevicePath.h"
#include "OutputFile.h"
#include "PdfColorAnalysis.h"

#include <brask/FilterKeys.h>
#include <brask/IO.h>
#include <fontmap/StubFontMap.h>
#include <jaws/FontSubstitutionText.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace BRASK::WRAPPERS {

namespace {

pthread_mutex_t gLibraryMutex = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;

// A private folder of our own when the device path names no temporary folder.
std::string MakePrivateTempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/brask-jaws-" +
                          std::to_string(getpid()) + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        return {};
    return pattern;
}

} // namespace

int32_t JawsStatus(JobStatus status) {
    switch (status) {
    case JobStatus::Ok:
        return kJawsOK;
    case JobStatus::TimedOut:
        return kJawsTimedOut;
    case JobStatus::NotStarted:
        return kJawsNotStarted;
    case JobStatus::BadParameter:
        return kJawsBadParameter;
    case JobStatus::OutputMissing:
        return kJawsOutputMissing;
    case JobStatus::Failed:
        break;
    }
    return kJawsFailed;
}

JawsLibrary& JawsLibrary::Instance() {
    static JawsLibrary library;
    return library;
}

JawsLibrary::~JawsLibrary() {
    // The logger may belong to a library that is already gone.
    Mute(true);
    TearDownRasterDevice();
    mRasterEngine.reset();
    mEngine.reset();
    RemoveTemporaryFiles();
}

void JawsLibrary::RemoveTemporaryFiles() {
    if (mTempFolder.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(mTempFolder + "/fontmap", ignored);
    if (mOwnsTempFolder)
        std::filesystem::remove_all(mTempFolder, ignored);
    else
        rmdir(mTempFolder.c_str()); // the caller's folder, only when nothing else is left in it
    mTempFolder.clear();
    mOwnsTempFolder = false;
}

JawsLibraryMutex* JawsLibrary::Mutex() {
    return &gLibraryMutex;
}

void JawsLibrary::SetLogger(void* context, JawsLogCallback logger) {
    std::lock_guard<std::mutex> guard(mLoggerLock);
    mLoggerContext = context;
    mLogger = logger;
}

void JawsLibrary::Log(int kind, std::string_view message) {
    if (mMuted)
        return;
    std::lock_guard<std::mutex> guard(mLoggerLock);
    std::string text(message);
    if (mLogger != nullptr) {
        mLogger(mLoggerContext, kind, text.data(), static_cast<int>(text.size()));
        return;
    }
    if (kind == kJawsLogError)
        std::fprintf(stderr, "BraskPDF: %s\n", text.c_str());
}

bool JawsLibrary::Started() const {
    return mEngine != nullptr && mEngine->IsRunning();
}

int32_t JawsLibrary::Startup(const char* devicePath) {
    if (mEngine != nullptr)
        return kJawsAlreadyStarted;
    std::optional<DevicePath> path = DevicePath::Parse(devicePath != nullptr ? devicePath : "");
    if (!path) {
        Log(kJawsLogError, std::string("the device path cannot be read: ") + devicePath);
        return kJawsBadParameter;
    }
    EngineConfig config;
    config.tempFolder = path->TempFolder();
    mOwnsTempFolder = config.tempFolder.empty();
    if (config.tempFolder.empty())
        config.tempFolder = MakePrivateTempFolder();
    mTempFolder = config.tempFolder;
    // The font stub tree becomes the interpreter's font map (behind the system's cidfmap); without one the
    // font folders are searched.
    const FONTMAP::StubFontMap fonts = FONTMAP::ReadStubFontMap(devicePath != nullptr ? devicePath : "");
    if (!fonts.fonts.empty() || !fonts.cidFonts.empty()) {
        const FONTMAP::GhostscriptFontFiles files = FONTMAP::WriteGhostscriptFontFiles(
            fonts, config.tempFolder + "/fontmap", FONTMAP::InstalledGhostscriptResources().systemCidfmap);
        if (files.ok)
            config.extraArguments = files.arguments;
        else
            Log(kJawsLogError, "the font map cannot be written to " + config.tempFolder + "/fontmap");
        if (!fonts.problems.empty())
            Log(kJawsLogInfo, std::to_string(fonts.problems.size()) +
                                  " font stubs could not be mapped, e.g. " + fonts.problems.front());
    }
    if (config.extraArguments.empty())
        config.fontFolders = mFontFolders.empty() ? path->FontFolders() : mFontFolders;
    auto engine = std::make_unique<GsWorkerClient>(config, [this](int kind, std::string_view message) {
        Log(kind == 2 ? kJawsLogError : kJawsLogInfo, message);
    });
    if (!engine->Start()) {
        RemoveTemporaryFiles();
        return kJawsNotStarted;
    }
    mEngine = std::move(engine);
    // The raster interpreter process starts with the first render; made here so that Abort, which runs
    // without the lock, never sees it change.
    EngineConfig rasterConfig = config;
    rasterConfig.raster = true;
    mRasterEngine =
        std::make_unique<GsWorkerClient>(rasterConfig, [this](int kind, std::string_view message) {
            Log(kind == 2 ? kJawsLogError : kJawsLogInfo, message);
        });
    return kJawsOK;
}

int32_t JawsLibrary::Finish() {
    if (mEngine == nullptr)
        return kJawsNotStarted;
    TearDownRasterDevice();
    mRasterEngine.reset();
    mEngine.reset();
    RemoveTemporaryFiles();
    return kJawsOK;
}

int32_t JawsLibrary::SetFontPaths(const char* fontPaths) {
    std::optional<DevicePath> path = DevicePath::Parse(fontPaths != nullptr ? fontPaths : "");
    if (!path)
        return kJawsBadParameter;
    mFontFolders = path->FontFolders();
    return kJawsOK;
}

void JawsLibrary::Abort() {
    if (mEngine != nullptr)
        mEngine->Abort();
    if (mRasterEngine != nullptr)
        mRasterEngine->Abort();
}

int32_t JawsLibrary::JobsRun() const {
    return (mEngine != nullptr ? mEngine->JobsRun() : 0) +
           (mRasterEngine != nullptr ? mRasterEngine->JobsRun() : 0);
}

int32_t JawsLibrary::Distil(JawsDataProvider* provider, int32_t byteCount, const char* outputPath,
                            const RipDistillParams* params) {
    if (provider == nullptr || byteCount < 0) {
        ColorSpaceClear();
        return kJawsBadParameter;
    }
    JobRequest job;
    job.byteCount = static_cast<uint64_t>(byteCount);
    job.read = [provider](char* buffer, std::size_t capacity) -> std::int64_t {
        std::uint32_t count = static_cast<std::uint32_t>(capacity);
        if (provider->Read(buffer, count) != 0)
            return -1;
        return count;
    };
    job.rewind = [provider, start = provider->GetPosition()] {
        return start >= 0 && provider->SetPosition(start, IO::IDataProvider::kFromStart) == 0;
    };
    if (outputPath != nullptr)
        job.outputPath = outputPath;
    return RunJob(job, params);
}

int32_t JawsLibrary::DistilFile(const char* postScriptPath, const char* outputPath,
                                const RipDistillParams* params) {
    if (postScriptPath == nullptr)
        return kJawsBadParameter;
    auto in = std::make_shared<std::ifstream>(postScriptPath, std::ios::binary);
    if (!*in) {
        Log(kJawsLogError, std::string("cannot open ") + postScriptPath);
        return kJawsFailed;
    }
    in->seekg(0, std::ios::end);
    const std::streamoff size = in->tellg();
    in->seekg(0);
    JobRequest job;
    job.byteCount = size > 0 ? static_cast<uint64_t>(size) : 0;
    job.read = [in](char* buffer, std::size_t capacity) -> std::int64_t {
        in->read(buffer, static_cast<std::streamsize>(capacity));
        return in->gcount();
    };
    job.rewind = [in] {
        in->clear();
        in->seekg(0);
        return static_cast<bool>(*in);
    };
    if (outputPath != nullptr)
        job.outputPath = outputPath;
    return RunJob(job, params);
}

int32_t JawsLibrary::RunJob(JobRequest& job, const RipDistillParams* params) {
    ColorSpaceClear();
    if (params == nullptr || params->recordSize != kRipDistillParamsSize || job.outputPath.empty()) {
        Log(kJawsLogError, "distillation refused: missing output path or bad RipDistillParams");
        // A file at the path must not pass for this distillation's result.
        RemoveOwnedOutput(job.outputPath);
        return kJawsBadParameter;
    }
    if (mEngine == nullptr) {
        RemoveOwnedOutput(job.outputPath);
        return kJawsNotStarted;
    }
    job.page.left = FixedToPoints(params->left);
    job.page.bottom = FixedToPoints(params->bottom);
    job.page.width = std::abs(FixedToPoints(params->width));
    job.page.height = std::abs(FixedToPoints(params->height));
    job.page.resolution = params->xResolution > 0 ? FixedToPoints(params->xResolution) : 720.0;
    job.page.embedAllFonts = params->embedAllFonts != 0;
    job.page.setPageSize = (params->flags & kRipDistillFlagPageFromBox) != 0;
    job.page.moveOrigin = (params->flags & kRipDistillFlagMoveOrigin) != 0;

    const JobResult result = mEngine->Run(job);
    for (const FontSubstitution& substitution : result.fontSubstitutions)
        Log(kJawsLogWarning, JAWS::FontSubstitutionText(substitution.requested, substitution.used));
    if (result.status == JobStatus::Ok)
        Analyse(job.outputPath);
    return JawsStatus(result.status);
}

void JawsLibrary::Analyse(const std::string& pdfPath) {
    PdfColorReport report;
    std::string error;
    if (!AnalysePdfColors(pdfPath, report, error)) {
        Log(kJawsLogError, "the colour spaces of " + pdfPath + " cannot be read: " + error);
        return;
    }
    mSpaces = report.spaces;
    mCursor = 0;
    mRasterJob = report.RasterOnly();
}

JawsColorSpace JawsLibrary::ColorSpaceBegin() {
    mCursor = 0;
    return mSpaces.empty() ? kJawsColorSpaceEnd : mSpaces.front();
}

JawsColorSpace JawsLibrary::ColorSpaceNext() {
    if (mCursor < mSpaces.size())
        ++mCursor;
    return mCursor < mSpaces.size() ? mSpaces[mCursor] : kJawsColorSpaceEnd;
}

int32_t JawsLibrary::ColorSpaceCount() const {
    return static_cast<int32_t>(mSpaces.size());
}

void JawsLibrary::ColorSpaceClear() {
    mSpaces.clear();
    mCursor = 0;
    mRasterJob = false;
}

int32_t JawsLibrary::ColorSpaceAdd(JawsColorSpace space) {
    if (space < kJawsColorSpaceCMYK || space > kJawsColorSpaceSeparationNone)
        return kJawsBadParameter;
    for (JawsColorSpace known : mSpaces) {
        if (known == space)
            return kJawsOK;
    }
    mSpaces.push_back(space);
    return kJawsOK;
}

uint32_t JawsLibrary::ProcessColorFlags() const {
    uint32_t flags = 0;
    for (JawsColorSpace space : mSpaces)
        flags |= 1u << static_cast<unsigned>(space);
    return flags;
}

} // namespace BRASK::WRAPPERS
