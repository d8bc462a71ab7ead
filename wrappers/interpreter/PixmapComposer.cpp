#include "PixmapComposer.h"

#include <algorithm>
#include <cstring>

namespace BRASK::WRAPPERS {

namespace {

// Pixels handed to one call of the colour callback (whole rows, at least one).
constexpr std::size_t kRunPixels = 256 * 1024;

std::uint8_t Nibble(std::uint8_t value) {
    return static_cast<std::uint8_t>((value * 15 + 127) / 255);
}

std::uint8_t* Row(const RipPixmap& pixmap, std::size_t y) {
    return static_cast<std::uint8_t*>(pixmap.data) + y * static_cast<std::size_t>(pixmap.rowBytes);
}

// Stores four 8-bit components as pixel (x, y) of the pixmap: bytes 0-3 at 32 bits per pixel; at 16 bits,
// components 0 and 1 in the high and low half of byte 0, 2 and 3 in those of byte 1.
void Store(const RipPixmap& pixmap, std::size_t x, std::size_t y, const std::uint8_t (&v)[4]) {
    if (pixmap.bitsPerPixel == 32) {
        std::memcpy(Row(pixmap, y) + x * 4, v, 4);
        return;
    }
    std::uint8_t* p = Row(pixmap, y) + x * 2;
    p[0] = static_cast<std::uint8_t>(Nibble(v[0]) << 4 | Nibble(v[1]));
    p[1] = static_cast<std::uint8_t>(Nibble(v[2]) << 4 | Nibble(v[3]));
}

// 255 - the largest rise of a component from the light background to the dark one (or the empty page to
// the fully inked one): 0 where nothing was painted, 255 where the picture covers both alike.
std::uint8_t Coverage(const std::uint8_t* light, const std::uint8_t* dark, int components, bool inkRises) {
    int rise = 0;
    for (int c = 0; c < components; ++c)
        rise = std::max(rise, inkRises ? dark[c] - light[c] : light[c] - dark[c]);
    return static_cast<std::uint8_t>(255 - std::clamp(rise, 0, 255));
}

} // namespace

PixmapComposer::PixmapComposer(const RasterSetup& setup) : mSetup(setup), mPasses(setup.Passes()) {
    const std::size_t width = static_cast<std::size_t>(std::max(setup.width, 1));
    mRunRows = std::max<std::size_t>(1, kRunPixels / width);
    // The first of two renders waits in the pixmap, unless its components do not fit there.
    mFirstBeside = mPasses.size() == 2 && setup.pixmap.bitsPerPixel != 32;
    if (mFirstBeside)
        mFirst.reserve(width * static_cast<std::size_t>(setup.height) *
                       static_cast<std::size_t>(RasterComponents(mPasses[0])));
}

bool PixmapComposer::Take(int pass, const char* data, std::size_t length) {
    if (!mError.empty())
        return false;
    const std::size_t width = static_cast<std::size_t>(mSetup.width);
    const std::size_t height = static_cast<std::size_t>(mSetup.height);
    // A render is complete before the next one starts.
    if (pass >= 0 && static_cast<std::size_t>(pass) == mPass + 1 && mRowsDone == height) {
        mPass = static_cast<std::size_t>(pass);
        mReceived = mRowsDone = 0;
    }
    if (pass < 0 || static_cast<std::size_t>(pass) != mPass || mPass >= mPasses.size()) {
        mError = "the interpreter process sent render " + std::to_string(pass) + " out of order";
        return false;
    }
    const std::size_t rowBytes = width * static_cast<std::size_t>(RasterComponents(mPasses[mPass]));
    if (length > rowBytes * height - mReceived) {
        mError = "the interpreter process sent more pixels than the raster holds";
        return false;
    }
    while (length > 0) {
        const std::size_t runBytes = std::min(mRunRows, height - mRowsDone) * rowBytes;
        const std::size_t count = std::min(length, runBytes - mRun.size());
        mRun.insert(mRun.end(), data, data + count);
        data += count;
        length -= count;
        mReceived += count;
        if (mRun.size() == runBytes) {
            const std::size_t rows = runBytes / rowBytes;
            if (!Compose(mRowsDone, rows))
                return false;
            mRowsDone += rows;
            mRun.clear();
        }
    }
    return true;
}

bool PixmapComposer::Finish(std::string& error) const {
    if (!mError.empty()) {
        error = mError;
        return false;
    }
    if (mPass + 1 != mPasses.size() || mRowsDone != static_cast<std::size_t>(mSetup.height)) {
        error = "the interpreter process sent an incomplete render";
        return false;
    }
    return true;
}

bool PixmapComposer::Translate(std::size_t row, std::size_t rows, std::uint32_t sourceSpace,
                               const char* source) {
    const std::size_t pixels = rows * static_cast<std::size_t>(mSetup.width);
    const std::uint32_t destinationSpace =
        sourceSpace == kJawsColorSpaceRGB ? kJawsColorSpaceCMYK : kJawsColorSpaceRGB;
    mTranslated.assign(pixels * (destinationSpace == kJawsColorSpaceCMYK ? 4 : 3), 0);
    ColorTransCBRec record;
    std::memset(&record, 0, sizeof record);
    record.destinationSpace = destinationSpace;
    record.sourceSpace = sourceSpace;
    record.source = const_cast<char*>(source);
    record.destination = mTranslated.data();
    record.pixelCount = static_cast<std::uint32_t>(pixels);
    record.bitsPerComponent = 8;
    const int32_t status = mSetup.callback.translate(mSetup.callback.context, &record);
    if (status != 0 || record.done == 0) {
        mError = "the colour translation callback failed with " + std::to_string(status) + " at row " +
                 std::to_string(row);
        return false;
    }
    return true;
}

void PixmapComposer::KeptFirst(std::size_t x, std::size_t y, int components, std::uint8_t* values) const {
    if (mFirstBeside) {
        const std::size_t at =
            (y * static_cast<std::size_t>(mSetup.width) + x) * static_cast<std::size_t>(components);
        std::memcpy(values, mFirst.data() + at, static_cast<std::size_t>(components));
    } else {
        std::memcpy(values, Row(mSetup.pixmap, y) + x * 4, static_cast<std::size_t>(components));
    }
}

bool PixmapComposer::Compose(std::size_t row, std::size_t rows) {
    const std::size_t width = static_cast<std::size_t>(mSetup.width);
    const auto* run = reinterpret_cast<const std::uint8_t*>(mRun.data());
    std::uint8_t v[4] = {};
    if (mPasses.size() == 1) {
        // 32 bits: CMYK as rendered, or the RGB render converted to CMYK by the callback.
        if (mSetup.translate && !Translate(row, rows, kJawsColorSpaceRGB, mRun.data()))
            return false;
        const auto* cmyk = mSetup.translate ? reinterpret_cast<const std::uint8_t*>(mTranslated.data()) : run;
        for (std::size_t y = 0; y < rows; ++y)
            for (std::size_t x = 0; x < width; ++x) {
                std::memcpy(v, cmyk + (y * width + x) * 4, 4);
                Store(mSetup.pixmap, x, row + y, v);
            }
        return true;
    }
    const int components = RasterComponents(mPasses[0]);
    if (mPass == 0) {
        // The first render waits for the second: in the pixmap, or beside a 16-bit one.
        if (mFirstBeside) {
            mFirst.insert(mFirst.end(), mRun.begin(), mRun.end());
            return true;
        }
        for (std::size_t y = 0; y < rows; ++y)
            std::memcpy(Row(mSetup.pixmap, row + y), run + y * width * static_cast<std::size_t>(components),
                        width * static_cast<std::size_t>(components));
        if (components == 3) {
            // Packed RGB rows spread to four bytes a pixel, from the right so that nothing is overwritten.
            for (std::size_t y = 0; y < rows; ++y) {
                std::uint8_t* line = Row(mSetup.pixmap, row + y);
                for (std::size_t x = width; x-- > 0;) {
                    std::memmove(line + x * 4, line + x * 3, 3);
                    line[x * 4 + 3] = 255;
                }
            }
        }
        return true;
    }
    // The second render: colour from the first (through the callback when translating CMYK to RGB), alpha
    // from both.
    std::vector<char> first(rows * width * static_cast<std::size_t>(components));
    for (std::size_t y = 0; y < rows; ++y)
        for (std::size_t x = 0; x < width; ++x)
            KeptFirst(x, row + y, components,
                      reinterpret_cast<std::uint8_t*>(first.data()) + (y * width + x) * components);
    if (mSetup.translate && !Translate(row, rows, kJawsColorSpaceCMYK, first.data()))
        return false;
    const auto* light = reinterpret_cast<const std::uint8_t*>(first.data());
    const auto* rgb = mSetup.translate ? reinterpret_cast<const std::uint8_t*>(mTranslated.data()) : light;
    const int rgbStride = mSetup.translate ? 3 : components;
    for (std::size_t y = 0; y < rows; ++y)
        for (std::size_t x = 0; x < width; ++x) {
            const std::size_t pixel = y * width + x;
            std::memcpy(v, rgb + pixel * rgbStride, 3);
            v[3] =
                Coverage(light + pixel * components, run + pixel * components, components, mSetup.translate);
            Store(mSetup.pixmap, x, row + y, v);
        }
    return true;
}

} // namespace BRASK::WRAPPERS
