// What a stand-in wrapper does with the output path it is given, steered by the test: write a small PDF
// into the file there (truncating it, as the real wrappers do), write nothing, replace the file with a new
// one, or fail without writing.
#pragma once

#include <cstdint>
#include <cstdio>
#include <unistd.h>

namespace FAKE {

enum OutputMode : int { kWritePDF = 0, kWriteNothing = 1, kReplaceFile = 2, kFail = 3 };

// The bytes a stand-in writes.
inline constexpr char kPDFText[] = "%PDF-1.4\n% written by the stand-in wrapper\n%%EOF\n";

// Acts on `path` as `mode` says; the wrapper's status (0, or -1 for kFail).
inline int32_t Produce(int mode, const char* path) {
    if (mode == kFail)
        return -1;
    if (mode == kWriteNothing || path == nullptr)
        return 0;
    if (mode == kReplaceFile)
        unlink(path);
    if (std::FILE* file = std::fopen(path, "wb")) {
        std::fputs(kPDFText, file);
        std::fclose(file);
    }
    return 0;
}

} // namespace FAKE
