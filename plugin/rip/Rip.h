// RIP objects: Rip (abstract) <- JawsRip (the interpreter's colour-space list and rasterisation) <-
// EPSJawsRip (one EPS).
#pragma once

#include "EPSInfo.h"
#include "jaws/JawsApi.h"

#include "brask/IClassFactory.h"
#include "brask/IO.h"
#include "brask/Raster.h"
#include "brask/Status.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace BRASK::PLUGIN {

class EPSVectorFileReader;
struct Pixmap;

class Rip {
public:
    // `factory` makes every host object the RIP needs; all three are borrowed.
    Rip(IClassFactory* factory, IO::IURI* uri, IO::IDataProvider* provider)
        : mFactory(factory), mURI(uri), mDataProvider(provider) {}
    Rip(const Rip&) = delete;
    Rip& operator=(const Rip&) = delete;
    virtual ~Rip() = default;

    // The analysis render: runs the picture through the interpreter without pixels.
    virtual Status Init() = 0;
    // Renders the picture into `raster` at `resolution` dots per inch; `colourModel` 5 is CMYK, any other
    // value RGB; alpha goes to the raster's alpha channel.
    virtual Status Rasterize(TInterfacePtr<GRAPHICS::IRasterComponent>& raster, float resolution,
                             std::int32_t colourModel, std::uint8_t translateColours) = 0;
    // Writes the picture as PDF to `outputPath` (UTF-8).
    virtual Status CreatePDFGraphics(const char* outputPath) = 0;
    // Size and box in 16.16 points.
    virtual Fixed GetFixedWidth() = 0;
    virtual Fixed GetFixedHeight() = 0;
    virtual Fixed GetLeft() = 0;
    virtual Fixed GetRight() = 0;
    virtual Fixed GetBottom() = 0;
    virtual Fixed GetTop() = 0;
    // The colour spaces the last distillation met.
    virtual std::int32_t GetColorSpaceCount() = 0;
    virtual const std::uint8_t* GetColorSpaceList() = 0;
    virtual bool IsRasterJob() = 0;

protected:
    // Whether the interpreter wrapper is loaded, bound and started (loading it through the factory).
    bool LibraryAvailable() const;

    IClassFactory* mFactory;
    IO::IURI* mURI;
    IO::IDataProvider* mDataProvider;
};

class JawsRip : public Rip {
public:
    using Rip::Rip;

    // Statuses of rasterisation.
    static constexpr Status kNoRasterMemory = 43; // no pixmap, or the raster device refused
    static constexpr Status kNoLineBuffer = 5;    // no line buffer, or a channel of the raster is missing
    static constexpr Status kRenderFailed = 7;    // the interpreter refused the PostScript or threw
    static constexpr std::int32_t kColourModelCMYK = 5;

    // Renders through the interpreter's raster device into a pixmap of 32 (else 16) bits per pixel and
    // copies it into the raster's channels. A CMYK render takes its alpha from a second, RGB render.
    // 16-bit pixmaps hold four 4-bit components per pixel, the first of each byte in its high half.
    Status Rasterize(TInterfacePtr<GRAPHICS::IRasterComponent>& raster, float resolution,
                     std::int32_t colourModel, std::uint8_t translateColours) override;
    std::int32_t GetColorSpaceCount() override;
    // Made on first request and kept; null when the job met no colour space.
    const std::uint8_t* GetColorSpaceList() override;
    bool IsRasterJob() override;

    // The host graphics colour-space code of an interpreter colour space (0 for one it does not know).
    Status GetGraphicsColorSpace(JawsColorSpace space) const;

    // Feeds the picture's PostScript to the open raster device: 0, or 7 when it could not be read or the
    // interpreter failed.
    virtual Status CreatePixelData() = 0;

    // What the last Rasterize kept: pixel size, pixmap depth (bits per pixel, 0 when none) and row length.
    std::int32_t GetPixelWidth() const { return mPixelWidth; }
    std::int32_t GetPixelHeight() const { return mPixelHeight; }
    std::int32_t GetPixmapDepth() const { return mPixmapDepth; }
    std::int32_t GetRowBytes() const { return mRowBytes; }

protected:
    // Every pixmap, line and block buffer comes from here; null when the memory cannot be had.
    virtual std::unique_ptr<std::uint8_t[]> NewBuffer(std::size_t bytes);

    std::unique_ptr<std::uint8_t[]> mColorSpaces;
    std::optional<std::int32_t> mColorSpaceCount; // set when the list is taken
    std::uint8_t mTranslateColors = 0;
    std::int32_t mPixelWidth = 0;
    std::int32_t mPixelHeight = 0;
    std::int32_t mPixmapDepth = 0;
    std::int32_t mRowBytes = 0;

private:
    // Splits the rendered rows into colour channels 0 .. colourChannels-1 (components of `colour`) and the
    // alpha channel (component 3 of `coverage`). 5 when the line buffer or a channel is missing.
    Status CopyToChannels(GRAPHICS::IRasterComponent* raster, const Pixmap& colour, const Pixmap& coverage,
                          int colourChannels);
};

class EPSJawsRip : public JawsRip {
public:
    // `reader` describes the EPS behind `provider`; both are borrowed from the processor that makes the RIP.
    EPSJawsRip(IClassFactory* factory, IO::IURI* uri, IO::IDataProvider* provider,
               const EPSVectorFileReader* reader);
    // The same through the process-wide class-factory slot, for callers outside a placement that have set it
    // (epsimport's preview, the benchmarks).
    EPSJawsRip(IO::IURI* uri, IO::IDataProvider* provider, const EPSVectorFileReader* reader);

    // Opens a raster device of the picture's size at 36 dpi without pixmap and runs the PostScript through
    // it: CreatePixelData's result, or 43 when the device could not be opened.
    Status Init() override;
    // Hands the PostScript section to the interpreter's distiller. 0, or 7 when the library is missing, the
    // distiller refused or it raised an exception.
    Status CreatePDFGraphics(const char* outputPath) override;
    Fixed GetFixedWidth() override;
    Fixed GetFixedHeight() override;
    Fixed GetLeft() override;
    Fixed GetRight() override;
    Fixed GetBottom() override;
    Fixed GetTop() override;

    // The record handed to the distiller for this EPS.
    RipDistillParams MakeDistillParams();

    // Feeds the PostScript section in blocks of at most 32 MiB, each with the prologue that moves the
    // box's origin to 0 0; data that ends early ends the picture. 0 when fed; 7 when a read failed or the
    // interpreter refused or threw.
    Status CreatePixelData() override;
    // The prologue text: "-left -bottom translate\n" in points, empty for a box at the origin.
    std::string MakePrologue();

private:
    std::uint32_t mCachedWidth = 0;
    std::uint32_t mCachedHeight = 0;
    const EPSVectorFileReader* mReader;
};

} // namespace BRASK::PLUGIN
