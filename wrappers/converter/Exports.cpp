// The six exported entry points of libCallasWrapper.so; no exception leaves the library.
#include "CallasLibrary.h"
#include "OutputFile.h"

#include <jaws/CallasApi.h>

#include <cstdio>
#include <exception>

#define CALLAS_EXPORT extern "C" __attribute__((visibility("default")))

using BRASK::WRAPPERS::CallasLibrary;

namespace {

template <class F> int32_t Guarded(F&& body) {
    try {
        return body(CallasLibrary::Instance());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "CallasWrapper: internal error: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "CallasWrapper: internal error\n");
    }
    return kCallasFailed;
}

} // namespace

CALLAS_EXPORT int32_t InitCallas(void*, void*) {
    return Guarded([](CallasLibrary& lib) { return lib.Init(); });
}

CALLAS_EXPORT int32_t SaveAsPDF(const char* sourcePath, const char* jobOptionsPath, void*, void*, void*,
                                void*, uint8_t, uint8_t isEPS, const char* outputPath) {
    return Guarded([&](CallasLibrary& lib) -> int32_t {
        if (sourcePath == nullptr || *sourcePath == '\0' || outputPath == nullptr || *outputPath == '\0')
            return kCallasBadParameter;
        const int32_t status = !lib.Initialised() ? kCallasNotInitialised
                               : isEPS != 0       ? lib.SaveEps(sourcePath, jobOptionsPath, outputPath)
                                                  : lib.SaveSvg(sourcePath, outputPath);
        // A failed conversion leaves no file at the path that could pass for its result.
        if (status != kCallasOK)
            BRASK::WRAPPERS::RemoveOwnedOutput(outputPath);
        return status;
    });
}

CALLAS_EXPORT int32_t CallasSetFontPaths(const char* devicePath) {
    return Guarded([&](CallasLibrary& lib) { return lib.SetFontPaths(devicePath); });
}

CALLAS_EXPORT void CallasSetLogger(void* context, CallasLogCallback logger) {
    Guarded([&](CallasLibrary& lib) {
        lib.SetLogger(context, logger);
        return kCallasOK;
    });
}

CALLAS_EXPORT int32_t AddColorBar(const char*, const char*) {
    return kCallasNotSupported;
}
CALLAS_EXPORT int32_t CertifyPDF(const char*, const char*, const char*) {
    return kCallasNotSupported;
}
CALLAS_EXPORT int32_t CropPDFToBBox(const char*, const char*) {
    return kCallasNotSupported;
}
CALLAS_EXPORT int32_t ExecuteProfile(const char*, const char*, const char*) {
    return kCallasNotSupported;
}
