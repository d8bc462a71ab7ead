// The host's colour transform on LittleCMS against LittleCMS called directly with the same profiles, intent
// and flags; its refusals; and the generic profiles the build installs.
#include "../support/LogCapture.h"
#include "../support/TempDir.h"

#include "brask/ClassIds.h"
#include "brask/CoreString.h"
#include "brask/ObjectCounter.h"
#include "brask/Raster.h"
#include "brask_host/Host.h"
#include "brask_host/HostStatus.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

using namespace BRASK;
using GRAPHICS::CmmPixelDescription;
using GRAPHICS::CmmProfileCount;
using GRAPHICS::CmmProfileDescriptor;
using GRAPHICS::ICmmTransform;

namespace {

const std::string kProfiles = std::string(BRASK_APP_DIR) + "/Profiles/";
const std::string kRGB = kProfiles + "BraskGenericRGB.icc";
const std::string kCMYK = kProfiles + "BraskGenericCMYK.icc";
const std::string kGray = kProfiles + "BraskGenericGray.icc";

CmmProfileDescriptor Descriptor(const std::string& path) {
    CmmProfileDescriptor d;
    std::memset(&d, 0, sizeof d);
    d.kind = CmmProfileDescriptor::kKindPath;
    const std::u16string units = BRASK::STRING::UTF8ToUTF16(path);
    std::memcpy(d.path, units.data(), units.size() * sizeof(char16_t));
    return d;
}

CmmPixelDescription Pixels(std::uint32_t signature, std::uint32_t components, std::uint32_t bytesPerComponent,
                           std::uint32_t count, void* data, std::uint32_t rows = 1,
                           std::uint32_t padding = 0) {
    const std::uint32_t bpp = components * bytesPerComponent;
    return CmmPixelDescription{rows, count, bpp, count * bpp + padding, 0, signature, data};
}

// LittleCMS straight: the reference every result of the host is held against.
template <class In, class Out>
std::vector<Out> Direct(const std::string& from, cmsUInt32Number inFormat, const std::string& to,
                        cmsUInt32Number outFormat, const std::vector<In>& in, std::size_t outComponents,
                        std::size_t pixels, cmsUInt32Number intent = INTENT_RELATIVE_COLORIMETRIC,
                        cmsUInt32Number flags = cmsFLAGS_BLACKPOINTCOMPENSATION) {
    cmsHPROFILE source = cmsOpenProfileFromFile(from.c_str(), "r");
    cmsHPROFILE destination = cmsOpenProfileFromFile(to.c_str(), "r");
    EXPECT_NE(source, nullptr);
    EXPECT_NE(destination, nullptr);
    cmsHTRANSFORM transform = cmsCreateTransform(source, inFormat, destination, outFormat, intent, flags);
    EXPECT_NE(transform, nullptr);
    std::vector<Out> out(outComponents * pixels);
    cmsDoTransform(transform, in.data(), out.data(), static_cast<cmsUInt32Number>(pixels));
    cmsDeleteTransform(transform);
    cmsCloseProfile(source);
    cmsCloseProfile(destination);
    return out;
}

class CmmTransformTest : public ::testing::Test {
protected:
    void SetUp() override {
        mLive = ObjectCounter::Live();
        mHost = HOST::Host::Create();
        ASSERT_EQ(CreateInstance(mHost.Get(), CLSID::CmmTransform, mTransform), kOK);
        EXPECT_EQ(*mTransform->GetIID(), ICmmTransform::IID);
    }
    void TearDown() override {
        mTransform.Reset();
        mHost.Reset();
        EXPECT_EQ(ObjectCounter::Live(), mLive) << "objects leaked";
    }
    Status Use(const std::string& from, const std::string& to, std::uint32_t intent = 1,
               std::uint32_t flags = 1) {
        EXPECT_EQ(mTransform->SetOption(intent), kOK);
        const CmmProfileDescriptor profiles[2] = {Descriptor(from), Descriptor(to)};
        return mTransform->SetProfiles(profiles, CmmProfileCount{2, 0}, flags);
    }

