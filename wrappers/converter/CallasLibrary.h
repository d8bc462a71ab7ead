// The converter wrapper's process-wide state: initialisation, a private temporary folder and the warm
// Ghostscript engine that runs job options and EPS files.
#pragma once

#include "GsWorkerClient.h"

#include <jaws/CallasApi.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace BRASK::WRAPPERS {

class CallasLibrary {
public:
    static CallasLibrary& Instance();
    ~CallasLibrary();

    int32_t Init();
    bool Initialised() const;
    // The font entries of a device path whose stub tree the EPS conversions map; before the first Init only.
    int32_t SetFontPaths(const char* devicePath);
    // Where warnings go; standard error while none is set.
    void SetLogger(void* context, CallasLogCallback logger);
    int32_t SaveEps(const std::string& source, const char* jobOptionsPath, const std::string& output);
    int32_t SaveSvg(const std::string& source, const std::string& output);

private:
    CallasLibrary() = default;
    static void Report(std::string_view message);
    void Warn(const std::string& message);

    mutable std::mutex mLock;
    std::string mDevicePath;
    std::string mTempFolder;
    std::mutex mLoggerLock;
    void* mLoggerContext = nullptr;
    CallasLogCallback mLogger = nullptr;
    std::unique_ptr<GsWorkerClient> mEngine;
};

} // namespace BRASK::WRAPPERS
