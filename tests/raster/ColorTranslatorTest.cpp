// The colour translator through the host's LittleCMS transform, against LittleCMS called directly with the
// generic profiles of the application folder.
#include "LcmsReference.h"
#include "RasterFixture.h"

#include "ColorTranslator.h"

using namespace BRASK;
using namespace BRASK::PLUGIN;
using BRASK::TEST::ExpectLogged;
using BRASK::TEST::LcmsDirect;
using BRASK::TEST::PixelRun;

namespace {

constexpr char kMessage[] = "Unable to convert input profile to output profile for EPS/PDF image.";
const std::string kProfiles = std::string(RASTER_APP_DIR) + "/Profiles/";

using ColorTranslatorTest = BRASK::TEST::RasterFixture; // the application folder holds the generic profiles

TEST_F(ColorTranslatorTest, ProfilesComeFromTheApplicationFolderElseTheFixedFolder) {
    const auto path = [this](std::uint32_t space) {
        return ColorTranslator::ProfilePath(mHost.Get(), space).GetUTF8String();
    };
    EXPECT_EQ(path(0), kProfiles + "BraskGenericCMYK.icc");
    EXPECT_EQ(path(1), kProfiles + "BraskGenericRGB.icc");
    EXPECT_EQ(path(3), kProfiles + "BraskGenericGray.icc");
    EXPECT_EQ(path(77), kProfiles + "BraskGenericRGB.icc");
    UseApplicationFolder(mTemp.Path().string()); // no Profiles folder there
    EXPECT_EQ(path(0), "/Work/Core/testData/testApp/Profiles/BraskGenericCMYK.icc");
}

// Two bytes per component double every byte count of the descriptions; relative colorimetric with black-point
// compensation through the host's transform gives LittleCMS's own result, and the callback says it is done.
// (The raster tests run an 8-bit run through the device.)
TEST_F(ColorTranslatorTest, CallbackSetsTheDoneFlagOrAnswers242) {
    mLog.Clear();
    const std::uint16_t cmyk[] = {65535, 0, 0, 0, 0, 32768, 65535, 0, 0, 0, 0, 0};
    std::vector<std::uint8_t> rgb16(3 * 3 * 2);
    ColorTransCBRec rec = PixelRun(0, 1, cmyk, rgb16.data(), 3, 16);
    ColorTranslator translator(mHost.Get());
    EXPECT_EQ(TranslateColorsCallback(&translator, &rec), 0);
    EXPECT_EQ(rec.done, 1);
    EXPECT_EQ(rgb16, LcmsDirect(kProfiles + "BraskGenericCMYK.icc", TYPE_CMYK_16,
                                kProfiles + "BraskGenericRGB.icc", TYPE_RGB_16, cmyk, rgb16.size(), 3));
    EXPECT_TRUE(mLog.Records().empty());

    // Colour space 2 takes the RGB profile but the signature "????" with no components: refused.
    const std::uint8_t rgb[] = {0, 0, 255};
    std::uint8_t out[4] = {};
    ColorTransCBRec unknown = PixelRun(2, 0, rgb, out, 1);
    unknown.done = 1;
    EXPECT_EQ(TranslateColorsCallback(&translator, &unknown), 242);
    EXPECT_EQ(unknown.done, 0);
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 4), std::vector<std::uint8_t>(4, 0));
    ExpectLogged(mLog, kMessage, "core/Common/Headers/Jaws/ColorTranslator",
                 "long __cdecl BRASK::PLUGIN::ColorTranslator::TranslatePixData(ColorTransCBRec *)");
    EXPECT_EQ(TranslateColorsCallback(&translator, nullptr), 242);
}

TEST_F(ColorTranslatorTest, FailsWithoutAFactoryOrAReadableProfile) {
    const std::uint8_t rgb[] = {1, 2, 3};
    std::uint8_t cmyk[4] = {};
    ColorTransCBRec rec = PixelRun(1, 0, rgb, cmyk, 1);
    EXPECT_EQ(ColorTranslator(nullptr).TranslatePixData(&rec), -1);
    EXPECT_EQ(Logged(kMessage), 1u);

    // An application folder without profiles: the fixed folder does not exist on this machine.
    UseApplicationFolder(mTemp.Path().string());
    mLog.Clear();
    ColorTranslator translator(mHost.Get());
    EXPECT_EQ(TranslateColorsCallback(&translator, &rec), 242);
    EXPECT_EQ(rec.done, 0);
    EXPECT_EQ(Logged(kMessage), 1u);
}

} // namespace
