// The colour translator through the host's LittleCMS transform, against LittleCMS called directly with the
// generic profiles of the application folder.
#include "../support/LogCapture.h"
#include "../support/TempDir.h"

#include "ColorTranslator.h"

#include "brask/ClassIds.h"
#include "brask/ObjectCounter.h"
#include "brask/Raster.h"
#include "brask/TObject.h"
#include "brask_host/Host.h"
#include "shell/ClassFactorySlot.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstring>
#include <string>
#include <vector>

using namespace BRASK;
using namespace BRASK::PLUGIN;
using BRASK::TEST::LogCapture;

namespace {

constexpr char kSource[] = "core/Common/Headers/Jaws/ColorTranslator";
constexpr char kFunction[] =
    "long __cdecl BRASK::PLUGIN::ColorTranslator::TranslatePixData(ColorTransCBRec *)";
constexpr char kMessage[] = "Unable to convert input profile to output profile for EPS/PDF image.";
const std::string kProfiles = std::string(RASTER_APP_DIR) + "/Profiles/";

// LittleCMS straight, with what the translator asks of the transform: relative colorimetric intent and
// black-point compensation.
std::vector<std::uint8_t> Direct(const std::string& from, cmsUInt32Number inFormat, const std::string& to,
                                 cmsUInt32Number outFormat, const void* in, std::size_t outBytes,
                                 std::uint32_t pixels) {
    cmsHPROFILE source = cmsOpenProfileFromFile((kProfiles + from).c_str(), "r");
    cmsHPROFILE destination = cmsOpenProfileFromFile((kProfiles + to).c_str(), "r");
    cmsHTRANSFORM transform =
        cmsCreateTransform(source, inFormat, destination, outFormat, INTENT_RELATIVE_COLORIMETRIC,
                           cmsFLAGS_BLACKPOINTCOMPENSATION);
    EXPECT_NE(transform, nullptr);
    std::vector<std::uint8_t> out(outBytes);
    cmsDoTransform(transform, in, out.data(), pixels);
    cmsDeleteTransform(transform);
    cmsCloseProfile(source);
    cmsCloseProfile(destination);
    return out;
}

ColorTransCBRec PixelRun(std::uint32_t from, std::uint32_t to, const void* in, void* out,
                         std::uint32_t pixels, std::uint8_t bits = 8) {
    ColorTransCBRec rec;
    std::memset(&rec, 0, sizeof rec);
    rec.sourceSpace = from;
    rec.destinationSpace = to;
    rec.source = in;
    rec.destination = out;
    rec.pixelCount = pixels;
    rec.bitsPerComponent = bits;
    return rec;
}

// A transform that records what the translator hands it.
struct TransformLog {
    std::vector<std::string> calls;
    std::uint32_t option = 0;
    GRAPHICS::CmmProfileDescriptor profiles[2];
    std::uint32_t count = 0;
    std::uint32_t flags = 0;
    GRAPHICS::CmmPixelDescription source{};
    GRAPHICS::CmmPixelDescription destination{};
    Status result = kOK;
    int released = 0;
};

class RecordingTransform : public TObject<GRAPHICS::ICmmTransform> {
public:
    explicit RecordingTransform(TransformLog& log) : mLog(log) {}
    ~RecordingTransform() override { ++mLog.released; }
    Status SetOption(std::uint32_t value) override {
        mLog.calls.push_back("SetOption");
        mLog.option = value;
        return kOK;
    }
    Status SetProfiles(const GRAPHICS::CmmProfileDescriptor* profiles, const GRAPHICS::CmmProfileCount& count,
                       std::uint32_t flags) override {
        mLog.calls.push_back("SetProfiles");
        std::memcpy(mLog.profiles, profiles, sizeof mLog.profiles);
        mLog.count = count.count;
        mLog.flags = flags;
        return kOK;
    }
    Status TransformPixels(const GRAPHICS::CmmPixelDescription& source,
                           const GRAPHICS::CmmPixelDescription& destination) override {
        mLog.calls.push_back("TransformPixels");
        mLog.source = source;
        mLog.destination = destination;
        return mLog.result;
    }

private:
    TransformLog& mLog;
};

std::string Path(const GRAPHICS::CmmProfileDescriptor& descriptor) {
    return STRING::UTF16ToUTF8(std::u16string(descriptor.path));
}

class ColorTranslatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        mLive = ObjectCounter::Live();
        UseApplicationFolder(RASTER_APP_DIR);
    }
    void TearDown() override {
        COREREGISTRY::ClassFactorySlot::Set(nullptr);
        mHost.Reset();
        EXPECT_EQ(ObjectCounter::Live(), mLive) << "objects leaked";
    }
    void UseApplicationFolder(const std::string& folder) {
        HOST::HostOptions options;
        options.applicationDir = folder;
        options.temporaryDir = mTempDir.Path().string();
        mHost = HOST::Host::Create(options);
        COREREGISTRY::ClassFactorySlot::Set(mHost.Get());
    }
    BRASK::TEST::TempDir mTempDir;
    TInterfacePtr<HOST::Host> mHost;
    std::int64_t mLive = 0;
};

