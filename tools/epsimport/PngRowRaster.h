// The preview's raster component: rather than holding the picture, it writes each row into the PNG as soon
// as every channel of that row has been written. The RIP writes the picture row by row, so one row is held at
// a time (a row completed before those above it waits for them). A CMYK picture is shown through the
// plug-in's CMYK -> RGB translation, in runs of rows. The PNG is written beside its path and takes that name
// only when every row has arrived.
#pragma once

#include "brask/Raster.h"
#include "brask/TObject.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace BRASK::EPSIMPORT {

class PngWriter;

class PngRowRaster : public TObject<GRAPHICS::IRasterComponent> {
public:
    explicit PngRowRaster(std::string path);
    ~PngRowRaster() override;

    // 3 colour channels (RGB) or 4 (CMYK, translated for the PNG), and an alpha channel.
    Status Init(std::int32_t width, std::int32_t height, std::int32_t colorChannels) override;
    Status AddExtraChannel(std::uint32_t type) override;
    std::int32_t GetWidth() const override { return mWidth; }
    std::int32_t GetHeight() const override { return mHeight; }
    std::int32_t GetColorChannelCount() const override { return mColours; }
    GRAPHICS::IRasterChannel* GetColorChannel(std::int32_t index) override;
    std::int32_t GetExtraChannelCount() const override { return mAlpha ? 1 : 0; }
    GRAPHICS::IRasterChannel* GetExtraChannel(std::int32_t index) override;
    std::uint32_t GetExtraChannelType(std::int32_t index) const override;

    // Gives the PNG its name once every row was written; false with `error` (and no file left) otherwise.
    bool Finish(std::string& error);
    // Whether the CMYK -> RGB translation failed.
    bool TranslationFailed() const { return mTranslationFailed; }

    // Called by the channels: values of row `y` of channel `channel` (the colours, then alpha).
    Status WriteRow(int channel, std::int32_t y, const std::uint8_t* values, std::int32_t count);

private:
    struct PendingRow {
        std::vector<std::uint8_t> planes; // one plane of the row per channel
        unsigned written = 0;             // a bit per channel written
    };
    // Writes the rows that are complete, in order.
    void Flush();
    // Interleaves a complete row into the batch of rows waiting for the PNG.
    void Queue(const PendingRow& row);
    // Translates (CMYK) and writes the batch.
    void WriteBatch();
    void Fail(const std::string& error);

    std::string mPath;
    std::string mScratchPath;
    std::int32_t mWidth = 0;
    std::int32_t mHeight = 0;
    int mColours = 0;
    bool mAlpha = false;
    std::vector<TInterfacePtr<GRAPHICS::IRasterChannel>> mChannels; // colours, then alpha
    std::map<std::int32_t, PendingRow> mPending;
    std::int32_t mNextRow = 0; // the next row the PNG takes
    std::size_t mBatchRows = 1;
    std::vector<std::uint8_t> mColourBatch; // interleaved colours of the rows waiting
    std::vector<std::uint8_t> mAlphaBatch;
    std::vector<std::uint8_t> mRgba;
    std::unique_ptr<PngWriter> mPng;
    std::string mError;
    bool mTranslationFailed = false;
};

} // namespace BRASK::EPSIMPORT
