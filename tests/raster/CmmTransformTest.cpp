// The host's colour transform on LittleCMS, and the colour translator over it, against LittleCMS called
// directly with the same profiles, intent and flags; their refusals; and the generic profiles the build
// installs.
#include "LcmsReference.h"
#include "RasterFixture.h"

#include "ColorTranslator.h"
#include "brask/CoreString.h"

#include <algorithm>
#include <cstring>
#include <thread>

using namespace BRASK;
using namespace BRASK::GRAPHICS;
using namespace BRASK::TEST;
using PLUGIN::ColorTranslator;
using PLUGIN::TranslateColorsCallback;

namespace {

const std::string kProfiles = std::string(BRASK_APP_DIR) + "/Profiles/";
constexpr char kMessage[] = "Unable to convert input profile to output profile for EPS/PDF image.";
const std::string kRGB = kProfiles + "BraskGenericRGB.icc";
const std::string kCMYK = kProfiles + "BraskGenericCMYK.icc";
const std::string kGray = kProfiles + "BraskGenericGray.icc";

CmmProfileDescriptor Descriptor(const std::string& path) {
    CmmProfileDescriptor d{};
    d.kind = CmmProfileDescriptor::kKindPath;
    const std::u16string units = BRASK::STRING::UTF8ToUTF16(path);
    std::memcpy(d.path, units.data(), units.size() * sizeof(char16_t));
    return d;
}

CmmPixelDescription Pixels(std::uint32_t signature, std::uint32_t components, std::uint32_t bytesPerComponent,
                           std::uint32_t count, const void* data, std::uint32_t rows = 1,
                           std::uint32_t padding = 0) {
    const std::uint32_t bpp = components * bytesPerComponent;
    return CmmPixelDescription{
        rows, count, bpp, count * bpp + padding, 0, signature, const_cast<void*>(data)};
}

class CmmTransformTest : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_EQ(CreateInstance(mHost.Get(), CLSID::CmmTransform, mTransform), kOK);
    }
    void TearDown() override {
        mTransform.Reset();
        HostFixture::TearDown();
    }
    Status Use(const std::string& from, const std::string& to, std::uint32_t intent = 1,
               std::uint32_t flags = 1) {
        EXPECT_EQ(mTransform->SetOption(intent), kOK);
        const CmmProfileDescriptor profiles[2] = {Descriptor(from), Descriptor(to)};
        return mTransform->SetProfiles(profiles, CmmProfileCount{2, 0}, flags);
    }
    TInterfacePtr<ICmmTransform> mTransform;
};

TEST(GenericProfiles, TheBuildInstallsGhostscriptsDefaults) {
    const std::string source = BRASK_PROFILE_SOURCE_DIR;
    EXPECT_GT(ReadFile(kCMYK).size(), 128u);
    for (auto [installed, name] :
         {std::pair(kCMYK, "cmyk"), std::pair(kRGB, "rgb"), std::pair(kGray, "gray")})
        EXPECT_EQ(ReadFile(installed), ReadFile(source + "/default_" + name + ".icc")) << name;
}

TEST_F(CmmTransformTest, EveryPairDepthAndIntentMatchesLittleCMS) {
    const std::uint16_t cmyk16[] = {65535, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 65535, 12345, 23456, 34567, 4567};
    const std::uint8_t rgb8[] = {255, 0, 0, 255, 255, 255, 0, 0, 0, 128, 64, 32};
    const std::uint8_t gray8[] = {0, 128, 255, 60};
    struct Case {
        std::string from, to;
        std::uint32_t fromSignature, fromComponents, toSignature, toComponents, bytes;
        cmsUInt32Number inFormat, outFormat;
        const void* in;
        std::uint32_t intent = 1, flags = 1;
    };
    const Case cases[] = {
        {kRGB, kCMYK, kCmmSignatureRGB, 3, kCmmSignatureCMYK, 4, 1, TYPE_RGB_8, TYPE_CMYK_8, rgb8},
        {kCMYK, kRGB, kCmmSignatureCMYK, 4, kCmmSignatureRGB, 3, 2, TYPE_CMYK_16, TYPE_RGB_16, cmyk16},
        {kGray, kRGB, kCmmSignatureGray, 1, kCmmSignatureRGB, 3, 1, TYPE_GRAY_8, TYPE_RGB_8, gray8},
        {kRGB, kRGB, kCmmSignatureRGB, 3, kCmmSignatureRGB, 3, 1, TYPE_RGB_8, TYPE_RGB_8, rgb8},
        {kRGB, kCMYK, kCmmSignatureRGB, 3, kCmmSignatureCMYK, 4, 1, TYPE_RGB_8, TYPE_CMYK_8, rgb8, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from + " -> " + c.to + " intent " + std::to_string(c.intent));
        ASSERT_EQ(Use(c.from, c.to, c.intent, c.flags), kOK);
        std::vector<std::uint8_t> out(4 * c.toComponents * c.bytes, 0xEE);
        ASSERT_EQ(mTransform->TransformPixels(Pixels(c.fromSignature, c.fromComponents, c.bytes, 4, c.in),
                                              Pixels(c.toSignature, c.toComponents, c.bytes, 4, out.data())),
                  kOK);
        EXPECT_EQ(out, LcmsDirect(c.from, c.inFormat, c.to, c.outFormat, c.in, out.size(), 4,
                                  c.intent == 1 ? INTENT_RELATIVE_COLORIMETRIC : INTENT_PERCEPTUAL,
                                  c.flags == 1 ? cmsFLAGS_BLACKPOINTCOMPENSATION : 0));
    }
}