    TInterfacePtr<HOST::Host> mHost;
    TInterfacePtr<ICmmTransform> mTransform;
    std::int64_t mLive = 0;
    BRASK::TEST::LogCapture mLog;
};

TEST(GenericProfiles, TheBuildInstallsGhostscriptsDefaults) {
    const auto bytes = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string source = BRASK_PROFILE_SOURCE_DIR;
    EXPECT_EQ(bytes(kCMYK), bytes(source + "/default_cmyk.icc"));
    EXPECT_EQ(bytes(kRGB), bytes(source + "/default_rgb.icc"));
    EXPECT_EQ(bytes(kGray), bytes(source + "/default_gray.icc"));
    EXPECT_GT(bytes(kCMYK).size(), 128u);
}

TEST_F(CmmTransformTest, EightBitRGBToCMYKMatchesLittleCMS) {
    ASSERT_EQ(Use(kRGB, kCMYK), kOK);
    std::vector<std::uint8_t> rgb = {255, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 128, 64, 32};
    std::vector<std::uint8_t> cmyk(5 * 4, 0xEE);
    ASSERT_EQ(mTransform->TransformPixels(Pixels(GRAPHICS::kCmmSignatureRGB, 3, 1, 5, rgb.data()),
                                          Pixels(GRAPHICS::kCmmSignatureCMYK, 4, 1, 5, cmyk.data())),
              kOK);
    EXPECT_EQ(cmyk, (Direct<std::uint8_t, std::uint8_t>(kRGB, TYPE_RGB_8, kCMYK, TYPE_CMYK_8, rgb, 4, 5)));
    // Pure red is magenta and yellow on the press, white is no ink, black mostly black ink.
    EXPECT_LT(cmyk[0], 20);
    EXPECT_GT(cmyk[1], 220);
    EXPECT_GT(cmyk[2], 200);
    EXPECT_LT(cmyk[3], 20);
    EXPECT_EQ(cmyk[8] + cmyk[9] + cmyk[10] + cmyk[11], 0);
    EXPECT_GT(cmyk[15], 200);
}

TEST_F(CmmTransformTest, SixteenBitCMYKToRGBMatchesLittleCMS) {
    ASSERT_EQ(Use(kCMYK, kRGB), kOK);
    std::vector<std::uint16_t> cmyk = {65535, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 65535, 12345, 23456, 34567, 4567};
    std::vector<std::uint16_t> rgb(4 * 3);
    ASSERT_EQ(mTransform->TransformPixels(Pixels(GRAPHICS::kCmmSignatureCMYK, 4, 2, 4, cmyk.data()),
                                          Pixels(GRAPHICS::kCmmSignatureRGB, 3, 2, 4, rgb.data())),
              kOK);
    EXPECT_EQ(rgb,
              (Direct<std::uint16_t, std::uint16_t>(kCMYK, TYPE_CMYK_16, kRGB, TYPE_RGB_16, cmyk, 3, 4)));
    // Full cyan shows as a light blue; no ink as white.
    EXPECT_LT(rgb[0], 20 * 257);
    EXPECT_GT(rgb[2], 200 * 257);
    EXPECT_GT(rgb[3], 250 * 257);
}

TEST_F(CmmTransformTest, GrayAndTheSameProfileOnBothSides) {
    ASSERT_EQ(Use(kGray, kRGB), kOK);
    std::vector<std::uint8_t> gray = {0, 128, 255};
    std::vector<std::uint8_t> rgb(9);
    ASSERT_EQ(mTransform->TransformPixels(Pixels(GRAPHICS::kCmmSignatureGray, 1, 1, 3, gray.data()),
                                          Pixels(GRAPHICS::kCmmSignatureRGB, 3, 1, 3, rgb.data())),
              kOK);
    EXPECT_EQ(rgb, (Direct<std::uint8_t, std::uint8_t>(kGray, TYPE_GRAY_8, kRGB, TYPE_RGB_8, gray, 3, 3)));
    EXPECT_EQ(rgb[3], rgb[4]); // a neutral stays neutral
    EXPECT_EQ(rgb[4], rgb[5]);

    ASSERT_EQ(Use(kRGB, kRGB), kOK);
    std::vector<std::uint8_t> in = {10, 200, 30, 255, 255, 255};
    std::vector<std::uint8_t> out(6);
    ASSERT_EQ(mTransform->TransformPixels(Pixels(GRAPHICS::kCmmSignatureRGB, 3, 1, 2, in.data()),
                                          Pixels(GRAPHICS::kCmmSignatureRGB, 3, 1, 2, out.data())),
              kOK);
    EXPECT_EQ(out, (Direct<std::uint8_t, std::uint8_t>(kRGB, TYPE_RGB_8, kRGB, TYPE_RGB_8, in, 3, 2)));
    for (std::size_t i = 0; i < in.size(); ++i)
        EXPECT_NEAR(out[i], in[i], 2) << i;
}

TEST_F(CmmTransformTest, IntentAndBlackPointCompensationReachLittleCMS) {
    std::vector<std::uint8_t> rgb = {0, 90, 160, 20, 20, 20};
    std::vector<std::uint8_t> cmyk(8);
    ASSERT_EQ(Use(kRGB, kCMYK, 0, 0), kOK);
    ASSERT_EQ(mTransform->TransformPixels(Pixels(GRAPHICS::kCmmSignatureRGB, 3, 1, 2, rgb.data()),
                                          Pixels(GRAPHICS::kCmmSignatureCMYK, 4, 1, 2, cmyk.data())),
              kOK);
    EXPECT_EQ(cmyk, (Direct<std::uint8_t, std::uint8_t>(kRGB, TYPE_RGB_8, kCMYK, TYPE_CMYK_8, rgb, 4, 2,
                                                        INTENT_PERCEPTUAL, 0)));
}

TEST_F(CmmTransformTest, RowsWithPaddedStrides) {
    ASSERT_EQ(Use(kRGB, kGray), kOK);
    // Two rows of two pixels, each row padded by 2 bytes on the source and 3 on the destination.
    std::vector<std::uint8_t> rgb = {255, 255, 255, 0,  0,  0,  0xAB, 0xAB,
                                     128, 128, 128, 60, 60, 60, 0xAB, 0xAB};
    std::vector<std::uint8_t> gray(10, 0xCD);
    ASSERT_EQ(mTransform->TransformPixels(Pixels(GRAPHICS::kCmmSignatureRGB, 3, 1, 2, rgb.data(), 2, 2),
                                          Pixels(GRAPHICS::kCmmSignatureGray, 1, 1, 2, gray.data(), 2, 3)),
              kOK);
    const std::vector<std::uint8_t> packed = {255, 255, 255, 0, 0, 0, 128, 128, 128, 60, 60, 60};
    const auto expected =
        Direct<std::uint8_t, std::uint8_t>(kRGB, TYPE_RGB_8, kGray, TYPE_GRAY_8, packed, 1, 4);
    EXPECT_EQ(gray[0], expected[0]);
    EXPECT_EQ(gray[1], expected[1]);
    EXPECT_EQ(gray[2], 0xCD); // padding untouched
    EXPECT_EQ(gray[4], 0xCD);
    EXPECT_EQ(gray[5], expected[2]);
    EXPECT_EQ(gray[6], expected[3]);
    EXPECT_EQ(gray[7], 0xCD);
}

TEST_F(CmmTransformTest, RefusesWhatItCannotConvert) {
    std::uint8_t in[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::uint8_t out[8] = {};
    const auto rgb = Pixels(GRAPHICS::kCmmSignatureRGB, 3, 1, 2, in);
    const auto cmyk = Pixels(GRAPHICS::kCmmSignatureCMYK, 4, 1, 2, out);

    // No profiles yet.
    EXPECT_NE(mTransform->TransformPixels(rgb, cmyk), kOK);

    ASSERT_EQ(Use(kRGB, kCMYK), kOK);
    // The unknown signature "????" with no components.
    EXPECT_EQ(mTransform->TransformPixels(Pixels(GRAPHICS::kCmmSignatureUnknown, 0, 1, 2, in), cmyk),
              ICmmTransform::kBadPixels);
    EXPECT_EQ(mTransform->TransformPixels(Pixels(GRAPHICS::kCmmSignatureUnknown, 3, 1, 2, in), cmyk),
              ICmmTransform::kBadPixels);
    // A description whose signature does not fit its profile.
    EXPECT_EQ(mTransform->TransformPixels(Pixels(GRAPHICS::kCmmSignatureCMYK, 4, 1, 2, in), cmyk),
              ICmmTransform::kNoTransform);
    // Sizes that disagree or do not hold the pixels.
    auto odd = rgb;
    odd.bytesPerPixel = 5;
    EXPECT_EQ(mTransform->TransformPixels(odd, cmyk), ICmmTransform::kBadPixels);
    auto shortRow = rgb;
    shortRow.bytesPerRow = 5;
    EXPECT_EQ(mTransform->TransformPixels(shortRow, cmyk), ICmmTransform::kBadPixels);
    auto moreRows = cmyk;
    moreRows.rows = 2;
    EXPECT_EQ(mTransform->TransformPixels(rgb, moreRows), ICmmTransform::kBadPixels);
    auto noData = rgb;
    noData.data = nullptr;
    EXPECT_EQ(mTransform->TransformPixels(noData, cmyk), ICmmTransform::kBadPixels);
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 8), std::vector<std::uint8_t>(8, 0)); // nothing written

