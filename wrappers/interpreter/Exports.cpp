// The 51 exported entry points of libBraskPDF.so. Each one catches everything at its edge: no exception
// leaves the library.
#include "JawsLibrary.h"

#include <jaws/JawsApi.h>

#include <exception>

#define JAWS_EXPORT extern "C" __attribute__((visibility("default")))

using BRASK::WRAPPERS::JawsLibrary;
using BRASK::WRAPPERS::JawsLibraryLock;

namespace {

template <class F> int32_t Guarded(F&& body) {
    try {
        JawsLibraryLock lock;
        return body(JawsLibrary::Instance());
    } catch (const std::exception& e) {
        JawsLibrary::Instance().Log(kJawsLogError, std::string("internal error: ") + e.what());
    } catch (...) {
        JawsLibrary::Instance().Log(kJawsLogError, "internal error");
    }
    return kJawsFailed;
}

JawsColorSpace GuardedSpace(JawsColorSpace (JawsLibrary::*walk)()) {
    try {
        JawsLibraryLock lock;
        return (JawsLibrary::Instance().*walk)();
    } catch (...) {
        return kJawsColorSpaceEnd;
    }
}

} // namespace

JAWS_EXPORT int32_t postscript_dll_startup(void*, const char*, const char* devicePath) {
    return Guarded([&](JawsLibrary& lib) { return lib.Startup(devicePath); });
}

JAWS_EXPORT int32_t postscript_dll_finish(void*) {
    return Guarded([](JawsLibrary& lib) { return lib.Finish(); });
}

// Raw PostScript streams into the interpreter are not offered: every job runs through the distiller.
JAWS_EXPORT int32_t postscript_dll_input(void*, const char*, int32_t) {
    return kJawsNotSupported;
}
JAWS_EXPORT int32_t postscript_dll_safe_input(void*, const char*, int32_t) {
    return kJawsNotSupported;
}
JAWS_EXPORT int32_t postscript_dll_eof(void*) {
    return kJawsNotSupported;
}

// Stops the running job; taken without the library lock, which the job holds.
JAWS_EXPORT int32_t postscript_dll_interrupt(void*) {
    JawsLibrary::Instance().Abort();
    return kJawsOK;
}

JAWS_EXPORT int32_t SetFontPaths(const char* fontPaths) {
    return Guarded([&](JawsLibrary& lib) { return lib.SetFontPaths(fontPaths); });
}

JAWS_EXPORT int32_t BPDFStartDistill(const char* postScriptPath, const char* outputPath,
                                     const RipDistillParams* params) {
    return Guarded([&](JawsLibrary& lib) { return lib.DistilFile(postScriptPath, outputPath, params); });
}

JAWS_EXPORT int32_t BPDFStartDistillUsingDataProvider(JawsDataProvider* provider, int32_t byteCount,
                                                      const char* outputPath,
                                                      const RipDistillParams* params) {
    return Guarded([&](JawsLibrary& lib) { return lib.Distil(provider, byteCount, outputPath, params); });
}

// PDF documents are not opened or drawn by this build.
JAWS_EXPORT int32_t BPDFDocOpen(const char*) {
    return kJawsNotSupported;
}
JAWS_EXPORT int32_t BPDFDocGetNumPages(void) {
    return kJawsNotSupported;
}
JAWS_EXPORT int32_t BPDFGetPageSize(int32_t, int32_t*, int32_t*) {
    return kJawsNotSupported;
}
JAWS_EXPORT int32_t BPDFDrawPageContents(int32_t) {
    return kJawsNotSupported;
}
JAWS_EXPORT int32_t BPDFStartPrintPageContents(int32_t) {
    return kJawsNotSupported;
}
JAWS_EXPORT int32_t BPDFPrintPageContents(const char*, int32_t) {
    return kJawsNotSupported;
}
JAWS_EXPORT int32_t BPDFEndPrintPageContents(void) {
    return kJawsNotSupported;
}
JAWS_EXPORT int32_t BPDFDocGetCropBox(int32_t, int32_t*) {
    return kJawsNotSupported;
}
JAWS_EXPORT int32_t BPDFDocGetBoundingBox(int32_t, int32_t*) {
    return kJawsNotSupported;
}

// Spot-colour and font lists are not collected: the walks are empty.
JAWS_EXPORT int32_t BPDFColorInfoBegin(void) {
    return kJawsColorSpaceEnd;
}
JAWS_EXPORT int32_t BPDFColorInfoNext(void) {
    return kJawsColorSpaceEnd;
}
JAWS_EXPORT int32_t BPDFColorInfoEnd(void) {
    return kJawsColorSpaceEnd;
}
JAWS_EXPORT void BPDFColorInfoClear(void) {}
JAWS_EXPORT int32_t BPDFColorInfoCount(void) {
    return 0;
}

