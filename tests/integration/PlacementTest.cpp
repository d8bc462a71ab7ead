// End to end: the plug-in, loaded as a host loads it, places real pictures through the real wrappers. (The
// sample picture's keys: tests/epsimport.)
#include "PluginHost.h"

#include "brask/FilterKeys.h"

using namespace BRASK;
using BRASK::TEST::Placement;
using BRASK::TEST::Placing;
using BRASK::TEST::PluginHost;

TEST_F(Placing, FilterKeysOfRealPicturesOnBothPaths) {
    struct Case {
        std::string file;
        bool interpreter;
        std::vector<std::uint8_t> flags;  // duotone, image resolution, vector mask, DCS
        std::vector<std::uint8_t> spaces; // the colour spaces
        std::uint32_t profileBytes;       // the ICC profile's size
        std::uint32_t clipKnots;          // knots of the one closed subpath under {4A31110F-...}, 0: none
    };
    const std::string corpus = std::string(BRASK_CORPUS_DIR) + "/";
    using namespace COLORSPACE;
    const Case cases[] = {
        {corpus + "eps-icc/laffr__logo2.eps", false, {0, 1, 0, 0}, {kCMYK}, 557168, 0},
        {corpus + "eps-icc/laffr__logo2.eps", true, {0, 1, 0, 0}, {kCMYK}, 557168, 0},
        {corpus + "eps-dcs/frontiers2013__logo2.eps", false, {0, 1, 0, 1}, {kCMYK}, 557168, 0},
        {corpus + "eps-dcs/frontiers2013__logo2.eps", true, {0, 1, 0, 1}, {}, 557168, 0},
        {corpus + "eps-photoshop/magicknet__SwedenHeart.eps", false, {0, 1, 0, 0}, {kCMYK}, 3144, 12},
        {corpus + "eps-photoshop/magicknet__SwedenHeart.eps", true, {0, 1, 0, 0}, {kRGB}, 3144, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file + (c.interpreter ? " (interpreter)" : " (converter)"));
        Placement placement = PluginHost::Instance().Place(c.file, c.interpreter);
        ASSERT_EQ(placement.status, kOK);
        const IDictionary& keys = *placement.dictionary;
        std::vector<std::uint8_t> flags;
        for (std::int32_t key :
             {FILTERKEY::kDuotone, FILTERKEY::kImageResolution, FILTERKEY::kVectorMasked, FILTERKEY::kDCS}) {
            std::uint8_t value = 0xEE;
            keys.GetUInt8(key, value);
            flags.push_back(value);
        }
        EXPECT_EQ(flags, c.flags);
        EXPECT_EQ(placement.Bytes(FILTERKEY::kColorSpaces), c.spaces);
        // An ICC profile: its header gives its own size and the "acsp" signature.
        const std::vector<std::uint8_t> profile = placement.Bytes(FILTERKEY::kICCProfile);
        ASSERT_EQ(profile.size(), c.profileBytes);
        if (!profile.empty()) {
            EXPECT_EQ(std::uint32_t{profile[0]} << 24 | profile[1] << 16 | profile[2] << 8 | profile[3],
                      c.profileBytes);
            EXPECT_EQ(std::string(profile.begin() + 36, profile.begin() + 40), "acsp");
        }
        IObject* clip = nullptr;
        placement.graphic->GetInterface(CLSID::ClippingPathKey, &clip);
        auto* path = dynamic_cast<GRAPHICS::IPathCollection*>(clip);
        ASSERT_EQ(path != nullptr, c.clipKnots != 0);
        if (path != nullptr) {
            ASSERT_EQ(path->GetSubpathCount(), 1u);
            EXPECT_TRUE(path->IsSubpathClosed(0));
            ASSERT_EQ(path->GetKnotCount(0), c.clipKnots);
        }
    }
}