    EXPECT_EQ(mTransform->SetOption(4), HOST::kBadArgument);
}

TEST_F(CmmTransformTest, RefusesProfilesItCannotRead) {
    BRASK::TEST::TempDir dir;
    const std::string text = (dir.Path() / "not-a-profile.icc").string();
    std::ofstream(text) << "plain text, not an ICC profile";

    const std::string missing = (dir.Path() / "missing.icc").string();
    EXPECT_EQ(Use(kRGB, missing), ICmmTransform::kBadProfiles);
    const auto records = mLog.WithMessage("Unable to read the ICC profile " + missing);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].file, "host/src/CmmTransform");
    EXPECT_EQ(Use(text, kRGB), ICmmTransform::kBadProfiles);
    std::uint8_t in[3] = {1, 2, 3};
    std::uint8_t out[3] = {};
    EXPECT_NE(mTransform->TransformPixels(Pixels(GRAPHICS::kCmmSignatureRGB, 3, 1, 1, in),
                                          Pixels(GRAPHICS::kCmmSignatureRGB, 3, 1, 1, out)),
              kOK); // the failed call left no profiles behind

    const CmmProfileDescriptor profiles[3] = {Descriptor(kRGB), Descriptor(kRGB), Descriptor(kRGB)};
    EXPECT_EQ(mTransform->SetProfiles(profiles, CmmProfileCount{1, 0}, 1), ICmmTransform::kBadProfiles);
    EXPECT_EQ(mTransform->SetProfiles(profiles, CmmProfileCount{3, 0}, 1), ICmmTransform::kBadProfiles);
    EXPECT_EQ(mTransform->SetProfiles(nullptr, CmmProfileCount{2, 0}, 1), ICmmTransform::kBadProfiles);
    CmmProfileDescriptor wrongKind[2] = {Descriptor(kRGB), Descriptor(kRGB)};
    wrongKind[1].kind = 2;
    EXPECT_EQ(mTransform->SetProfiles(wrongKind, CmmProfileCount{2, 0}, 1), ICmmTransform::kBadProfiles);

    // A path that fills the whole field without a terminator is read only up to the field's end.
    CmmProfileDescriptor unterminated[2] = {Descriptor(kRGB), Descriptor(kRGB)};
    std::fill(std::begin(unterminated[0].path), std::end(unterminated[0].path), u'a');
    EXPECT_EQ(mTransform->SetProfiles(unterminated, CmmProfileCount{2, 0}, 1), ICmmTransform::kBadProfiles);
}

