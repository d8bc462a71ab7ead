// A stand-in interpreter wrapper that records what the plug-in passes. Built in several variants (start-up
// status, already started, a missing export, a throwing distiller) to reach failures the real wrapper
// cannot be made to give.
#include "jaws/JawsApi.h"

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef FAKE_STARTUP_STATUS
#define FAKE_STARTUP_STATUS 0
#endif
#ifndef FAKE_ALREADY_STARTED
#define FAKE_ALREADY_STARTED 0
#endif
#ifndef FAKE_DISTILL_THROWS
#define FAKE_DISTILL_THROWS 0
#endif

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {
int gStartupCalls = 0;
int gLoggerCalls = 0;
JawsLogCallback gLogger = nullptr;
std::string gDevicePath;
std::string gInitFile;
int gDistillCalls = 0;
int32_t gDistillBytes = -1;
std::string gDistillOutput;
unsigned char gDistillParams[sizeof(RipDistillParams)] = {};
void* gDistillProvider = nullptr;
std::vector<JawsColorSpace> gSpaces;
size_t gSpaceIndex = 0;
int gClearCalls = 0;
int32_t gRasterJob = 0;
pthread_mutex_t gMutex = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
} // namespace

// ---- What the tests read back. ----
EXPORT int fake_startup_calls() {
    return gStartupCalls;
}
EXPORT int fake_logger_calls() {
    return gLoggerCalls;
}
EXPORT const char* fake_device_path() {
    return gDevicePath.c_str();
}
EXPORT const char* fake_init_file() {
    return gInitFile.c_str();
}
EXPORT int fake_distill_calls() {
    return gDistillCalls;
}
EXPORT int32_t fake_distill_bytes() {
    return gDistillBytes;
}
EXPORT const char* fake_distill_output() {
    return gDistillOutput.c_str();
}
EXPORT const unsigned char* fake_distill_params() {
    return gDistillParams;
}
EXPORT void* fake_distill_provider() {
    return gDistillProvider;
}
EXPORT int fake_colorspace_clears() {
    return gClearCalls;
}
EXPORT void fake_set_colorspaces(const int* spaces, int count) {
    gSpaces.clear();
    for (int i = 0; i < count; ++i)
        gSpaces.push_back(static_cast<JawsColorSpace>(spaces[i]));
    gSpaceIndex = 0;
}
EXPORT void fake_set_raster_job(int32_t value) {
    gRasterJob = value;
}

// ---- The entry points the plug-in calls. ----
EXPORT int32_t postscript_dll_startup(void*, const char* initFile, const char* devicePath) {
    ++gStartupCalls;
    gInitFile = initFile != nullptr ? initFile : "";
    gDevicePath = devicePath != nullptr ? devicePath : "";
    if (gLogger != nullptr) {
        char message[] = "fake interpreter: started \xE9";
        gLogger(nullptr, kJawsLogInfo, message, static_cast<int>(std::strlen(message)));
    }
    return FAKE_STARTUP_STATUS;
}
EXPORT void BSetLogger(void*, JawsLogCallback logger) {
    ++gLoggerCalls;
    gLogger = logger;
}
EXPORT int32_t BPDFJawsIntialised(void) {
    return FAKE_ALREADY_STARTED;
}
EXPORT void GetJawsLibraryMutex(JawsLibraryMutex** mutex) {
    *mutex = &gMutex;
}
EXPORT int32_t BPDFStartDistillUsingDataProvider(JawsDataProvider* provider, int32_t byteCount,
                                                 const char* outputPath, const RipDistillParams* params) {
    ++gDistillCalls;
    if (FAKE_DISTILL_THROWS)
        throw std::runtime_error("fake distiller failure");
    gDistillProvider = provider;
    gDistillBytes = byteCount;
    gDistillOutput = outputPath != nullptr ? outputPath : "";
    std::memcpy(gDistillParams, params, sizeof gDistillParams);
    return 0;
}
EXPORT void BPDFColorSpaceClear(void) {
    ++gClearCalls;
    gSpaces.clear();
    gSpaceIndex = 0;
}
EXPORT int32_t BPDFColorSpaceCount(void) {
    return static_cast<int32_t>(gSpaces.size());
}
EXPORT JawsColorSpace BPDFColorSpaceBegin(void) {
    gSpaceIndex = 0;
    return gSpaces.empty() ? kJawsColorSpaceEnd : gSpaces[0];
}
EXPORT JawsColorSpace BPDFColorSpaceNext(void) {
    ++gSpaceIndex;
    return gSpaceIndex < gSpaces.size() ? gSpaces[gSpaceIndex] : kJawsColorSpaceEnd;
}
EXPORT JawsColorSpace BPDFColorSpaceEnd(void) {
    return kJawsColorSpaceEnd;
}
EXPORT int32_t BPDFIsRasterJob(void) {
    return gRasterJob;
}