TEST_F(ColorTranslatorTest, ProfilesComeFromTheApplicationFolderElseTheFixedFolder) {
    EXPECT_EQ(ColorTranslator::ProfilePath(0).GetUTF8String(), kProfiles + "BraskGenericCMYK.icc");
    EXPECT_EQ(ColorTranslator::ProfilePath(1).GetUTF8String(), kProfiles + "BraskGenericRGB.icc");
    EXPECT_EQ(ColorTranslator::ProfilePath(3).GetUTF8String(), kProfiles + "BraskGenericGray.icc");
    EXPECT_EQ(ColorTranslator::ProfilePath(2).GetUTF8String(), kProfiles + "BraskGenericRGB.icc");
    EXPECT_EQ(ColorTranslator::ProfilePath(77).GetUTF8String(), kProfiles + "BraskGenericRGB.icc");

    UseApplicationFolder(mTempDir.Path().string()); // no Profiles folder there
    EXPECT_EQ(ColorTranslator::ProfilePath(0).GetUTF8String(),
              "/Work/Core/testData/testApp/Profiles/BraskGenericCMYK.icc");
    EXPECT_EQ(ColorTranslator::ProfilePath(3).GetUTF8String(),
              "/Work/Core/testData/testApp/Profiles/BraskGenericGray.icc");
}

