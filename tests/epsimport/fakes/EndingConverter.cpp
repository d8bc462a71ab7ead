// A converter wrapper that ends its process, as a crash would, when it is given a picture whose path contains
// "crash"; every other call goes to the real converter wrapper (BRASK_REAL_CONVERTER).
#include "jaws/CallasApi.h"

#include <dlfcn.h>
#include <signal.h>

#include <cstring>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {
template <class F> F Real(const char* name) {
    static void* library = dlopen(BRASK_REAL_CONVERTER, RTLD_NOW | RTLD_LOCAL);
    return library != nullptr ? reinterpret_cast<F>(dlsym(library, name)) : nullptr;
}
} // namespace

EXPORT int32_t InitCallas(void* a, void* b) {
    const auto real = Real<PFN_InitCallas>("InitCallas");
    return real != nullptr ? real(a, b) : kCallasFailed;
}
EXPORT int32_t SaveAsPDF(const char* source, const char* jobOptions, void* r1, void* r2, void* r3, void* r4,
                         uint8_t r5, uint8_t isEPS, const char* output) {
    if (source != nullptr && std::strstr(source, "crash") != nullptr)
        raise(SIGKILL);
    const auto real = Real<PFN_SaveAsPDF>("SaveAsPDF");
    return real != nullptr ? real(source, jobOptions, r1, r2, r3, r4, r5, isEPS, output) : kCallasFailed;
}
EXPORT int32_t AddColorBar(const char*, const char*) {
    return kCallasNotSupported;
}
EXPORT int32_t CertifyPDF(const char*, const char*, const char*) {
    return kCallasNotSupported;
}
EXPORT int32_t CropPDFToBBox(const char*, const char*) {
    return kCallasNotSupported;
}
EXPORT int32_t ExecuteProfile(const char*, const char*, const char*) {
    return kCallasNotSupported;
}
