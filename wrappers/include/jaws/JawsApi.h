// The interpreter wrapper's interface (libBraskPDF.so): records, callback types and the 51 entry points,
// bound by name at run time (dlsym). Every entry point is extern "C"; the typedef of each is
// PFN_<name>. Self-contained: the data provider is only forward-declared.
#pragma once

#include <pthread.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
namespace BRASK::IO {
class IDataProvider;
}
typedef BRASK::IO::IDataProvider JawsDataProvider;
extern "C" {
#else
typedef struct JawsDataProvider JawsDataProvider;
#endif

// ---- Status values returned by the entry points (signed 32-bit). ----
enum {
    kJawsOK = 0,
    kJawsFailed = -1,         // the job or call failed; the reason went to the logger
    kJawsAlreadyStarted = -2, // postscript_dll_startup on a started interpreter (counts as success)
    kJawsNotStarted = -3,     // no postscript_dll_startup yet, or the interpreter could not be started
    kJawsNotSupported = -4,   // the entry point exists but this build does not offer it
    kJawsBadParameter = -5,   // a null pointer, a bad record size or a negative byte count
    kJawsTimedOut = -6,       // the job ran longer than the time limit and was stopped
    kJawsOutputMissing = -7   // the job ran but left no complete PDF
};

// ---- The distil record: a little-endian wire format of 88 bytes, zero-filled before use. ----
enum {
    kRipDistillParamsSize = 88,
    kRipDistillFlagPageFromBox = 1, // page size = width x height (else the interpreter's default page)
    kRipDistillFlagMoveOrigin = 2   // move (left, bottom) to the page origin
};

typedef struct RipDistillParams {
    int32_t recordSize;     // 0: 88
    int32_t left;           // 4: left edge, 16.16 points
    int32_t bottom;         // 8: bottom edge, 16.16 points
    int32_t width;          // 12: |right - left|, 16.16 points
    int32_t height;         // 16: |top - bottom|, 16.16 points
    int32_t xResolution;    // 20: 16.16 dots per inch (the plug-in sends 288 dpi, 0x1200000)
    int32_t yResolution;    // 24
    int16_t reserved28;     // 28
    int16_t reserved30;     // 30
    uint8_t reserved32;     // 32
    uint8_t reserved33;     // 33
    uint8_t embedAllFonts;  // 34: 1 embeds every font, the base-14 ones included (the plug-in sends 1)
    uint8_t reserved35[29]; // 35
    void* reserved64;       // 64
    void* reserved72;       // 72
    uint32_t flags;         // 80: kRipDistillFlag... bits (the plug-in sends 3)
    uint32_t reserved84;    // 84
} RipDistillParams;

// ---- Colour spaces a distillation met, as BPDFColorSpaceBegin/Next report them. ----
// In C++ the type holds any 32-bit value (fixed underlying type), so values outside the list stay valid.
#ifdef __cplusplus
enum JawsColorSpace : int32_t {
#else
typedef enum JawsColorSpace {
#endif
    kJawsColorSpaceEnd = -1, // ends a walk (BPDFColorSpaceEnd)
    kJawsColorSpaceCMYK = 0,
    kJawsColorSpaceRGB = 1,
    kJawsColorSpaceSeparation = 2,
    kJawsColorSpaceGray = 3,
    kJawsColorSpaceIndexed = 4, // never reported: an indexed space reports its base
    kJawsColorSpacePattern = 5, // never reported: a pattern reports the spaces it paints with
    kJawsColorSpaceLab = 6,
    kJawsColorSpaceICCBased = 7,
    kJawsColorSpaceDeviceN = 8,
    kJawsColorSpaceNChannel = 9,
    kJawsColorSpaceSeparationAll = 10,
    kJawsColorSpaceSeparationNone = 11
#ifdef __cplusplus
};
#else
} JawsColorSpace;
#endif

// ---- Raster records (BPDFSetupRasterDevice). ----
typedef struct RipPixmap {
    void* data;           // 0
    int32_t byteSize;     // 8: rowBytes x pixel height
    int32_t bitsPerPixel; // 12
    int32_t rowBytes;     // 16
} RipPixmap;

// The run of pixels handed to a colour-translation callback.
typedef struct ColorTransCBRec {
    uint32_t destinationSpace; // 0: 0 CMYK, 1 RGB, 3 gray
    uint32_t sourceSpace;      // 4
    const void* source;        // 8
    void* destination;         // 16
    uint32_t pixelCount;       // 24
    uint8_t reserved28[28];    // 28
    uint8_t bitsPerComponent;  // 56: 16 means two bytes per component
    uint8_t reserved57[2];     // 57
    uint8_t done;              // 59: set to 1 by the callback on success
    uint8_t reserved60[4];     // 60
} ColorTransCBRec;

typedef int32_t (*RipColorTranslateProc)(void* context, ColorTransCBRec* record);

typedef struct RipColorCallback {
    RipColorTranslateProc translate; // 0: null when no translation
    uint32_t rgb;                    // 8: 1 unless the colour model is CMYK
    uint32_t reserved12;             // 12
    uint64_t reserved16;             // 16
    void* context;                   // 24: handed back to translate
    uint64_t reserved32;             // 32
} RipColorCallback;

// ---- Callbacks and the library lock. ----
// Receives every message of the interpreter: context as given to BSetLogger, the kind (kJawsLog...),
// the NUL-terminated text and its length in bytes. A warning reports a font the job asked for and the font
// drawn instead (text: jaws/FontSubstitutionText.h); the job still succeeded.
enum { kJawsLogInfo = 1, kJawsLogError = 2, kJawsLogWarning = 3 };
typedef void (*JawsLogCallback)(void* context, int kind, char* message, int length);

// The library's recursive lock (a pthread mutex of type PTHREAD_MUTEX_RECURSIVE); callers lock and unlock
// it with pthread_mutex_lock / pthread_mutex_unlock around a distillation.
typedef pthread_mutex_t JawsLibraryMutex;

// ---- Entry points, in binding order. ----
#define JAWS_ENTRY_POINTS(X)                                                                                 \
    X(int32_t, postscript_dll_startup, (void* context, const char* initFile, const char* devicePath))        \
    X(int32_t, postscript_dll_finish, (void* context))                                                       \
    X(int32_t, postscript_dll_input, (void* context, const char* data, int32_t length))                      \
    X(int32_t, postscript_dll_safe_input, (void* context, const char* data, int32_t length))                 \
    X(int32_t, postscript_dll_eof, (void* context))                                                          \
    X(int32_t, postscript_dll_interrupt, (void* context))                                                    \
    X(int32_t, SetFontPaths, (const char* fontPaths))                                                        \
    X(int32_t, BPDFStartDistill,                                                                             \
      (const char* postScriptPath, const char* outputPath, const RipDistillParams* params))                  \
    X(int32_t, BPDFStartDistillUsingDataProvider,                                                            \
      (JawsDataProvider * provider, int32_t byteCount, const char* outputPath,                               \
       const RipDistillParams* params))                                                                      \
    X(int32_t, BPDFDocOpen, (const char* pdfPath))                                                           \
    X(int32_t, BPDFDocGetNumPages, (void))                                                                   \
    X(int32_t, BPDFGetPageSize, (int32_t page, int32_t * width, int32_t * height))                           \
    X(int32_t, BPDFDrawPageContents, (int32_t page))                                                         \
    X(int32_t, BPDFStartPrintPageContents, (int32_t page))                                                   \
    X(int32_t, BPDFPrintPageContents, (const char* data, int32_t length))                                    \
    X(int32_t, BPDFEndPrintPageContents, (void))                                                             \
    X(int32_t, BPDFDocGetCropBox, (int32_t page, int32_t * box))                                             \
    X(int32_t, BPDFDocGetBoundingBox, (int32_t page, int32_t * box))                                         \
    X(int32_t, BPDFColorInfoBegin, (void))                                                                   \
    X(int32_t, BPDFColorInfoNext, (void))                                                                    \
    X(int32_t, BPDFColorInfoEnd, (void))                                                                     \
    X(void, BPDFColorInfoClear, (void))                                                                      \
    X(int32_t, BPDFColorInfoCount, (void))                                                                   \
    X(uint32_t, BPDFGetProcessColorFlags, (void))                                                            \
    X(int32_t, BPDFSave, (void))                                                                             \
    X(int32_t, BPDFRestore, (void))                                                                          \
    X(int32_t, BPDFFontInfoBegin, (void))                                                                    \
    X(int32_t, BPDFFontInfoNext, (void))                                                                     \
    X(int32_t, BPDFFontInfoEnd, (void))                                                                      \
    X(void, BPDFFontInfoClear, (void))                                                                       \
    X(int32_t, BPDFFontInfoCount, (void))                                                                    \
    X(void, BPDFMuteMessages, (int32_t mute))                                                                \
    X(int32_t, BEPSDrawPageContents,                                                                         \
      (uint32_t flags, const void* data, int32_t length, const char* prologue, int16_t prologueLength))      \
    X(int32_t, BEPSPrintPageContents,                                                                        \
      (uint32_t flags, const void* data, int32_t length, const char* prologue, int16_t prologueLength))      \
    X(int32_t, BPDFAbortJob, (void))                                                                         \
    X(JawsColorSpace, BPDFColorSpaceBegin, (void))                                                           \
    X(JawsColorSpace, BPDFColorSpaceNext, (void))                                                            \
    X(JawsColorSpace, BPDFColorSpaceEnd, (void))                                                             \
    X(void, BPDFColorSpaceClear, (void))                                                                     \
    X(int32_t, BPDFColorSpaceCount, (void))                                                                  \
    X(int32_t, BPDFColorSpaceAdd, (JawsColorSpace space))                                                    \
    X(int32_t, BPDFSetupRasterDevice,                                                                        \
      (int32_t width, int32_t height, int32_t xResolution, int32_t yResolution, int16_t colorModelBits,      \
       RipPixmap * pixmap, uint8_t reserved, void* reservedPointer, RipColorCallback* colorCallback))        \
    X(int32_t, BPDFTearDownRasterDevice, (void))                                                             \
    X(int32_t, BPDFGetTotalJobUnits, (void))                                                                 \
    X(int32_t, BPDFGetICCProfile, (const void** data, int32_t* size))                                        \
    X(void, BPDFClearICCInfo, (void))                                                                        \
    X(int32_t, BPDFIsRasterJob, (void))                                                                      \
    X(int32_t, postscript_file_input, (void* context, const char* path))                                     \
    X(void, BSetLogger, (void* context, JawsLogCallback logger))                                             \
    X(void, GetJawsLibraryMutex, (JawsLibraryMutex * *mutex))                                                \
    X(int32_t, BPDFJawsIntialised, (void))

#define JAWS_DECLARE_PFN(ret, name, args) typedef ret(*PFN_##name) args;
JAWS_ENTRY_POINTS(JAWS_DECLARE_PFN)
#undef JAWS_DECLARE_PFN

#ifdef __cplusplus
} // extern "C"

