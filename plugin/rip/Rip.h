// RIP objects: Rip (abstract) <- JawsRip (the interpreter's colour-space list) <- EPSJawsRip (one EPS).
#pragma once

#include "EPSInfo.h"
#include "jaws/JawsApi.h"

#include "brask/IO.h"
#include "brask/Status.h"

#include <cstdint>
#include <memory>

namespace BRASK::PLUGIN {

class EPSVectorFileReader;

class Rip {
public:
    Rip(IO::IURI* uri, IO::IDataProvider* provider) : mURI(uri), mDataProvider(provider) {}
    Rip(const Rip&) = delete;
    Rip& operator=(const Rip&) = delete;
    virtual ~Rip() = default;

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
    IO::IURI* mURI;
    IO::IDataProvider* mDataProvider;
};

class JawsRip : public Rip {
public:
    using Rip::Rip;

    std::int32_t GetColorSpaceCount() override;
    // Made on first request and kept; null when the job met no colour space.
    const std::uint8_t* GetColorSpaceList() override;
    bool IsRasterJob() override;

    // The host graphics colour-space code of an interpreter colour space (0 for one it does not know).
    Status GetGraphicsColorSpace(JawsColorSpace space) const;

protected:
    std::unique_ptr<std::uint8_t[]> mColorSpaces;
    std::uint8_t mTranslateColors = 0;
    std::int32_t mPixelWidth = 0;
    std::int32_t mPixelHeight = 0;
    std::int32_t mPixmapDepth = 0;
    std::int32_t mRowBytes = 0;
};

class EPSJawsRip : public JawsRip {
public:
    // `reader` describes the EPS behind `provider`; both are borrowed from the processor that makes the RIP.
    EPSJawsRip(IO::IURI* uri, IO::IDataProvider* provider, const EPSVectorFileReader* reader);

    // Hands the PostScript section to the interpreter's distiller. 0, or 7 when the call raised an exception.
    Status CreatePDFGraphics(const char* outputPath) override;
    Fixed GetFixedWidth() override;
    Fixed GetFixedHeight() override;
    Fixed GetLeft() override;
    Fixed GetRight() override;
    Fixed GetBottom() override;
    Fixed GetTop() override;

    // The record handed to the distiller for this EPS.
    RipDistillParams MakeDistillParams();

private:
    std::uint32_t mCachedWidth = 0;
    std::uint32_t mCachedHeight = 0;
    const EPSVectorFileReader* mReader;
};

} // namespace BRASK::PLUGIN
