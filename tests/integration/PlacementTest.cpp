// End to end: the plug-in, loaded as a host loads it, places real pictures through the real wrappers.
#include "../support/CorpusSkip.h"
#include "PluginHost.h"

#include "LibUtils.h"
#include "brask/FilterKeys.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <thread>

using namespace BRASK;
using BRASK::TEST::LogCapture;
using BRASK::TEST::Placement;
using BRASK::TEST::Placing;
using BRASK::TEST::PluginHost;

namespace {

const std::string kSample = std::string(BRASK_SOURCE_DIR) + "/samples/sample.eps";

std::vector<std::uint8_t> Bytes(const IDictionary& dictionary, std::int32_t key) {
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
    if (dictionary.GetBytes(key, &data, &length) != kOK)
        return {};
    return std::vector<std::uint8_t>(data, data + length);
}

// A DOS binary EPS of the corpus whose first line loses its " EPSF-3.0", with a header that still describes
// it, written as `name` into the output folder.
std::string WithoutMarker(const std::string& corpusFile, const std::string& name) {
    std::string bytes = TEST::ReadFile(std::string(BRASK_CORPUS_DIR) + "/" + corpusFile);
    const auto get = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
        return v;
    };
    const auto put = [&](std::size_t at, std::uint32_t v, int size) {
        for (int i = 0; i < size; ++i)
            bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
    };
    const std::uint32_t section = get(4);
    const std::size_t marker = bytes.find(" EPSF-3.0", section);
    EXPECT_LT(marker, section + 40u) << corpusFile;
    bytes.erase(marker, 9);
    put(8, get(8) - 9, 4);
    for (std::size_t field : {12u, 20u}) // previews behind the section move with it
        if (get(field) > section)
            put(field, get(field) - 9, 4);
    std::uint8_t sum = 0;
    for (int i = 0; i < 28; ++i)
        sum ^= static_cast<std::uint8_t>(bytes[static_cast<std::size_t>(i)]);
    put(28, sum, 2);
    const std::string path = (PluginHost::Instance().OutputFolder() / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// The first page rendered in grey at 20 dpi.
std::string Rendered(const std::string& pdf) {
    const std::string root = pdf + "-render";
    std::system(("pdftoppm -r 20 -gray -singlefile '" + pdf + "' '" + root + "'").c_str());
    return TEST::ReadFile(root + ".pgm");
}

} // namespace

TEST_F(Placing, NothingStaysInTheTemporaryFolder) {
    {
        // A data provider over memory forces the converter path to copy the picture into a temporary file.
        const std::string bytes = TEST::ReadFile(kSample);
        TInterfacePtr<IO::IDataProvider> source;
        IO::CreateReadOnlyDataProvider(&PluginHost::Instance().Host(), source, bytes.data(),
                                       static_cast<std::int32_t>(bytes.size()));
        Placement converted = PluginHost::Instance().PlaceFrom(*source, false);
        Placement distilled = PluginHost::Instance().PlaceFrom(*source, true);
        EXPECT_EQ(converted.status, kOK);
        EXPECT_EQ(distilled.status, kOK);
    }
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(PluginHost::Instance().TemporaryFolder()))
        if (entry.is_regular_file())
            left.push_back(entry.path().filename().string());
    EXPECT_TRUE(left.empty()) << left.front();
}

TEST_F(Placing, IllustratorDOSBinaryFileWithoutMarkerPlacesLikeTheSameBytesNamedEPS) {
    // Previews behind and in front of the PostScript section.
    for (const char* file : {"eps-customcolor/aspose-imaging__Sample.eps",
                             "eps-atend/pillow__1_boundingbox_after_imagedata.eps"}) {
        for (const bool interpreter : {false, true}) {
            SCOPED_TRACE(std::string(file) + (interpreter ? " (interpreter)" : " (converter)"));
            LogCapture log;
            Placement ai = PluginHost::Instance().Place(WithoutMarker(file, "repair.ai"), interpreter);
            Placement eps = PluginHost::Instance().Place(WithoutMarker(file, "repair.eps"), interpreter);
            ASSERT_EQ(ai.status, kOK);
            ASSERT_EQ(eps.status, kOK);
            ASSERT_TRUE(ai.connectionSpace != nullptr && eps.connectionSpace != nullptr);
            for (std::int32_t key : {FILTERKEY::kWidth, FILTERKEY::kHeight, FILTERKEY::kLeft,
                                     FILTERKEY::kRight, FILTERKEY::kBottom, FILTERKEY::kTop})
                EXPECT_FLOAT_EQ(ai.Float(key), eps.Float(key)) << key;
            const std::string aiRender = Rendered(PluginHost::Instance().SavePDF(ai, "repair-ai.pdf"));
            EXPECT_FALSE(aiRender.empty());
            EXPECT_EQ(aiRender, Rendered(PluginHost::Instance().SavePDF(eps, "repair-eps.pdf")));
        }
    }
}

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
        {kSample, false, {0, 0, 0, 0}, {kCMYK}, 0, 0},
        {kSample, true, {0, 0, 0, 0}, {kCMYK, kSeparation, kRGB, kGray}, 0, 0},
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
        std::uint16_t count = 0xEEEE;
        EXPECT_EQ(keys.GetUInt16(FILTERKEY::kColorSpaceCount, count), kOK);
        EXPECT_EQ(count, c.spaces.size());
        EXPECT_EQ(Bytes(keys, FILTERKEY::kColorSpaces), c.spaces);
        // An ICC profile: its header gives its own size and the "acsp" signature.
        const std::vector<std::uint8_t> profile = Bytes(keys, FILTERKEY::kICCProfile);
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
            // In the picture's pixels (447 x 420), spanning most of it.
            float minX = 447, maxX = 0, minY = 420, maxY = 0;
            for (std::uint32_t k = 0; k < c.clipKnots; ++k) {
                const GRAPHICS::PathPoint a = path->GetKnot(0, k).anchor;
                EXPECT_TRUE(a.x >= 0 && a.x <= 447 && a.y >= 0 && a.y <= 420) << a.x << "," << a.y;
                minX = std::min(minX, a.x), maxX = std::max(maxX, a.x);
                minY = std::min(minY, a.y), maxY = std::max(maxY, a.y);
            }
            EXPECT_TRUE(maxX - minX > 447 / 2 && maxY - minY > 420 / 2);
        }
    }
}
