// A stand-in interpreter wrapper that records what the plug-in passes. Built in several variants (start-up
// status, already started, a missing export, a throwing distiller) to reach failures the real wrapper
// cannot be made to give; its distiller's output and its raster device are steered at run time (refusals,
// throws, a translation run).
#include "FakeJawsRaster.h"
#include "FakeOutput.h"
#include "jaws/JawsApi.h"

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {
int gStartupCalls = 0;
int gLoggerCalls = 0;
JawsLogCallback gLogger = nullptr;
std::string gDevicePath;
std::string gInitFile;
std::vector<int> gSpaces;
size_t gSpaceIndex = 0;
int gOutputMode = FAKE::kWritePDF;
pthread_mutex_t gMutex = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;

// The raster device, as a reset leaves it.
struct RasterDevice {
    std::string calls;
    std::vector<FAKE::SetupRecord> setups;
    std::vector<int32_t> setupResults;
    std::vector<FAKE::DrawRecord> draws;
    std::string drawn;
    int32_t drawResult = 0;
    int32_t drawThrows = 0;
    int tearDowns = 0;
    long device = -1; // index of the last device opened and not closed
    // The run handed to the colour callback when a block ends a render.
    ColorTransCBRec run{};
    bool runSet = false;
    int32_t runResult = -1;
    uint8_t runDone = 0;
} gRaster;

void Paint(const FAKE::SetupRecord& device) {
    const RipPixmap& pixmap = device.pixmap;
    if (pixmap.data == nullptr || pixmap.rowBytes <= 0 || pixmap.bitsPerPixel <= 0)
        return;
    const int32_t width = pixmap.rowBytes * 8 / pixmap.bitsPerPixel;
    const int32_t height = pixmap.byteSize / pixmap.rowBytes;
    auto* bytes = static_cast<uint8_t*>(pixmap.data);
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = bytes + static_cast<size_t>(y) * pixmap.rowBytes;
        for (int32_t x = 0; x < width; ++x) {
            for (int c = 0; c < 4; ++c) {
                const uint8_t v = FAKE::Pattern(x, y, c, device.colorModelBits, pixmap.bitsPerPixel);
                if (pixmap.bitsPerPixel == 32) {
                    row[x * 4 + c] = v;
                } else {
                    uint8_t& byte = row[x * 2 + c / 2];
                    byte = c % 2 == 0 ? static_cast<uint8_t>((byte & 0x0F) | (v << 4))
                                      : static_cast<uint8_t>((byte & 0xF0) | v);
                }
            }
        }
    }
}
} // namespace

// ---- What the tests read back and steer. ----
#define FAKE_READ(type, name, value)                                                                         \
    EXPORT type name() {                                                                                     \
        return value;                                                                                        \
    }
FAKE_READ(int, fake_startup_calls, gStartupCalls)
FAKE_READ(int, fake_logger_calls, gLoggerCalls)
FAKE_READ(const char*, fake_device_path, gDevicePath.c_str())
FAKE_READ(const char*, fake_init_file, gInitFile.c_str())
FAKE_READ(int32_t, fake_raster_run_result, gRaster.runResult)
FAKE_READ(uint8_t, fake_raster_run_done, gRaster.runDone)
// The entry points called, in order, separated by spaces; a draw shows its flags.
FAKE_READ(const char*, fake_raster_calls, gRaster.calls.c_str())
FAKE_READ(int, fake_raster_setup_count, static_cast<int>(gRaster.setups.size()))
FAKE_READ(int, fake_raster_teardowns, gRaster.tearDowns)
FAKE_READ(int, fake_draw_count, static_cast<int>(gRaster.draws.size()))

