// A stand-in converter wrapper that records each SaveAsPDF call, including the job-options text (the
// plug-in deletes that file right after the call), and writes its output as the test asks.
#include "FakeOutput.h"
#include "jaws/CallasApi.h"

#include <fstream>
#include <iterator>
#include <string>

#ifndef FAKE_INIT_STATUS
#define FAKE_INIT_STATUS 0
#endif

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {
int gSaveCalls = 0;
std::string gSource;
std::string gJobPath;
std::string gJobText;
std::string gOutput;
int gIsEPS = -1;
int gOutputMode = FAKE::kWritePDF;
} // namespace

EXPORT void fake_set_output_mode(int mode) {
    gOutputMode = mode;
}
#define FAKE_READ(type, name, value)                                                                         \
    EXPORT type name() {                                                                                     \
        return value;                                                                                        \
    }
FAKE_READ(int, fake_save_calls, gSaveCalls)
FAKE_READ(const char*, fake_source, gSource.c_str())
FAKE_READ(const char*, fake_job_path, gJobPath.c_str())
FAKE_READ(const char*, fake_job_text, gJobText.c_str())
FAKE_READ(const char*, fake_output, gOutput.c_str())
FAKE_READ(int, fake_is_eps, gIsEPS)

EXPORT int32_t InitCallas(void*, void*) {
    return FAKE_INIT_STATUS;
}
EXPORT int32_t SaveAsPDF(const char* source, const char* jobOptions, void*, void*, void*, void*, uint8_t,
                         uint8_t isEPS, const char* output) {
    ++gSaveCalls;
    gSource = source != nullptr ? source : "";
    gJobPath = jobOptions != nullptr ? jobOptions : "";
    std::ifstream in(gJobPath, std::ios::binary);
    gJobText.assign(std::istreambuf_iterator<char>(in), {});
    gOutput = output != nullptr ? output : "";
    gIsEPS = isEPS;
    return FAKE::Produce(gOutputMode, output);
}
