// Reads the raster files the interpreter's file devices write: binary PPM (P6, ppmraw) and PAM (P7,
// pamcmyk32), 8 bits per component. The header is read at Open, the pixels piece by piece after it, so that
// a raster never has to be held whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

namespace BRASK::WRAPPERS {

class PnmReader {
public:
    // False (with `error` saying why) when the file is missing, of another kind, or its header is unreadable
    // or gives a size or depth no raster may have.
    bool Open(const std::string& path, std::string& error);
    std::int32_t Width() const { return mWidth; }
    std::int32_t Height() const { return mHeight; }
    int Components() const { return mComponents; } // 3 (RGB) or 4 (CMYK)
    // Bytes of pixels not read yet (packed rows, top row first).
    std::uint64_t Remaining() const { return mRemaining; }
    // The next `length` bytes of pixels (no more than Remaining()); false with `error` when the file is
    // shorter than its header says.
    bool Read(char* buffer, std::size_t length, std::string& error);

private:
    std::ifstream mIn;
    std::int32_t mWidth = 0;
    std::int32_t mHeight = 0;
    int mComponents = 0;
    std::uint64_t mRemaining = 0;
};

} // namespace BRASK::WRAPPERS