TEST_F(CmmTransformTest, RowsWithPaddedStrides) {
    ASSERT_EQ(Use(kRGB, kGray), kOK);
    // Two rows of two pixels, each row padded by 2 bytes on the source and 3 on the destination.
    const std::uint8_t rgb[] = {255, 255, 255, 0, 0, 0, 0xAB, 0xAB, 128, 128, 128, 60, 60, 60, 0xAB, 0xAB};
    std::vector<std::uint8_t> gray(10, 0xCD);
    ASSERT_EQ(mTransform->TransformPixels(Pixels(kCmmSignatureRGB, 3, 1, 2, rgb, 2, 2),
                                          Pixels(kCmmSignatureGray, 1, 1, 2, gray.data(), 2, 3)),
              kOK);
    const std::uint8_t packed[] = {255, 255, 255, 0, 0, 0, 128, 128, 128, 60, 60, 60};
    const auto e = LcmsDirect(kRGB, TYPE_RGB_8, kGray, TYPE_GRAY_8, packed, 4, 4);
    EXPECT_EQ(gray, (std::vector<std::uint8_t>{e[0], e[1], 0xCD, 0xCD, 0xCD, e[2], e[3], 0xCD, 0xCD, 0xCD}));
}

TEST_F(CmmTransformTest, RefusesPixelsItCannotConvert) {
    std::uint8_t in[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::uint8_t out[8] = {};
    const auto rgb = Pixels(kCmmSignatureRGB, 3, 1, 2, in);
    const auto cmyk = Pixels(kCmmSignatureCMYK, 4, 1, 2, out);
    EXPECT_NE(mTransform->TransformPixels(rgb, cmyk), kOK); // no profiles yet
    ASSERT_EQ(Use(kRGB, kCMYK), kOK);
    auto odd = rgb, shortRow = rgb, noData = rgb, moreRows = cmyk;
    odd.bytesPerPixel = 5;
    shortRow.bytesPerRow = 5;
    noData.data = nullptr;
    moreRows.rows = 2;
    for (auto [source, destination] : std::vector<std::pair<CmmPixelDescription, CmmPixelDescription>>{
             {Pixels(kCmmSignatureUnknown, 0, 1, 2, in), cmyk},
             {Pixels(kCmmSignatureUnknown, 3, 1, 2, in), cmyk},
             {odd, cmyk},
             {shortRow, cmyk},
             {noData, cmyk},
             {rgb, moreRows}})
        EXPECT_EQ(mTransform->TransformPixels(source, destination), ICmmTransform::kBadPixels);
    // A description whose signature does not fit its profile.
    EXPECT_EQ(mTransform->TransformPixels(Pixels(kCmmSignatureCMYK, 4, 1, 2, in), cmyk),
              ICmmTransform::kNoTransform);
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 8), std::vector<std::uint8_t>(8, 0)); // nothing written
    EXPECT_EQ(mTransform->SetOption(4), HOST::kBadArgument);
}

TEST_F(CmmTransformTest, RefusesProfilesItCannotRead) {
    const std::string text = WriteFile("not-a-profile.icc", "plain text, not an ICC profile");
    const std::string missing = (mTemp.Path() / "missing.icc").string();
    EXPECT_EQ(Use(kRGB, missing), ICmmTransform::kBadProfiles);
    const auto records = mLog.WithMessage("Unable to read the ICC profile " + missing);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].file, "host/src/CmmTransform");
    EXPECT_EQ(Use(text, kRGB), ICmmTransform::kBadProfiles);
    std::uint8_t pixel[3] = {1, 2, 3};
    EXPECT_NE(mTransform->TransformPixels(Pixels(kCmmSignatureRGB, 3, 1, 1, pixel),
                                          Pixels(kCmmSignatureRGB, 3, 1, 1, pixel)),
              kOK); // the failed call left no profiles behind

    CmmProfileDescriptor profiles[3] = {Descriptor(kRGB), Descriptor(kRGB), Descriptor(kRGB)};
    EXPECT_EQ(mTransform->SetProfiles(profiles, CmmProfileCount{1, 0}, 1), ICmmTransform::kBadProfiles);
    EXPECT_EQ(mTransform->SetProfiles(profiles, CmmProfileCount{3, 0}, 1), ICmmTransform::kBadProfiles);
    EXPECT_EQ(mTransform->SetProfiles(nullptr, CmmProfileCount{2, 0}, 1), ICmmTransform::kBadProfiles);
    profiles[1].kind = 2;
    EXPECT_EQ(mTransform->SetProfiles(profiles, CmmProfileCount{2, 0}, 1), ICmmTransform::kBadProfiles);
    // A path filling the whole field without a terminator is read only up to the field's end.
    profiles[1].kind = CmmProfileDescriptor::kKindPath;
    std::fill(std::begin(profiles[0].path), std::end(profiles[0].path), u'a');
    EXPECT_EQ(mTransform->SetProfiles(profiles, CmmProfileCount{2, 0}, 1), ICmmTransform::kBadProfiles);
}