TEST_F(ColorTranslatorTest, HandsTheTransformDescriptorsAndDescriptions) {
    TransformLog log;
    mHost->RegisterClass(CLSID::CmmTransform, [&log]() -> IObject* { return new RecordingTransform(log); });
    const std::uint16_t gray[5] = {};
    std::uint16_t cmyk[20] = {};
    ColorTransCBRec rec = PixelRun(3, 0, gray, cmyk, 5, 16);
    ASSERT_EQ(ColorTranslator().TranslatePixData(&rec), kOK);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"SetOption", "SetProfiles", "TransformPixels"}));
    EXPECT_EQ(log.released, 1); // made and released for this run alone
    EXPECT_EQ(log.option, 1u);
    EXPECT_EQ(log.flags, 1u);
    EXPECT_EQ(log.count, 2u);
    EXPECT_EQ(log.profiles[0].kind, 1u);
    EXPECT_EQ(log.profiles[0].reserved, 0u);
    EXPECT_EQ(Path(log.profiles[0]), kProfiles + "BraskGenericGray.icc");
    EXPECT_EQ(log.profiles[1].kind, 1u);
    EXPECT_EQ(Path(log.profiles[1]), kProfiles + "BraskGenericCMYK.icc");
    // Sixteen bits per component: every byte count doubles.
    EXPECT_EQ(log.source.rows, 1u);
    EXPECT_EQ(log.source.pixelsPerRow, 5u);
    EXPECT_EQ(log.source.bytesPerPixel, 2u);
    EXPECT_EQ(log.source.bytesPerRow, 10u);
    EXPECT_EQ(log.source.reserved, 0u);
    EXPECT_EQ(log.source.colorSpace, 0x47524159u);
    EXPECT_EQ(log.source.data, static_cast<const void*>(gray));
    EXPECT_EQ(log.destination.rows, 1u);
    EXPECT_EQ(log.destination.pixelsPerRow, 5u);
    EXPECT_EQ(log.destination.bytesPerPixel, 8u);
    EXPECT_EQ(log.destination.bytesPerRow, 40u);
    EXPECT_EQ(log.destination.colorSpace, 0x434D594Bu);
    EXPECT_EQ(log.destination.data, static_cast<void*>(cmyk));

    // Any other bit count is one byte per component; an unknown space is "????" with no components.
    ColorTransCBRec other = PixelRun(1, 7, gray, cmyk, 5, 12);
    log = TransformLog{};
    ASSERT_EQ(ColorTranslator().TranslatePixData(&other), kOK);
    EXPECT_EQ(log.source.colorSpace, 0x52474220u);
    EXPECT_EQ(log.source.bytesPerPixel, 3u);
    EXPECT_EQ(log.source.bytesPerRow, 15u);
    EXPECT_EQ(log.destination.colorSpace, 0x3F3F3F3Fu);
    EXPECT_EQ(log.destination.bytesPerPixel, 0u);
    EXPECT_EQ(log.destination.bytesPerRow, 0u);
    EXPECT_EQ(Path(log.profiles[1]), kProfiles + "BraskGenericRGB.icc");

    // A refusal of the transform is the translator's failure.
    LogCapture records;
    log = TransformLog{};
    log.result = 99;
    EXPECT_EQ(ColorTranslator().TranslatePixData(&other), -1);
    EXPECT_EQ(log.released, 1);
    EXPECT_EQ(records.WithMessage(kMessage).size(), 1u);
}

TEST_F(ColorTranslatorTest, EightBitRunMatchesLittleCMS) {
    const std::uint8_t rgb[] = {255, 0, 0, 0, 255, 0, 40, 80, 120};
    std::uint8_t cmyk[12] = {};
    ColorTransCBRec rec = PixelRun(1, 0, rgb, cmyk, 3);
    ColorTranslator translator;
    ASSERT_EQ(translator.TranslatePixData(&rec), kOK);
    EXPECT_EQ(std::vector<std::uint8_t>(cmyk, cmyk + 12),
              Direct("BraskGenericRGB.icc", TYPE_RGB_8, "BraskGenericCMYK.icc", TYPE_CMYK_8, rgb, 12, 3));
    // Translation shifts the colour the way the press would print it: red becomes magenta plus yellow.
    EXPECT_LT(cmyk[0], 20);
    EXPECT_GT(cmyk[1], 220);
    EXPECT_GT(cmyk[2], 200);

    // And back again: the round trip lands near the start, not on it (the press gamut is smaller).
    std::uint8_t back[9] = {};
    ColorTransCBRec reverse = PixelRun(0, 1, cmyk, back, 3);
    ASSERT_EQ(translator.TranslatePixData(&reverse), kOK);
    EXPECT_EQ(std::vector<std::uint8_t>(back, back + 9),
              Direct("BraskGenericCMYK.icc", TYPE_CMYK_8, "BraskGenericRGB.icc", TYPE_RGB_8, cmyk, 9, 3));
    EXPECT_GT(back[0], 200);
    EXPECT_LT(back[1], 80);
}