// The 51 names in binding order.
inline constexpr const char* kJawsEntryPointNames[] = {
#define JAWS_NAME_STRING(ret, name, args) #name,
    JAWS_ENTRY_POINTS(JAWS_NAME_STRING)
#undef JAWS_NAME_STRING
};
inline constexpr size_t kJawsEntryPointCount = sizeof(kJawsEntryPointNames) / sizeof(kJawsEntryPointNames[0]);
static_assert(kJawsEntryPointCount == 51, "the wrapper exports 51 entry points");

static_assert(sizeof(RipDistillParams) == 88);
static_assert(offsetof(RipDistillParams, left) == 4);
static_assert(offsetof(RipDistillParams, bottom) == 8);
static_assert(offsetof(RipDistillParams, width) == 12);
static_assert(offsetof(RipDistillParams, height) == 16);
static_assert(offsetof(RipDistillParams, xResolution) == 20);
static_assert(offsetof(RipDistillParams, yResolution) == 24);
static_assert(offsetof(RipDistillParams, reserved28) == 28);
static_assert(offsetof(RipDistillParams, reserved30) == 30);
static_assert(offsetof(RipDistillParams, reserved32) == 32);
static_assert(offsetof(RipDistillParams, embedAllFonts) == 34);
static_assert(offsetof(RipDistillParams, reserved35) == 35);
static_assert(offsetof(RipDistillParams, reserved64) == 64);
static_assert(offsetof(RipDistillParams, reserved72) == 72);
static_assert(offsetof(RipDistillParams, flags) == 80);
static_assert(offsetof(RipDistillParams, reserved84) == 84);

static_assert(sizeof(RipPixmap) == 24);
static_assert(offsetof(RipPixmap, byteSize) == 8);
static_assert(offsetof(RipPixmap, bitsPerPixel) == 12);
static_assert(offsetof(RipPixmap, rowBytes) == 16);

static_assert(sizeof(ColorTransCBRec) == 64);
static_assert(offsetof(ColorTransCBRec, source) == 8);
static_assert(offsetof(ColorTransCBRec, destination) == 16);
static_assert(offsetof(ColorTransCBRec, pixelCount) == 24);
static_assert(offsetof(ColorTransCBRec, bitsPerComponent) == 56);
static_assert(offsetof(ColorTransCBRec, done) == 59);

static_assert(sizeof(RipColorCallback) == 40);
static_assert(offsetof(RipColorCallback, rgb) == 8);
static_assert(offsetof(RipColorCallback, context) == 24);

static_assert(sizeof(JawsColorSpace) == 4);
#endif
