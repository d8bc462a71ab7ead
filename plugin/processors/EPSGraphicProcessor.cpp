#include "GraphicProcessor.h"

#include "LibUtils.h"

#include "brask/ClassIds.h"
#include "brask/FilterKeys.h"
#include "brask/Logger.h"

namespace BRASK::PLUGIN {

namespace {
constexpr char kProcessorSource[] = "core/Plugins/EPSLoader/Source/src/Common/GraphicProcessor";
constexpr char kInitFunction[] = "long __cdecl BRASK::PLUGIN::EPSGraphicProcessor::Init(void)";
constexpr char kWidthFunction[] = "float __cdecl BRASK::PLUGIN::EPSGraphicProcessor::Width(void) const";
constexpr char kHeightFunction[] = "float __cdecl BRASK::PLUGIN::EPSGraphicProcessor::Height(void) const";
} // namespace

EPSGraphicProcessor::EPSGraphicProcessor(IClassFactory* factory, IO::IDataProvider* dataProvider,
                                         IO::IURI* uri)
    : GraphicProcessor(factory, uri), mDataProvider(dataProvider) {}

EPSGraphicProcessor::~EPSGraphicProcessor() {
    // The RIP and the reader borrow the provider: they go first.
    mRip.reset();
    mFileReader.reset();
    mClippingPath.Reset();
    mRasterComponent.Reset();
}

Status EPSGraphicProcessor::Init() {
    if (mFileReader) {
        BRASK_LOG_ERROR(kProcessorSource, kInitFunction, "Already initialized.");
        return kInitFailed;
    }
    mFileReader = std::make_unique<EPSVectorFileReader>();
    const DSCError scan = mFileReader->Init(mDataProvider.Get());
    if (scan != DSCNoError) {
        BRASK_LOG_ERROR(kProcessorSource, kInitFunction,
                        "mFileReader->Init failed with dscerr = " << static_cast<int>(scan));
        return kInitFailed;
    }
    mColorSpace = mFileReader->GetColorSpace();
    mColorSpaceByte = static_cast<std::uint8_t>(mColorSpace & 0xFF);

    MEMFIX::Handle resources = mFileReader->GetPhotoshopResources();
    if (resources == nullptr || *resources == nullptr)
        return kOK;
    const std::uint32_t size = MEMFIX::GetHandleSize(resources);
    TInterfacePtr<IO::IDataProvider> provider;
    const Status status =
        IO::CreateReadOnlyDataProvider(mFactory, provider, *resources, static_cast<std::int32_t>(size));
    if (status != kOK || !provider) {
        BRASK_LOG_ERROR(kProcessorSource, kInitFunction,
                        "Failed to create DataProvider for photoshop reource of EPS file");
        return status != kOK ? status : kLibUtilFailed;
    }
    if (auto* memory = dynamic_cast<IO::IMemoryDataProvider*>(provider.Get()))
        memory->Open(0);

    TInterfacePtr<GRAPHICS::IPhotoShopResourceParser> parser;
    CreateInstance(mFactory, CLSID::PhotoShopResourceParser, parser);
    if (!parser) {
        BRASK_LOG_ERROR(kProcessorSource, kInitFunction, "Could not create IPhotoShopResourceParser");
        return kOK;
    }
    const float height = Height();
    const float width = Width();
    parser->Parse(provider.Get(), size, width, height);
    if (GRAPHICS::IPathCollection* path = parser->GetClippingPath())
        mClippingPath.Reset(path);
    return kOK;
}

std::uint16_t EPSGraphicProcessor::GetCustomColorListSize() const {
    return mFileReader ? mFileReader->GetCustomColorListSize() : 0;
}

const std::uint16_t* EPSGraphicProcessor::GetCustomColorList() const {
    return mFileReader ? mFileReader->GetCustomColorList() : nullptr;
}

std::uint32_t EPSGraphicProcessor::GetTIFFOffset() const {
    return mFileReader ? mFileReader->GetTIFFOffset() : 0;
}

float EPSGraphicProcessor::DeviceSize(float points, const char* message, const char* function) const {
    if (points <= 0) {
        BRASK_LOG_ERROR(kProcessorSource, function, message << points);
        return 0.0f;
    }
    auto resolution = static_cast<float>(FixedToPoints(mFileReader->GetImageResolution()));
    if (resolution <= 0)
        resolution = mResolution;
    return points * (resolution / static_cast<float>(kPointsPerInch));
}

float EPSGraphicProcessor::Width() const {
    return mFileReader ? DeviceSize(mFileReader->GetWidth(), "Illegal Width of ", kWidthFunction) : 0.0f;
}

float EPSGraphicProcessor::Height() const {
    return mFileReader ? DeviceSize(mFileReader->GetHeight(), "Illegal height of ", kHeightFunction) : 0.0f;
}

} // namespace BRASK::PLUGIN