TEST_F(ColorTranslatorTest, SixteenBitRunDoublesEveryByteCount) {
    const std::uint16_t cmyk[] = {65535, 0, 0, 0, 0, 32768, 65535, 0};
    std::uint16_t rgb[6] = {};
    ColorTransCBRec rec = PixelRun(0, 1, cmyk, rgb, 2, 16);
    ASSERT_EQ(ColorTranslator().TranslatePixData(&rec), kOK);
    const auto expected =
        Direct("BraskGenericCMYK.icc", TYPE_CMYK_16, "BraskGenericRGB.icc", TYPE_RGB_16, cmyk, sizeof rgb, 2);
    EXPECT_EQ(0, std::memcmp(rgb, expected.data(), sizeof rgb));
    EXPECT_GT(rgb[2], 200 * 257); // full cyan: strong blue
}

TEST_F(ColorTranslatorTest, GrayAndTheSameSpaceOnBothSides) {
    const std::uint8_t gray[] = {0, 100, 255};
    std::uint8_t rgb[9] = {};
    ColorTransCBRec rec = PixelRun(3, 1, gray, rgb, 3);
    ASSERT_EQ(ColorTranslator().TranslatePixData(&rec), kOK);
    EXPECT_EQ(std::vector<std::uint8_t>(rgb, rgb + 9),
              Direct("BraskGenericGray.icc", TYPE_GRAY_8, "BraskGenericRGB.icc", TYPE_RGB_8, gray, 9, 3));

    // RGB to RGB still goes through a transform, with the same profile twice.
    const std::uint8_t in[] = {12, 34, 56};
    std::uint8_t out[3] = {};
    ColorTransCBRec same = PixelRun(1, 1, in, out, 1);
    ASSERT_EQ(ColorTranslator().TranslatePixData(&same), kOK);
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 3),
              Direct("BraskGenericRGB.icc", TYPE_RGB_8, "BraskGenericRGB.icc", TYPE_RGB_8, in, 3, 1));
}

TEST_F(ColorTranslatorTest, CallbackSetsTheDoneFlagOrAnswers242) {
    LogCapture log;
    const std::uint8_t rgb[] = {0, 0, 255};
    std::uint8_t cmyk[4] = {};
    ColorTransCBRec rec = PixelRun(1, 0, rgb, cmyk, 1);
    ColorTranslator translator;
    EXPECT_EQ(TranslateColorsCallback(&translator, &rec), 0);
    EXPECT_EQ(rec.done, 1);
    EXPECT_GT(cmyk[0], 200); // blue: cyan and magenta ink
    EXPECT_TRUE(log.Records().empty());

    // Colour space 2 takes the RGB profile but the signature "????" with no components: refused.
    std::uint8_t out[4] = {};
    ColorTransCBRec unknown = PixelRun(2, 0, rgb, out, 1);
    unknown.done = 1;
    EXPECT_EQ(TranslateColorsCallback(&translator, &unknown), 242);
    EXPECT_EQ(unknown.done, 0);
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 4), std::vector<std::uint8_t>(4, 0));
    const auto records = log.WithMessage(kMessage);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].file, kSource);
    EXPECT_EQ(records[0].function, kFunction);
    EXPECT_EQ(records[0].type, 2);
    EXPECT_EQ(records[0].level, 1);

    EXPECT_EQ(TranslateColorsCallback(&translator, nullptr), 242);
}

TEST_F(ColorTranslatorTest, FailsWithoutAFactoryOrAReadableProfile) {
    LogCapture log;
    const std::uint8_t rgb[] = {1, 2, 3};
    std::uint8_t cmyk[4] = {};
    ColorTransCBRec rec = PixelRun(1, 0, rgb, cmyk, 1);

    COREREGISTRY::ClassFactorySlot::Set(nullptr);
    EXPECT_EQ(ColorTranslator().TranslatePixData(&rec), -1);
    EXPECT_EQ(log.WithMessage(kMessage).size(), 1u);

    // An application folder without profiles: the fixed folder does not exist on this machine.
    UseApplicationFolder(mTempDir.Path().string());
    log.Clear();
    EXPECT_EQ(TranslateColorsCallback(nullptr, &rec), 242);
    EXPECT_EQ(rec.done, 0);
    EXPECT_EQ(log.WithMessage(kMessage).size(), 1u);
}

} // namespace