TEST_F(CmmTransformTest, AProfileRewrittenOnDiskIsReadAgain) {
    BRASK::TEST::TempDir dir;
    const std::string path = (dir.Path() / "changing.icc").string();
    std::filesystem::copy_file(kRGB, path);
    ASSERT_EQ(Use(path, kGray), kOK);
    std::vector<std::uint8_t> red = {255, 0, 0};
    std::uint8_t before = 0;
    ASSERT_EQ(mTransform->TransformPixels(Pixels(GRAPHICS::kCmmSignatureRGB, 3, 1, 1, red.data()),
                                          Pixels(GRAPHICS::kCmmSignatureGray, 1, 1, 1, &before)),
              kOK);
    // Now a gray profile under the same name: an RGB description no longer fits it.
    std::filesystem::remove(path);
    std::filesystem::copy_file(kGray, path);
    ASSERT_EQ(Use(path, kGray), kOK);
    std::uint8_t after = 0;
    EXPECT_EQ(mTransform->TransformPixels(Pixels(GRAPHICS::kCmmSignatureRGB, 3, 1, 1, red.data()),
                                          Pixels(GRAPHICS::kCmmSignatureGray, 1, 1, 1, &after)),
              ICmmTransform::kNoTransform);
}

TEST_F(CmmTransformTest, ConcurrentRunsAgreeWithLittleCMS) {
    // The plug-in's callback runs on whatever thread renders: transforms made at once on several threads
    // share the process's profiles and transforms.
    std::vector<std::uint8_t> rgb(3 * 256);
    for (std::size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<std::uint8_t>(i * 37);
    const auto expected =
        Direct<std::uint8_t, std::uint8_t>(kRGB, TYPE_RGB_8, kCMYK, TYPE_CMYK_8, rgb, 4, 256);
    std::vector<std::vector<std::uint8_t>> results(4, std::vector<std::uint8_t>(4 * 256));
    std::vector<Status> statuses(4, -1);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < results.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round) {
                TInterfacePtr<ICmmTransform> transform;
                CreateInstance(mHost.Get(), CLSID::CmmTransform, transform);
                transform->SetOption(1);
                const CmmProfileDescriptor profiles[2] = {Descriptor(kRGB), Descriptor(kCMYK)};
                transform->SetProfiles(profiles, CmmProfileCount{2, 0}, 1);
                statuses[t] = transform->TransformPixels(
                    Pixels(GRAPHICS::kCmmSignatureRGB, 3, 1, 256, rgb.data()),
                    Pixels(GRAPHICS::kCmmSignatureCMYK, 4, 1, 256, results[t].data()));
                if (statuses[t] != kOK || results[t] != expected)
                    return;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (std::size_t t = 0; t < results.size(); ++t) {
        EXPECT_EQ(statuses[t], kOK);
        EXPECT_EQ(results[t], expected);
    }
}

} // namespace
