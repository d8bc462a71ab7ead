#include "PreviewMode.h"

#include "LogCollector.h"

#include "HostFiles.h"

#include "ColorTranslator.h"
#include "EPSVectorFileReader.h"
#include "Rip.h"

#include "ClassFactorySlot.h"
#include "brask/ClassIds.h"
#include "brask/Logger.h"
#include "brask/Raster.h"

#include <png.h>

#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

namespace BRASK::EPSIMPORT {

namespace {

// The raster of the picture's size at `dpi`, truncated as the RIP truncates it.
std::int32_t Pixels(PLUGIN::Fixed size, float dpi) {
    return static_cast<std::int32_t>(std::abs(static_cast<float>(size)) * dpi / 4718592.0f);
}

GRAPHICS::IRasterChannel* AlphaChannel(GRAPHICS::IRasterComponent& raster) {
    GRAPHICS::IRasterChannel* alpha = nullptr;
    for (std::int32_t i = 0; i < raster.GetExtraChannelCount(); ++i)
        if (raster.GetExtraChannelType(i) == GRAPHICS::kAlphaChannelType)
            alpha = raster.GetExtraChannel(i);
    return alpha;
}

bool WriteRgbaPng(const std::string& path, std::int32_t width, std::int32_t height,
                  const std::vector<std::uint8_t>& rgba) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(width);
    png.height = static_cast<png_uint_32>(height);
    png.format = PNG_FORMAT_RGBA;
    const bool ok = png_image_write_to_file(&png, path.c_str(), 0, rgba.data(), 0, nullptr) != 0;
    png_image_free(&png);
    return ok;
}

// The plug-in's code reaches the host through the class factory slot while the preview runs.
class FactorySlotScope {
public:
    explicit FactorySlotScope(IClassFactory* factory) { COREREGISTRY::ClassFactorySlot::Set(factory); }
    ~FactorySlotScope() { COREREGISTRY::ClassFactorySlot::Set(nullptr); }
    FactorySlotScope(const FactorySlotScope&) = delete;
    FactorySlotScope& operator=(const FactorySlotScope&) = delete;
};

} // namespace

int RunPreview(HOST::Host& host, const CommandLine& line, std::ostream& out, std::ostream& err) {
    const FactorySlotScope slot(&host);
    LogCollector log(line.verbose, err);
    const std::string& file = line.files.front();
    TInterfacePtr<IO::IDataProvider> provider;
    const Status opened = OpenReadOnly(host, file, provider);
    if (opened != kOK) {
        err << "epsimport: " << file << ": " << OpenErrorText(opened) << '\n';
        return 1;
    }
    PLUGIN::EPSVectorFileReader reader;
    const Status scanned = reader.Init(provider.Get());
    if (scanned != kOK) {
        err << "epsimport: " << file << ": not a readable EPS file (status " << scanned << ")\n";
        return 1;
    }
    PLUGIN::EPSJawsRip rip(nullptr, provider.Get(), &reader);
    const float dpi = static_cast<float>(line.dpi);
    const std::int32_t width = Pixels(rip.GetFixedWidth(), dpi);
    const std::int32_t height = Pixels(rip.GetFixedHeight(), dpi);
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767) {
        err << "epsimport: " << file << ": the preview would be " << width << " x " << height << " pixels\n";
        return 1;
    }
    const int colours = line.cmyk ? 4 : 3;
    TInterfacePtr<GRAPHICS::IRasterComponent> raster;
    if (GRAPHICS::CreateRasterComponent(&host, CLSID::RasterComponent, width, height, colours, true,
                                        raster) != kOK) {
        err << "epsimport: no raster of " << width << " x " << height << " pixels\n";
        return 1;
    }
    const Status rendered =
        rip.Rasterize(raster, dpi, line.cmyk ? PLUGIN::JawsRip::kColourModelCMYK : 0, line.translate ? 1 : 0);
    if (rendered != kOK) {
        err << "epsimport: " << file << ": the render failed with status " << rendered;
        if (const std::string reason = FailureCause(log.Errors(), {}, std::string()); !reason.empty())
            err << " (" << reason << ")";
        err << '\n';
        return 1;
    }

    // Interleave the channels; CMYK goes through the host's CMYK -> RGB transform first.
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<std::uint8_t> colour(count * static_cast<std::size_t>(colours));
    std::vector<std::uint8_t> rgba(count * 4);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width));
    GRAPHICS::IRasterChannel* alpha = AlphaChannel(*raster);
    for (std::int32_t y = 0; y < height; ++y) {
        const std::size_t base = static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int c = 0; c < colours; ++c) {
            raster->GetColorChannel(c)->ReadRow(y, row.data(), width);
            for (std::int32_t x = 0; x < width; ++x)
                colour[(base + x) * colours + c] = row[x];
        }
        if (alpha != nullptr)
            alpha->ReadRow(y, row.data(), width);
        for (std::int32_t x = 0; x < width; ++x)
            rgba[(base + x) * 4 + 3] = alpha != nullptr ? row[x] : 255;
    }
    std::vector<std::uint8_t> rgb;
    if (line.cmyk) {
        rgb.resize(count * 3);
        ColorTransCBRec record;
        std::memset(&record, 0, sizeof record);
        record.sourceSpace = kJawsColorSpaceCMYK;
        record.destinationSpace = kJawsColorSpaceRGB;
        record.source = colour.data();
        record.destination = rgb.data();
        record.pixelCount = static_cast<std::uint32_t>(count);
        record.bitsPerComponent = 8;
        if (PLUGIN::TranslateColorsCallback(nullptr, &record) != 0) {
            err << "epsimport: the CMYK render cannot be converted to RGB through the profiles in "
                << PLUGIN::ColorTranslator::ProfilePath(kJawsColorSpaceCMYK).GetUTF8String() << '\n';
            return 1;
        }
    }
    const std::vector<std::uint8_t>& shown = line.cmyk ? rgb : colour;
    for (std::size_t i = 0; i < count; ++i)
        std::memcpy(&rgba[i * 4], &shown[i * 3], 3);
    if (!WriteRgbaPng(line.preview, width, height, rgba)) {
        err << "epsimport: cannot write " << line.preview << '\n';
        return 1;
    }
    out << width << " x " << height << " pixels at " << line.dpi << " dpi" << (line.cmyk ? " (CMYK)" : "")
        << (line.translate ? " translated" : "") << ": " << line.preview << '\n';
    return 0;
}

} // namespace BRASK::EPSIMPORT
