#include "PngRowRaster.h"

#include "ColorTranslator.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace BRASK::EPSIMPORT {

namespace {

// Pixels of CMYK rows translated in one call (each call builds its colour transform).
constexpr std::size_t kBatchPixels = 4 * 1024 * 1024;

// One channel of the raster: its rows go to the component, which writes the PNG.
class RowChannel : public TObject<GRAPHICS::IRasterChannel> {
public:
    RowChannel(PngRowRaster& raster, int index) : mRaster(raster), mIndex(index) {}
    std::int32_t GetRowLength() const override { return mRaster.GetWidth(); }
    std::int32_t GetRowCount() const override { return mRaster.GetHeight(); }
    Status WriteRow(std::int32_t y, const std::uint8_t* values, std::int32_t count) override {
        return mRaster.WriteRow(mIndex, y, values, count);
    }
    // Rows have gone to the PNG: none can be read back.
    Status ReadRow(std::int32_t, std::uint8_t*, std::int32_t) const override { return kBadRow; }

private:
    PngRowRaster& mRaster;
    int mIndex;
};

} // namespace

// libpng's writer, row by row, for 8-bit RGBA; libpng reports errors by longjmp, caught at each call.
class PngWriter {
public:
    bool Open(const std::string& path, std::int32_t width, std::int32_t height) {
        mFile = std::fopen(path.c_str(), "wb");
        if (mFile == nullptr)
            return false;
        mPng = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        mInfo = mPng != nullptr ? png_create_info_struct(mPng) : nullptr;
        if (mInfo == nullptr || setjmp(png_jmpbuf(mPng)))
            return false;
        png_init_io(mPng, mFile);
        png_set_IHDR(mPng, mInfo, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                     PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_set_sRGB(mPng, mInfo, PNG_sRGB_INTENT_PERCEPTUAL);
        png_write_info(mPng, mInfo);
        return true;
    }
    bool Row(const std::uint8_t* rgba) {
        if (mPng == nullptr || setjmp(png_jmpbuf(mPng)))
            return false;
        png_write_row(mPng, rgba);
        return true;
    }
    bool End() {
        if (mPng == nullptr || setjmp(png_jmpbuf(mPng)))
            return false;
        png_write_end(mPng, mInfo);
        return Close();
    }
    bool Close() {
        if (mPng != nullptr)
            png_destroy_write_struct(&mPng, mInfo != nullptr ? &mInfo : nullptr);
        mPng = nullptr;
        mInfo = nullptr;
        const bool closed = mFile == nullptr || std::fclose(mFile) == 0;
        mFile = nullptr;
        return closed;
    }
    ~PngWriter() { Close(); }

private:
    std::FILE* mFile = nullptr;
    png_structp mPng = nullptr;
    png_infop mInfo = nullptr;
};

PngRowRaster::PngRowRaster(std::string path) : mPath(std::move(path)) {}

PngRowRaster::~PngRowRaster() {
    if (mPng) {
        mPng->Close();
        unlink(mScratchPath.c_str());
    }
}

Status PngRowRaster::Init(std::int32_t width, std::int32_t height, std::int32_t colorChannels) {
    if (width < 1 || width > 32767 || height < 1 || height > 32767 ||
        (colorChannels != 3 && colorChannels != 4) || mPng)
        return kBadSize;
    mWidth = width;
    mHeight = height;
    mColours = colorChannels;
    for (int c = 0; c < colorChannels; ++c)
        mChannels.push_back(TInterfacePtr<GRAPHICS::IRasterChannel>());
    for (int c = 0; c < colorChannels; ++c)
        mChannels[static_cast<std::size_t>(c)].Adopt(new RowChannel(*this, c));
    mBatchRows =
        colorChannels == 4 ? std::max<std::size_t>(1, kBatchPixels / static_cast<std::size_t>(width)) : 1;
    // Written beside the path, named at the end: a failed preview leaves nothing, not even half a file.
    mScratchPath = mPath + ".partial-" + std::to_string(getpid());
    mPng = std::make_unique<PngWriter>();
    if (!mPng->Open(mScratchPath, width, height)) {
        mPng->Close();
        unlink(mScratchPath.c_str());
        mPng.reset();
        return kBadSize;
    }
    return kOK;
}

Status PngRowRaster::AddExtraChannel(std::uint32_t type) {
    if (mWidth == 0 || mAlpha || type != GRAPHICS::kAlphaChannelType)
        return kBadSize;
    mChannels.push_back(TInterfacePtr<GRAPHICS::IRasterChannel>());
    mChannels.back().Adopt(new RowChannel(*this, mColours));
    mAlpha = true;
    return kOK;
}

GRAPHICS::IRasterChannel* PngRowRaster::GetColorChannel(std::int32_t index) {
    return index >= 0 && index < mColours ? mChannels[static_cast<std::size_t>(index)].Get() : nullptr;
}

GRAPHICS::IRasterChannel* PngRowRaster::GetExtraChannel(std::int32_t index) {
    return index == 0 && mAlpha ? mChannels.back().Get() : nullptr;
}

std::uint32_t PngRowRaster::GetExtraChannelType(std::int32_t index) const {
    return index == 0 && mAlpha ? GRAPHICS::kAlphaChannelType : 0;
}

void PngRowRaster::Fail(const std::string& error) {
    if (mError.empty())
        mError = error;
}

Status PngRowRaster::WriteRow(int channel, std::int32_t y, const std::uint8_t* values, std::int32_t count) {
    if (y < 0 || y >= mHeight || values == nullptr || count < 0)
        return GRAPHICS::IRasterChannel::kBadRow;
    if (y < mNextRow) {
        Fail("row " + std::to_string(y) + " was written again after it went to the PNG");
        return GRAPHICS::IRasterChannel::kBadRow;
    }
    const std::size_t width = static_cast<std::size_t>(mWidth);
    const std::size_t channels = mChannels.size();
    PendingRow& row = mPending[y];
    if (row.planes.empty())
        row.planes.assign(width * channels, 0);
    std::memcpy(row.planes.data() + static_cast<std::size_t>(channel) * width, values,
                std::min(width, static_cast<std::size_t>(count)));
    row.written |= 1u << channel;
    if (y == mNextRow)
        Flush();
    return kOK;
}

void PngRowRaster::Flush() {
    const unsigned all = (1u << mChannels.size()) - 1;
    for (auto next = mPending.find(mNextRow); next != mPending.end() && next->second.written == all;
         next = mPending.find(mNextRow)) {
        Queue(next->second);
        mPending.erase(next);
        ++mNextRow;
        if (mAlphaBatch.size() == mBatchRows * static_cast<std::size_t>(mWidth) || mNextRow == mHeight)
            WriteBatch();
    }
}

void PngRowRaster::Queue(const PendingRow& row) {
    const std::size_t width = static_cast<std::size_t>(mWidth);
    const std::size_t at = mColourBatch.size();
    mColourBatch.resize(at + width * static_cast<std::size_t>(mColours));
    for (std::size_t x = 0; x < width; ++x)
        for (int c = 0; c < mColours; ++c)
            mColourBatch[at + x * static_cast<std::size_t>(mColours) + static_cast<std::size_t>(c)] =
                row.planes[static_cast<std::size_t>(c) * width + x];
    if (mAlpha)
        mAlphaBatch.insert(mAlphaBatch.end(), row.planes.end() - static_cast<std::ptrdiff_t>(width),
                           row.planes.end());
    else
        mAlphaBatch.insert(mAlphaBatch.end(), width, 255);
}

void PngRowRaster::WriteBatch() {
    const std::size_t pixels = mAlphaBatch.size();
    std::vector<std::uint8_t> translated;
    const std::uint8_t* rgb = mColourBatch.data();
    if (mColours == 4 && mError.empty()) {
        translated.resize(pixels * 3);
        ColorTransCBRec record;
        std::memset(&record, 0, sizeof record);
        record.sourceSpace = kJawsColorSpaceCMYK;
        record.destinationSpace = kJawsColorSpaceRGB;
        record.source = mColourBatch.data();
        record.destination = translated.data();
        record.pixelCount = static_cast<std::uint32_t>(pixels);
        record.bitsPerComponent = 8;
        if (PLUGIN::TranslateColorsCallback(nullptr, &record) != 0) {
            mTranslationFailed = true;
            Fail("the CMYK render cannot be converted to RGB");
        }
        rgb = translated.data();
    }
    const std::size_t width = static_cast<std::size_t>(mWidth);
    mRgba.resize(width * 4);
    for (std::size_t row = 0; mError.empty() && row < pixels / width; ++row) {
        for (std::size_t x = 0; x < width; ++x) {
            const std::size_t pixel = row * width + x;
            std::memcpy(&mRgba[x * 4], rgb + pixel * 3, 3);
            mRgba[x * 4 + 3] = mAlphaBatch[pixel];
        }
        if (!mPng || !mPng->Row(mRgba.data()))
            Fail("cannot write " + mPath);
    }
    mColourBatch.clear();
    mAlphaBatch.clear();
}

bool PngRowRaster::Finish(std::string& error) {
    if (mError.empty() && mNextRow != mHeight)
        Fail("the render left rows unwritten");
    if (mError.empty() && (!mPng || !mPng->End() || std::rename(mScratchPath.c_str(), mPath.c_str()) != 0))
        Fail("cannot write " + mPath);
    if (mPng) {
        mPng->Close();
        mPng.reset();
    }
    if (!mError.empty()) {
        unlink(mScratchPath.c_str());
        error = mError;
        return false;
    }
    return true;
}

} // namespace BRASK::EPSIMPORT
