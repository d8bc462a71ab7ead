#include "ColorTranslator.h"

#include "ClassFactorySlot.h"
#include "JawsFolders.h"
#include "LibUtils.h"

#include "brask/ClassIds.h"
#include "brask/Logger.h"
#include "brask/Raster.h"

#include <cstring>
#include <limits>

namespace BRASK::PLUGIN {

namespace {
constexpr char kColorTranslatorSource[] = "core/Common/Headers/Jaws/ColorTranslator";
constexpr char kTranslateFunction[] =
    "long __cdecl BRASK::PLUGIN::ColorTranslator::TranslatePixData(ColorTransCBRec *)";
constexpr char kFixedProfilesFolder[] = "/Work/Core/testData/testApp/Profiles/";
constexpr std::uint32_t kRelativeColorimetric = 1;

struct SpaceProfile {
    const char* fileName;
    std::uint32_t signature;
    std::uint32_t components;
};

SpaceProfile ProfileOf(std::uint32_t colorSpace) {
    switch (colorSpace) {
    case 0:
        return {"BraskGenericCMYK.icc", GRAPHICS::kCmmSignatureCMYK, 4};
    case 1:
        return {"BraskGenericRGB.icc", GRAPHICS::kCmmSignatureRGB, 3};
    case 3:
        return {"BraskGenericGray.icc", GRAPHICS::kCmmSignatureGray, 1};
    default:
        return {"BraskGenericRGB.icc", GRAPHICS::kCmmSignatureUnknown, 0};
    }
}

// Kind 1 and the NUL-terminated path; false when the path does not fit the descriptor.
bool FillDescriptor(GRAPHICS::CmmProfileDescriptor& descriptor, const CoreString& path) {
    std::memset(&descriptor, 0, sizeof descriptor);
    descriptor.kind = GRAPHICS::CmmProfileDescriptor::kKindPath;
    if (path.length() >= GRAPHICS::CmmProfileDescriptor::kPathUnits)
        return false;
    std::memcpy(descriptor.path, path.c_str(), path.length() * sizeof(char16_t));
    return true;
}

// One row of `pixels` pixels; false when the byte count does not fit 32 bits.
bool FillDescription(GRAPHICS::CmmPixelDescription& pixels, std::uint32_t count,
                     std::uint32_t bytesPerComponent, const SpaceProfile& profile, const void* data) {
    const std::uint32_t bytesPerPixel = bytesPerComponent * profile.components;
    const std::uint64_t bytesPerRow = static_cast<std::uint64_t>(count) * bytesPerPixel;
    if (bytesPerRow > std::numeric_limits<std::uint32_t>::max())
        return false;
    pixels = GRAPHICS::CmmPixelDescription{1,
                                           count,
                                           bytesPerPixel,
                                           static_cast<std::uint32_t>(bytesPerRow),
                                           0,
                                           profile.signature,
                                           const_cast<void*>(data)};
    return true;
}

Status Failed() {
    BRASK_LOG_ERROR(kColorTranslatorSource, kTranslateFunction,
                    "Unable to convert input profile to output profile for EPS/PDF image.");
    return -1;
}
} // namespace

CoreString ColorTranslator::ProfilePath(IClassFactory* factory, std::uint32_t colorSpace) {
    const BXString fileName(ProfileOf(colorSpace).fileName);
    CoreString application;
    GetApplicationFolder(factory, application, false);
    if (!application.empty()) {
        const CoreString installed = application + BXString("/Profiles/") + fileName;
        TInterfacePtr<FILE_SYS::IFile> file;
        if (FILE_SYS::CreateSystemFile(factory, file, installed) == kOK && file && file->Exists())
            return installed;
    }
    return BXString(kFixedProfilesFolder) + fileName;
}

CoreString ColorTranslator::ProfilePath(std::uint32_t colorSpace) {
    return ProfilePath(COREREGISTRY::ClassFactorySlot::Get(), colorSpace);
}

Status ColorTranslator::TranslatePixData(ColorTransCBRec* rec) {
    if (rec == nullptr)
        return Failed();
    const SpaceProfile source = ProfileOf(rec->sourceSpace);
    const SpaceProfile destination = ProfileOf(rec->destinationSpace);

    GRAPHICS::CmmProfileDescriptor profiles[2];
    const bool pathsFit = FillDescriptor(profiles[0], ProfilePath(mFactory, rec->sourceSpace)) &&
                          FillDescriptor(profiles[1], ProfilePath(mFactory, rec->destinationSpace));
    GRAPHICS::CmmProfileCount count{};
    count.count = 2;

    TInterfacePtr<GRAPHICS::ICmmTransform> transform;
    CreateInstance(mFactory, CLSID::CmmTransform, transform);
    if (!transform || !pathsFit)
        return Failed();
    transform->SetOption(kRelativeColorimetric);
    transform->SetProfiles(profiles, count, GRAPHICS::ICmmTransform::kBlackPointCompensation);

    const std::uint32_t bytesPerComponent = rec->bitsPerComponent == 16 ? 2 : 1;
    GRAPHICS::CmmPixelDescription from{};
    GRAPHICS::CmmPixelDescription to{};
    if (!FillDescription(from, rec->pixelCount, bytesPerComponent, source, rec->source) ||
        !FillDescription(to, rec->pixelCount, bytesPerComponent, destination, rec->destination))
        return Failed();
    if (transform->TransformPixels(from, to) != kOK)
        return Failed();
    return kOK;
}

std::int32_t TranslateColorsCallback(void* context, ColorTransCBRec* rec) {
    if (rec == nullptr)
        return kTranslationFailed;
    rec->done = 0;
    // The translator keeps no state: a missing context is served by a translator of its own.
    ColorTranslator local(COREREGISTRY::ClassFactorySlot::Get());
    ColorTranslator* translator = context != nullptr ? static_cast<ColorTranslator*>(context) : &local;
    try {
        if (translator->TranslatePixData(rec) != kOK)
            return kTranslationFailed;
    } catch (...) {
        return kTranslationFailed;
    }
    rec->done = 1;
    return 0;
}

} // namespace BRASK::PLUGIN
