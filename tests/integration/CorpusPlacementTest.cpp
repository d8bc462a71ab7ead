// Every SVG of the shared corpus placed through the plug-in: a valid PDF whose page is the picture's size, or
// a logged reason.
#include "../support/Command.h"
#include "../support/CorpusSkip.h"
#include "PluginHost.h"
#include "brask/FilterKeys.h"

#include <cstdio>
#include <cstdlib>
#include <regex>

using namespace BRASK;
using BRASK::TEST::LogCapture;
using BRASK::TEST::Placement;
using BRASK::TEST::Placing;
using BRASK::TEST::PluginHost;

namespace {

// Page size in points of the first page, as pdfinfo reports it.
std::pair<double, double> PageSize(const std::string& pdf) {
    const std::string info = TEST::Capture("pdfinfo '" + pdf + "' 2>/dev/null");
    std::smatch match;
    static const std::regex pattern("Page size:\\s+([0-9.]+) x ([0-9.]+) pts");
    if (!std::regex_search(info, match, pattern))
        return {-1, -1};
    return {std::stod(match[1]), std::stod(match[2])};
}

std::string Errors(const LogCapture& log) {
    std::string text;
    for (const auto& record : log.Records())
        if (record.type == kLogTypeError)
            text += record.MessageUTF8() + "; ";
    return text;
}

} // namespace

// Every EPS of the corpus is placed on both paths by the fidelity suite (tests/fidelity).
TEST_F(Placing, EverySVGOfTheCorpusBecomesAPDFOfItsIntrinsicSize) {
    BRASK_SKIP_WITHOUT_CORPUS();
    const auto files = TEST::CorpusFiles({".svg", ".svgz"});
    ASSERT_FALSE(files.empty());
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        mLog.Clear();
        Placement placement = PluginHost::Instance().Place(file.string(), false, true);
        // librsvg's own converter gives the intrinsic size independently of the wrapper.
        const std::string reference = (PluginHost::Instance().OutputFolder() / "reference.pdf").string();
        std::filesystem::remove(reference);
        const bool readable =
            std::system(
                ("rsvg-convert -f pdf -o '" + reference + "' '" + file.string() + "' 2>/dev/null").c_str()) ==
            0;
        if (!readable) {
            // A file librsvg itself refuses: the placement fails with a reason.
            EXPECT_NE(placement.status, kOK);
            EXPECT_FALSE(Errors(mLog).empty());
            std::printf("not placed (svg, librsvg refuses it too): %s: %s\n", file.filename().c_str(),
                        Errors(mLog).c_str());
            continue;
        }
        ASSERT_EQ(placement.status, kOK) << Errors(mLog);
        ASSERT_NE(placement.connectionSpace, nullptr);
        const std::string pdf = PluginHost::Instance().SavePDF(placement, file.stem().string() + "-svg.pdf");
        EXPECT_EQ(std::system(("qpdf --check '" + pdf + "' >/dev/null 2>&1").c_str()), 0);
        const auto [refWidth, refHeight] = PageSize(reference);
        EXPECT_NEAR(placement.Float(FILTERKEY::kWidth), refWidth, 0.5);
        EXPECT_NEAR(placement.Float(FILTERKEY::kHeight), refHeight, 0.5);
        std::filesystem::remove(pdf);
    }
}
