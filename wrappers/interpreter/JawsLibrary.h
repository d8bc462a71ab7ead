// The interpreter wrapper's process-wide state behind the exported entry points: the library lock, the
// logger, the warm distiller and what the last distillation found.
#pragma once

#include "GsWorkerClient.h"
#include "RasterDevice.h"
#include "SpoolFile.h"

#include <jaws/JawsApi.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace BRASK::WRAPPERS {

class JawsLibrary {
public:
    static JawsLibrary& Instance();
    // At unload or process end: the interpreter processes end and the files this library made go.
    ~JawsLibrary();

    // The recursive lock handed out by GetJawsLibraryMutex; every entry point that touches the interpreter
    // holds it too.
    static JawsLibraryMutex* Mutex();

    int32_t Startup(const char* devicePath);
    int32_t Finish();
    bool Started() const;
    int32_t SetFontPaths(const char* fontPaths);

    int32_t Distil(JawsDataProvider* provider, int32_t byteCount, const char* outputPath,
                   const RipDistillParams* params);
    int32_t DistilFile(const char* postScriptPath, const char* outputPath, const RipDistillParams* params);
    void Abort();
    int32_t JobsRun() const;

    void SetLogger(void* context, JawsLogCallback logger);
    void Mute(bool mute) { mMuted = mute; }
    void Log(int kind, std::string_view message);

    JawsColorSpace ColorSpaceBegin();
    JawsColorSpace ColorSpaceNext();
    int32_t ColorSpaceCount() const;
    void ColorSpaceClear();
    int32_t ColorSpaceAdd(JawsColorSpace space);
    uint32_t ProcessColorFlags() const;
    bool RasterJob() const { return mRasterJob; }

    // The raster device (RasterDevice.h, JawsLibraryRaster.cpp): opened over the caller's pixmap (a second
    // open replaces the first), fed PostScript block by block, rendered at the last block.
    int32_t SetupRasterDevice(std::int32_t width, std::int32_t height, std::int32_t xResolution,
                              std::int32_t yResolution, std::int16_t modelBits, RipPixmap* pixmap,
                              RipColorCallback* callback);
    int32_t TearDownRasterDevice();
    int32_t DrawRasterBlock(std::uint32_t flags, const void* data, std::int32_t length, const char* prologue,
                            std::int16_t prologueLength);

private:
    JawsLibrary() = default;
    int32_t RunJob(JobRequest& job, const RipDistillParams* params);
    void Analyse(const std::string& pdfPath);
    int32_t RenderRaster();
    // A job that reads the collected PostScript from its start.
    JobRequest RasterBytesJob() const;
    // The analysis render (no pixmap): the job is distilled into a scratch PDF whose colour spaces become
    // the list, exactly as after a distillation.
    int32_t AnalyseRaster();
    // Removes the font map and the scratch files; the temporary folder too when this library made it or it
    // is left empty.
    void RemoveTemporaryFiles();

    std::unique_ptr<GsWorkerClient> mEngine;
    // A second interpreter process for raster jobs, started at the first render.
    std::unique_ptr<GsWorkerClient> mRasterEngine;
    std::optional<RasterSetup> mRaster;
    SpoolFile mRasterBytes; // the PostScript of the job being fed, kept on disk rather than in memory
    bool mRasterFeeding = false;
    std::vector<std::string> mFontFolders;
    std::string mTempFolder;      // the device path's %temp% folder, or one of our own
    bool mOwnsTempFolder = false; // made by this library (no %temp% in the device path)

    std::mutex mLoggerLock;
    void* mLoggerContext = nullptr;
    JawsLogCallback mLogger = nullptr;
    std::atomic<bool> mMuted{false};

    std::vector<JawsColorSpace> mSpaces;
    std::size_t mCursor = 0;
    bool mRasterJob = false;
};

// The entry points' status for a job's result.
int32_t JawsStatus(JobStatus status);

// Locks the library's recursive mutex for a scope.
class JawsLibraryLock {
public:
    JawsLibraryLock() { pthread_mutex_lock(JawsLibrary::Mutex()); }
    ~JawsLibraryLock() { pthread_mutex_unlock(JawsLibrary::Mutex()); }
    JawsLibraryLock(const JawsLibraryLock&) = delete;
    JawsLibraryLock& operator=(const JawsLibraryLock&) = delete;
};

} // namespace BRASK::WRAPPERS