// One bit per JawsColorSpace value the last distillation used (bit n for value n).
JAWS_EXPORT uint32_t BPDFGetProcessColorFlags(void) {
    return static_cast<uint32_t>(Guarded([](JawsLibrary& lib) { return int32_t(lib.ProcessColorFlags()); }));
}

JAWS_EXPORT int32_t BPDFSave(void) {
    return kJawsNotSupported;
}
JAWS_EXPORT int32_t BPDFRestore(void) {
    return kJawsNotSupported;
}

JAWS_EXPORT int32_t BPDFFontInfoBegin(void) {
    return -1;
}
JAWS_EXPORT int32_t BPDFFontInfoNext(void) {
    return -1;
}
JAWS_EXPORT int32_t BPDFFontInfoEnd(void) {
    return -1;
}
JAWS_EXPORT void BPDFFontInfoClear(void) {}
JAWS_EXPORT int32_t BPDFFontInfoCount(void) {
    return 0;
}

JAWS_EXPORT void BPDFMuteMessages(int32_t mute) {
    JawsLibrary::Instance().Mute(mute != 0);
}

// Feeds one block of PostScript to the open raster device; the last block (flags bit 1) renders.
JAWS_EXPORT int32_t BEPSDrawPageContents(uint32_t flags, const void* data, int32_t length,
                                         const char* prologue, int16_t prologueLength) {
    return Guarded(
        [&](JawsLibrary& lib) { return lib.DrawRasterBlock(flags, data, length, prologue, prologueLength); });
}
JAWS_EXPORT int32_t BEPSPrintPageContents(uint32_t, const void*, int32_t, const char*, int16_t) {
    return kJawsNotSupported;
}

JAWS_EXPORT int32_t BPDFAbortJob(void) {
    JawsLibrary::Instance().Abort();
    return kJawsOK;
}

JAWS_EXPORT JawsColorSpace BPDFColorSpaceBegin(void) {
    return GuardedSpace(&JawsLibrary::ColorSpaceBegin);
}
JAWS_EXPORT JawsColorSpace BPDFColorSpaceNext(void) {
    return GuardedSpace(&JawsLibrary::ColorSpaceNext);
}
JAWS_EXPORT JawsColorSpace BPDFColorSpaceEnd(void) {
    return kJawsColorSpaceEnd;
}

JAWS_EXPORT void BPDFColorSpaceClear(void) {
    Guarded([](JawsLibrary& lib) {
        lib.ColorSpaceClear();
        return kJawsOK;
    });
}

JAWS_EXPORT int32_t BPDFColorSpaceCount(void) {
    return Guarded([](JawsLibrary& lib) { return lib.ColorSpaceCount(); });
}

JAWS_EXPORT int32_t BPDFColorSpaceAdd(JawsColorSpace space) {
    return Guarded([&](JawsLibrary& lib) { return lib.ColorSpaceAdd(space); });
}

JAWS_EXPORT int32_t BPDFSetupRasterDevice(int32_t width, int32_t height, int32_t xResolution,
                                          int32_t yResolution, int16_t colorModelBits, RipPixmap* pixmap,
                                          uint8_t, void*, RipColorCallback* colorCallback) {
    return Guarded([&](JawsLibrary& lib) {
        return lib.SetupRasterDevice(width, height, xResolution, yResolution, colorModelBits, pixmap,
                                     colorCallback);
    });
}
JAWS_EXPORT int32_t BPDFTearDownRasterDevice(void) {
    return Guarded([](JawsLibrary& lib) { return lib.TearDownRasterDevice(); });
}

JAWS_EXPORT int32_t BPDFGetTotalJobUnits(void) {
    return Guarded([](JawsLibrary& lib) { return lib.JobsRun(); });
}

JAWS_EXPORT int32_t BPDFGetICCProfile(const void** data, int32_t* size) {
    if (data != nullptr)
        *data = nullptr;
    if (size != nullptr)
        *size = 0;
    return kJawsNotSupported;
}
JAWS_EXPORT void BPDFClearICCInfo(void) {}

JAWS_EXPORT int32_t BPDFIsRasterJob(void) {
    return Guarded([](JawsLibrary& lib) { return lib.RasterJob() ? 1 : 0; });
}

JAWS_EXPORT int32_t postscript_file_input(void*, const char*) {
    return kJawsNotSupported;
}

JAWS_EXPORT void BSetLogger(void* context, JawsLogCallback logger) {
    JawsLibrary::Instance().SetLogger(context, logger);
}

JAWS_EXPORT void GetJawsLibraryMutex(JawsLibraryMutex** mutex) {
    if (mutex != nullptr)
        *mutex = JawsLibrary::Mutex();
}

JAWS_EXPORT int32_t BPDFJawsIntialised(void) {
    return Guarded([](JawsLibrary& lib) { return lib.Started() ? 1 : 0; });
}
