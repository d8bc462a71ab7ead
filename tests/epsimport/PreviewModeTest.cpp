// epsimport --preview, run as a program: the colours drawn (CMYK ones through the profile transform), the
// PNG's row order and the failures.
#include "../raster/GsReference.h"
#include "../raster/LcmsReference.h"
#include "ToolRun.h"

#include "PngRowRaster.h"

using namespace BRASK;
using BRASK::TEST::RgbaImage;

// With a TMPDIR of its own, which the run must leave empty.
class Preview : public BRASK::TEST::EpsimportTest {
protected:
    int RunTool(const std::string& arguments) {
        std::filesystem::create_directory(Path("tmp"));
        const int status =
            BRASK::TEST::RunEpsimport(arguments + " >/dev/null", false, "TMPDIR=" + Path("tmp")).exitStatus;
        EXPECT_TRUE(std::filesystem::is_empty(Path("tmp"))) << arguments;
        return status;
    }
};

TEST_F(Preview, RgbAndCmykPreviewsHoldTheColourDrawnAndCoverOnlyTheArt) {
    const std::string profiles = std::string(BRASK_APP_DIR) + "/Profiles/";
    const std::uint8_t cyan[4] = {255, 0, 0, 0};
    const std::vector<std::uint8_t> shown =
        BRASK::TEST::LcmsDirect(profiles + "BraskGenericCMYK.icc", TYPE_CMYK_8,
                                profiles + "BraskGenericRGB.icc", TYPE_RGB_8, cyan, 3, 1);
    const std::array<std::uint8_t, 3> shownCyan = {shown[0], shown[1], shown[2]};

    // The bottom left quarter of a 100 x 50 point page is filled. At 2100 dpi (4.25 million pixels) the rows
    // are translated in more than one run; 100 x 50 points are 2916.7 x 1458.3 pixels there, truncated.
    const std::string header = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 50\n";
    const std::string blue = WriteFile("blue.eps", header + "0 0 1 setrgbcolor 0 0 50 25 rectfill\n"),
                      cyanEps = WriteFile("cyan.eps", header + "1 0 0 0 setcmykcolor 0 0 50 25 rectfill\n");
    const std::tuple<std::string, std::string, int, int, int, std::array<std::uint8_t, 3>> cases[] = {
        {blue, "", 150, 208, 104, {0, 0, 255}},
        {cyanEps, "--cmyk ", 72, 100, 50, shownCyan},
        {cyanEps, "--cmyk ", 2100, 2916, 1458, shownCyan}};
    for (const auto& [eps, options, dpi, width, height, expected] : cases) {
        SCOPED_TRACE(options + std::to_string(dpi) + " dpi");
        ASSERT_EQ(RunTool("--preview " + Path("p.png") + " " + options + "--dpi " + std::to_string(dpi) +
                          " " + eps),
                  0);
        RgbaImage image;
        ASSERT_TRUE(BRASK::TEST::ReadPng(Path("p.png"), image));
        ASSERT_EQ(std::pair(image.width, image.height), std::pair(width, height));
        const std::int32_t x = image.width / 5, y = image.height * 4 / 5, bottom = image.height - 1;
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(std::pair(std::abs(image.At(x, y)[c] - expected[c]) <= 1,
                                std::abs(image.At(x, bottom)[c] - expected[c]) <= 1),
                      std::pair(true, true))
                << c << ": " << int(image.At(x, y)[c]) << ", " << int(image.At(x, bottom)[c]);
        // Opaque inside the fill, transparent outside it.
        EXPECT_EQ(std::tuple(image.At(x, y)[3], image.At(x, bottom)[3], image.At(x, image.height / 5)[3],
                             image.At(image.width * 4 / 5, bottom)[3]),
                  std::tuple(255, 255, 0, 0));
    }
}

TEST_F(Preview, PngRowsGoOutInOrderWhateverOrderTheyCompleteInAndFailuresLeaveNoPng) {
    const std::string path = Path("rows.png");
    // Rows complete bottom first, one channel at a time over all rows; pixel (x, y) is (x, y, x + y, 10 y).
    {
        auto png = BRASK::TEST::New<EPSIMPORT::PngRowRaster>(path);
        ASSERT_EQ(png->Init(5, 4, 3), kOK);
        ASSERT_EQ(png->AddExtraChannel(GRAPHICS::kAlphaChannelType), kOK);
        const auto value = [](int channel, int x, int y) {
            return static_cast<std::uint8_t>(std::array{x, y, x + y, 10 * y}[channel]);
        };
        for (int channel = 0; channel < 4; ++channel) {
            GRAPHICS::IRasterChannel* plane =
                channel < 3 ? png->GetColorChannel(channel) : png->GetExtraChannel(0);
            ASSERT_NE(plane, nullptr);
            for (int y = 3; y >= 0; --y) {
                std::uint8_t row[5];
                for (int x = 0; x < 5; ++x)
                    row[x] = value(channel, x, y);
                ASSERT_EQ(plane->WriteRow(y, row, 5), kOK);
            }
        }
        EXPECT_FALSE(std::ifstream(path).good()) << "the PNG has its name before it is complete";
        std::string error;
        ASSERT_TRUE(png->Finish(error)) << error;
        RgbaImage image;
        ASSERT_TRUE(BRASK::TEST::ReadPng(path, image));
        ASSERT_EQ(std::pair(image.width, image.height), std::pair(5, 4));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x)
                for (int c = 0; c < 4; ++c)
                    ASSERT_EQ(image.At(x, y)[c], value(c, x, y)) << x << "," << y << "," << c;
    }
    // A raster left incomplete, or with a row written again after it went out, leaves the old file alone.
    for (const bool again : {false, true}) {
        auto png = BRASK::TEST::New<EPSIMPORT::PngRowRaster>(path);
        ASSERT_EQ(png->Init(5, 4, 3), kOK);
        const std::uint8_t row[5] = {};
        for (int y = 0; y < (again ? 4 : 3); ++y)
            for (int c = 0; c < 3; ++c)
                png->GetColorChannel(c)->WriteRow(y, row, 5);
        if (again) {
            EXPECT_NE(png->GetColorChannel(0)->WriteRow(0, row, 5), kOK);
        }
        std::string error;
        EXPECT_FALSE(png->Finish(error));
        EXPECT_FALSE(error.empty());
        RgbaImage image;
        ASSERT_TRUE(BRASK::TEST::ReadPng(path, image)) << "the earlier PNG is gone";
        EXPECT_EQ(image.At(4, 3)[3], 30);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(mTemp.Path()), {}), 1)
        << "scratch files stayed";
    EXPECT_EQ(RunTool("--preview " + Path("none.png") + " " + Path("missing.eps")), 1);
    const std::string broken =
        WriteFile("broken.eps", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\nnosuchoperator\n");
    EXPECT_EQ(RunTool("--preview " + Path("none.png") + " " + broken), 1);
    EXPECT_FALSE(std::ifstream(Path("none.png")).good());
}
