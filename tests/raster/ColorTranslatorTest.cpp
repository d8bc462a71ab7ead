// The colour translator through the host's LittleCMS transform, against LittleCMS called directly with the
// generic profiles of the application folder.
#include "LcmsReference.h"
#include "RasterFixture.h"

#include "ColorTranslator.h"

#include <cstring>

using namespace BRASK;
using namespace BRASK::PLUGIN;
using BRASK::TEST::ExpectLogged;
using BRASK::TEST::LcmsDirect;
using BRASK::TEST::LogCapture;

namespace {

constexpr char kMessage[] = "Unable to convert input profile to output profile for EPS/PDF image.";
const std::string kProfiles = std::string(RASTER_APP_DIR) + "/Profiles/";

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

using ColorTranslatorTest = BRASK::TEST::RasterFixture; // the application folder holds the generic profiles

TEST_F(ColorTranslatorTest, ProfilesComeFromTheApplicationFolderElseTheFixedFolder) {
    EXPECT_EQ(ColorTranslator::ProfilePath(0).GetUTF8String(), kProfiles + "BraskGenericCMYK.icc");
    EXPECT_EQ(ColorTranslator::ProfilePath(1).GetUTF8String(), kProfiles + "BraskGenericRGB.icc");
    EXPECT_EQ(ColorTranslator::ProfilePath(3).GetUTF8String(), kProfiles + "BraskGenericGray.icc");
    EXPECT_EQ(ColorTranslator::ProfilePath(77).GetUTF8String(), kProfiles + "BraskGenericRGB.icc");
    UseApplicationFolder(mTempDir.Path().string()); // no Profiles folder there
    EXPECT_EQ(ColorTranslator::ProfilePath(0).GetUTF8String(),
              "/Work/Core/testData/testApp/Profiles/BraskGenericCMYK.icc");
}

// Two bytes per component double every byte count of the descriptions; relative colorimetric with black-point
// compensation through the host's transform gives LittleCMS's own result.
TEST_F(ColorTranslatorTest, SixteenBitRunMatchesLittleCMS) {
    const std::uint16_t cmyk[] = {65535, 0, 0, 0, 0, 32768, 65535, 0, 0, 0, 0, 0};
    std::vector<std::uint8_t> rgb(3 * 3 * 2);
    ColorTransCBRec rec = PixelRun(0, 1, cmyk, rgb.data(), 3, 16);
    ASSERT_EQ(ColorTranslator().TranslatePixData(&rec), kOK);
    EXPECT_EQ(rgb, LcmsDirect(kProfiles + "BraskGenericCMYK.icc", TYPE_CMYK_16,
                              kProfiles + "BraskGenericRGB.icc", TYPE_RGB_16, cmyk, rgb.size(), 3));
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
    ExpectLogged(log, kMessage, "core/Common/Headers/Jaws/ColorTranslator",
                 "long __cdecl BRASK::PLUGIN::ColorTranslator::TranslatePixData(ColorTransCBRec *)");
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