EXPORT const FAKE::SetupRecord* fake_raster_setup(int i) {
    return i >= 0 && i < static_cast<int>(gRaster.setups.size()) ? &gRaster.setups[static_cast<size_t>(i)]
                                                                 : nullptr;
}
EXPORT const FAKE::DrawRecord* fake_draw(int i) {
    return i >= 0 && i < static_cast<int>(gRaster.draws.size()) ? &gRaster.draws[static_cast<size_t>(i)]
                                                                : nullptr;
}
// Every byte fed since the reset, in order.
EXPORT const char* fake_drawn_bytes(size_t* size) {
    *size = gRaster.drawn.size();
    return gRaster.drawn.data();
}
EXPORT void fake_set_colorspaces(const int* spaces, int count) {
    gSpaces.assign(spaces, spaces + count);
    gSpaceIndex = 0;
}
EXPORT void fake_set_output_mode(int mode) {
    gOutputMode = mode;
}
EXPORT void fake_raster_reset() {
    gRaster = RasterDevice{};
}
// Results of the next set-ups, in turn (0 after the list).
EXPORT void fake_raster_set_setup_results(const int32_t* results, int count) {
    gRaster.setupResults.assign(results, results + count);
}
EXPORT void fake_raster_set_draw_result(int32_t result, int throws) {
    gRaster.drawResult = result;
    gRaster.drawThrows = throws;
}
// The run the device hands to the colour callback at the end of each render that has one.
EXPORT void fake_raster_set_run(const ColorTransCBRec* run) {
    gRaster.run = *run;
    gRaster.runSet = true;
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
EXPORT int32_t BPDFStartDistillUsingDataProvider(JawsDataProvider*, int32_t, const char* outputPath,
                                                 const RipDistillParams*) {
    if (FAKE_DISTILL_THROWS)
        throw std::runtime_error("fake distiller failure");
    return FAKE::Produce(gOutputMode, outputPath);
}
EXPORT void BPDFColorSpaceClear(void) {
    gRaster.calls += "ColorSpaceClear ";
    gSpaces.clear();
    gSpaceIndex = 0;
}
EXPORT int32_t BPDFColorSpaceCount(void) {
    return static_cast<int32_t>(gSpaces.size());
}
EXPORT JawsColorSpace BPDFColorSpaceBegin(void) {
    gSpaceIndex = 0;
    return gSpaces.empty() ? kJawsColorSpaceEnd : static_cast<JawsColorSpace>(gSpaces[0]);
}
EXPORT JawsColorSpace BPDFColorSpaceNext(void) {
    ++gSpaceIndex;
    return gSpaceIndex < gSpaces.size() ? static_cast<JawsColorSpace>(gSpaces[gSpaceIndex])
                                        : kJawsColorSpaceEnd;
}
EXPORT JawsColorSpace BPDFColorSpaceEnd(void) {
    return kJawsColorSpaceEnd;
}
EXPORT int32_t BPDFIsRasterJob(void) {
    return 0;
}
EXPORT void BPDFFontInfoClear(void) {
    gRaster.calls += "FontInfoClear ";
}
EXPORT int32_t BPDFSetupRasterDevice(int32_t width, int32_t height, int32_t xResolution, int32_t yResolution,
                                     int16_t colorModelBits, RipPixmap* pixmap, uint8_t, void*,
                                     RipColorCallback* colorCallback) {
    gRaster.calls += "Setup ";
    const size_t index = gRaster.setups.size();
    const int32_t result = index < gRaster.setupResults.size() ? gRaster.setupResults[index] : 0;
    gRaster.setups.push_back(
        FAKE::SetupRecord{width, height, xResolution, yResolution, colorModelBits, pixmap != nullptr,
                          pixmap != nullptr ? *pixmap : RipPixmap{}, colorCallback != nullptr,
                          colorCallback != nullptr ? *colorCallback : RipColorCallback{}});
    gRaster.device = result == 0 ? static_cast<long>(index) : -1;
    return result;
}
EXPORT int32_t BPDFTearDownRasterDevice(void) {
    gRaster.calls += "TearDown ";
    ++gRaster.tearDowns;
    gRaster.device = -1;
    return 0;
}
EXPORT int32_t BEPSDrawPageContents(uint32_t flags, const void* data, int32_t length, const char* prologue,
                                    int16_t prologueLength) {
    gRaster.calls += "Draw" + std::to_string(flags) + " ";
    if (gRaster.drawThrows)
        throw std::runtime_error("fake interpreter failure");
    gRaster.draws.push_back(FAKE::DrawRecord{
        flags, length, prologue != nullptr ? std::string(prologue) : std::string(), prologueLength});
    if (data != nullptr && length > 0)
        gRaster.drawn.append(static_cast<const char*>(data), static_cast<size_t>(length));
    if (gRaster.drawResult != 0)
        return gRaster.drawResult;
    if ((flags & 2) != 0 && gRaster.device >= 0) {
        const FAKE::SetupRecord& device = gRaster.setups[static_cast<size_t>(gRaster.device)];
        Paint(device);
        if (gRaster.runSet && device.hasCallback && device.callback.translate != nullptr) {
            ColorTransCBRec run = gRaster.run;
            run.done = 0xEE; // the callback must set it either way
            gRaster.runResult = device.callback.translate(device.callback.context, &run);
            gRaster.runDone = run.done;
        }
    }
    return 0;
}