// ---- Bound but never called by the plug-in. ----
#define FAKE_UNUSED(ret, name, args)                                                                         \
    EXPORT ret name args {                                                                                   \
        return ret();                                                                                        \
    }
FAKE_UNUSED(int32_t, postscript_dll_finish, (void*))
FAKE_UNUSED(int32_t, postscript_dll_input, (void*, const char*, int32_t))
FAKE_UNUSED(int32_t, postscript_dll_safe_input, (void*, const char*, int32_t))
FAKE_UNUSED(int32_t, postscript_dll_eof, (void*))
FAKE_UNUSED(int32_t, postscript_dll_interrupt, (void*))
FAKE_UNUSED(int32_t, SetFontPaths, (const char*))
FAKE_UNUSED(int32_t, BPDFStartDistill, (const char*, const char*, const RipDistillParams*))
FAKE_UNUSED(int32_t, BPDFDocOpen, (const char*))
FAKE_UNUSED(int32_t, BPDFDocGetNumPages, (void))
FAKE_UNUSED(int32_t, BPDFGetPageSize, (int32_t, int32_t*, int32_t*))
FAKE_UNUSED(int32_t, BPDFDrawPageContents, (int32_t))
FAKE_UNUSED(int32_t, BPDFStartPrintPageContents, (int32_t))
FAKE_UNUSED(int32_t, BPDFPrintPageContents, (const char*, int32_t))
FAKE_UNUSED(int32_t, BPDFEndPrintPageContents, (void))
FAKE_UNUSED(int32_t, BPDFDocGetCropBox, (int32_t, int32_t*))
FAKE_UNUSED(int32_t, BPDFDocGetBoundingBox, (int32_t, int32_t*))
FAKE_UNUSED(int32_t, BPDFColorInfoBegin, (void))
FAKE_UNUSED(int32_t, BPDFColorInfoNext, (void))
FAKE_UNUSED(int32_t, BPDFColorInfoEnd, (void))
FAKE_UNUSED(void, BPDFColorInfoClear, (void))
FAKE_UNUSED(int32_t, BPDFColorInfoCount, (void))
FAKE_UNUSED(uint32_t, BPDFGetProcessColorFlags, (void))
FAKE_UNUSED(int32_t, BPDFSave, (void))
FAKE_UNUSED(int32_t, BPDFRestore, (void))
FAKE_UNUSED(int32_t, BPDFFontInfoBegin, (void))
FAKE_UNUSED(int32_t, BPDFFontInfoNext, (void))
FAKE_UNUSED(int32_t, BPDFFontInfoEnd, (void))
FAKE_UNUSED(void, BPDFFontInfoClear, (void))
FAKE_UNUSED(int32_t, BPDFFontInfoCount, (void))
FAKE_UNUSED(void, BPDFMuteMessages, (int32_t))
FAKE_UNUSED(int32_t, BEPSDrawPageContents, (uint32_t, const void*, int32_t, const char*, int16_t))
FAKE_UNUSED(int32_t, BEPSPrintPageContents, (uint32_t, const void*, int32_t, const char*, int16_t))
FAKE_UNUSED(int32_t, BPDFAbortJob, (void))
FAKE_UNUSED(int32_t, BPDFColorSpaceAdd, (JawsColorSpace))
FAKE_UNUSED(int32_t, BPDFSetupRasterDevice,
            (int32_t, int32_t, int32_t, int32_t, int16_t, RipPixmap*, uint8_t, void*, RipColorCallback*))
FAKE_UNUSED(int32_t, BPDFTearDownRasterDevice, (void))
FAKE_UNUSED(int32_t, BPDFGetTotalJobUnits, (void))
FAKE_UNUSED(int32_t, BPDFGetICCProfile, (const void**, int32_t*))
FAKE_UNUSED(void, BPDFClearICCInfo, (void))
FAKE_UNUSED(int32_t, postscript_file_input, (void*, const char*))