TEST_F(CmmTransformTest, ConcurrentRunsAgreeWithLittleCMS) {
    // The translation callback runs on whatever thread renders: transforms on several threads at once share
    // the process's profiles and transforms.
    std::vector<std::uint8_t> rgb(3 * 256);
    for (std::size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<std::uint8_t>(i * 37);
    const auto expected = LcmsDirect(kRGB, TYPE_RGB_8, kCMYK, TYPE_CMYK_8, rgb.data(), 4 * 256, 256);
    std::vector<std::vector<std::uint8_t>> results(4, std::vector<std::uint8_t>(4 * 256));
    std::vector<Status> statuses(4, -1);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < results.size(); ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20 && (round == 0 || (statuses[t] == kOK && results[t] == expected));
                 ++round) {
                TInterfacePtr<ICmmTransform> transform;
                CreateInstance(mHost.Get(), CLSID::CmmTransform, transform);
                transform->SetOption(1);
                const CmmProfileDescriptor profiles[2] = {Descriptor(kRGB), Descriptor(kCMYK)};
                transform->SetProfiles(profiles, CmmProfileCount{2, 0}, 1);
                statuses[t] =
                    transform->TransformPixels(Pixels(kCmmSignatureRGB, 3, 1, 256, rgb.data()),
                                               Pixels(kCmmSignatureCMYK, 4, 1, 256, results[t].data()));
            }
        });
    for (auto& thread : threads)
        thread.join();
    for (std::size_t t = 0; t < results.size(); ++t) {
        EXPECT_EQ(statuses[t], kOK);
        EXPECT_EQ(results[t], expected);
    }
}

TEST_F(CmmTransformTest, TranslatorProfilesComeFromTheApplicationFolderElseTheFixedFolder) {
    const auto path = [this](std::uint32_t space) {
        return ColorTranslator::ProfilePath(mHost.Get(), space).GetUTF8String();
    };
    EXPECT_EQ(std::vector<std::string>({path(0), path(1), path(3), path(77)}),
              std::vector<std::string>({kCMYK, kRGB, kGray, kRGB}));
    UseHost(mTemp.Path().string()); // no Profiles folder there
    EXPECT_EQ(path(0), "/Work/Core/testData/testApp/Profiles/BraskGenericCMYK.icc");
}

// Two bytes per component double every byte count of the descriptions; relative colorimetric with black-point
// compensation through the host's transform gives LittleCMS's own result, and the callback says it is done.
// (The raster tests run an 8-bit run through the device.)
TEST_F(CmmTransformTest, TranslatorCallbackSetsTheDoneFlagOrAnswers242) {
    const std::uint16_t cmyk[] = {65535, 0, 0, 0, 0, 32768, 65535, 0, 0, 0, 0, 0};
    std::vector<std::uint8_t> rgb16(3 * 3 * 2);
    ColorTransCBRec rec = PixelRun(0, 1, cmyk, rgb16.data(), 3, 16);
    ColorTranslator translator(mHost.Get());
    EXPECT_EQ(TranslateColorsCallback(&translator, &rec), 0);
    EXPECT_EQ(rec.done, 1);
    EXPECT_EQ(rgb16, LcmsDirect(kCMYK, TYPE_CMYK_16, kRGB, TYPE_RGB_16, cmyk, rgb16.size(), 3));
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

TEST_F(CmmTransformTest, TranslatorFailsWithoutAFactoryOrAReadableProfile) {
    const std::uint8_t rgb[] = {1, 2, 3};
    std::uint8_t cmyk[4] = {};
    ColorTransCBRec rec = PixelRun(1, 0, rgb, cmyk, 1);
    EXPECT_EQ(ColorTranslator(nullptr).TranslatePixData(&rec), -1);
    EXPECT_EQ(Logged(kMessage), 1u);

    // An application folder without profiles: the fixed folder does not exist on this machine.
    UseHost(mTemp.Path().string());
    mLog.Clear();
    ColorTranslator translator(mHost.Get());
    EXPECT_EQ(TranslateColorsCallback(&translator, &rec), 242);
    EXPECT_EQ(rec.done, 0);
    EXPECT_EQ(Logged(kMessage), 1u);
}

} // namespace
