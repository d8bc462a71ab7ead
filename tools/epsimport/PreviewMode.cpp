#include "PreviewMode.h"

#include "LogCollector.h"

#include "HostFiles.h"
#include "PngRowRaster.h"

#include "ColorTranslator.h"
#include "EPSVectorFileReader.h"
#include "Rip.h"

#include "ClassFactorySlot.h"
#include "brask/ClassIds.h"
#include "brask/FilterKeys.h"
#include "brask/Logger.h"
#include "brask/Raster.h"

#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

namespace BRASK::EPSIMPORT {

namespace {

// The raster of the picture's size at `dpi`, truncated as the RIP truncates it.
std::int32_t Pixels(PLUGIN::Fixed size, float dpi) {
    return PixelsFor(static_cast<float>(std::fabs(FixedToPoints(size))), dpi);
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
    // The picture goes straight into the PNG, row by row, as the RIP writes it.
    const int colours = line.cmyk ? 4 : 3;
    TInterfacePtr<PngRowRaster> png;
    png.Adopt(new PngRowRaster(line.preview));
    if (png->Init(width, height, colours) != kOK ||
        png->AddExtraChannel(GRAPHICS::kAlphaChannelType) != kOK) {
        err << "epsimport: cannot write " << line.preview << '\n';
        return 1;
    }
    TInterfacePtr<GRAPHICS::IRasterComponent> raster(png.Get());
    const Status rendered =
        rip.Rasterize(raster, dpi, line.cmyk ? PLUGIN::JawsRip::kColourModelCMYK : 0, line.translate ? 1 : 0);
    std::string error;
    if (rendered != kOK) {
        png->Finish(error); // no PNG is left
        err << "epsimport: " << file << ": the render failed with status " << rendered;
        if (const std::string reason = FailureCause(log.Errors(), {}, std::string()); !reason.empty())
            err << " (" << reason << ")";
        err << '\n';
        return 1;
    }
    if (!png->Finish(error)) {
        if (png->TranslationFailed())
            err << "epsimport: the CMYK render cannot be converted to RGB through the profiles in "
                << PLUGIN::ColorTranslator::ProfilePath(kJawsColorSpaceCMYK).GetUTF8String() << '\n';
        else
            err << "epsimport: " << error << '\n';
        return 1;
    }
    out << width << " x " << height << " pixels at " << line.dpi << " dpi" << (line.cmyk ? " (CMYK)" : "")
        << (line.translate ? " translated" : "") << ": " << line.preview << '\n';
    return 0;
}

} // namespace BRASK::EPSIMPORT
