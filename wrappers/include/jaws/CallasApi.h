// The converter wrapper's interface (PDFToolBox/libCallasWrapper.so): six extern "C" entry points bound by
// name at run time (dlsym); the typedef of each is PFN_<name>.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    kCallasOK = 0,
    kCallasFailed = -1,         // the conversion failed; the reason went to standard error
    kCallasNotInitialised = -3, // SaveAsPDF before a successful InitCallas
    kCallasNotSupported = -4,   // the entry point exists but this build does not offer it
    kCallasBadParameter = -5    // a null or empty path
};

// SaveAsPDF(source, jobOptions, r1..r4, reserved, isEPS, output):
//   isEPS 1: runs the job-options file (PostScript, may be null), then the EPS cropped to its bounding box;
//   isEPS 0: renders the SVG (or .svgz) at its intrinsic size (96 px = 72 pt).
#define CALLAS_ENTRY_POINTS(X)                                                                               \
    X(int32_t, InitCallas, (void* reserved1, void* reserved2))                                               \
    X(int32_t, SaveAsPDF,                                                                                    \
      (const char* sourcePath, const char* jobOptionsPath, void* reserved1, void* reserved2,                 \
       void* reserved3, void* reserved4, uint8_t reserved5, uint8_t isEPS, const char* outputPath))          \
    X(int32_t, AddColorBar, (const char* pdfPath, const char* outputPath))                                   \
    X(int32_t, CertifyPDF, (const char* pdfPath, const char* profilePath, const char* reportPath))           \
    X(int32_t, CropPDFToBBox, (const char* pdfPath, const char* outputPath))                                 \
    X(int32_t, ExecuteProfile, (const char* pdfPath, const char* profilePath, const char* outputPath))

// Receives the converter's warnings (kind 3, kJawsLogWarning: a font substitution, text as in
// jaws/FontSubstitutionText.h): context as given to CallasSetLogger, the kind, the NUL-terminated text and
// its length in bytes.
typedef void (*CallasLogCallback)(void* context, int kind, char* message, int length);

// Optional entry points, bound when present and not among the six:
//   CallasSetFontPaths: the font entries of a device path ("%xfont%+<stub root>;%psfont%=<folders>;"); the
//     EPS conversions then use the font map of that stub tree, as the interpreter wrapper does. Takes effect
//     when called before the first InitCallas (kCallasFailed afterwards); without it the installed fonts are
//     mapped from fontconfig.
//   CallasSetLogger: where warnings go (standard error while none is set).
#define CALLAS_OPTIONAL_ENTRY_POINTS(X)                                                                      \
    X(int32_t, CallasSetFontPaths, (const char* devicePath))                                                 \
    X(void, CallasSetLogger, (void* context, CallasLogCallback logger))

#define CALLAS_DECLARE_PFN(ret, name, args) typedef ret(*PFN_##name) args;
CALLAS_ENTRY_POINTS(CALLAS_DECLARE_PFN)
CALLAS_OPTIONAL_ENTRY_POINTS(CALLAS_DECLARE_PFN)
#undef CALLAS_DECLARE_PFN

#ifdef __cplusplus
} // extern "C"

inline constexpr const char* kCallasEntryPointNames[] = {
#define CALLAS_NAME_STRING(ret, name, args) #name,
    CALLAS_ENTRY_POINTS(CALLAS_NAME_STRING)
#undef CALLAS_NAME_STRING
};
inline constexpr size_t kCallasEntryPointCount =
    sizeof(kCallasEntryPointNames) / sizeof(kCallasEntryPointNames[0]);
static_assert(kCallasEntryPointCount == 6, "the converter exports 6 entry points");
inline constexpr const char* kCallasOptionalEntryPointNames[] = {
#define CALLAS_NAME_STRING(ret, name, args) #name,
    CALLAS_OPTIONAL_ENTRY_POINTS(CALLAS_NAME_STRING)
#undef CALLAS_NAME_STRING
};
#endif
