// The converter wrapper's process-wide state: initialisation, a private temporary folder and the warm
// Ghostscript engine that runs job options and EPS files.
#pragma once

#include "GsWorkerClient.h"

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
    int32_t SaveEps(const std::string& source, const char* jobOptionsPath, const std::string& output);
    int32_t SaveSvg(const std::string& source, const std::string& output);

private:
    CallasLibrary() = default;
    static void Report(std::string_view message);

    mutable std::mutex mLock;
    std::string mTempFolder;
    std::unique_ptr<GsWorkerClient> mEngine;
};

} // namespace BRASK::WRAPPERS
