// End to end: the plug-in, loaded as a host loads it, places real pictures through the real wrappers: their
// filter keys on both paths, every SVG of the shared corpus, and placements from several threads at once.
// (The sample picture's keys: tests/epsimport; every EPS of the corpus on both paths: tests/fidelity.)
#include "../support/Command.h"
#include "../support/CorpusSkip.h"
#include "PluginHost.h"

#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <regex>
#include <sstream>
#include <thread>

using namespace BRASK;
using BRASK::TEST::Placement;
using BRASK::TEST::Placing;
using BRASK::TEST::PluginHost;

namespace {

std::string Errors(const TEST::LogCapture& log) {
    std::string text;
    for (const auto& record : log.Records())
        if (record.type == kLogTypeError)
            text += record.MessageUTF8() + "; ";
    return text;
}

struct Job {
    std::string path;
    bool interpreter = false;
    bool svg = false;
};

// What a placement tells the host, as text that compares whole: the status, the size and box keys, the colour
// spaces, whether there is a PDF and its page's size.
std::string PlaceJob(const Job& job) {
    Placement placement = PluginHost::Instance().Place(job.path, job.interpreter, job.svg);
    std::ostringstream out;
    out << std::setprecision(9) << placement.status;
    for (std::int32_t key : {FILTERKEY::kWidth, FILTERKEY::kHeight, FILTERKEY::kLeft, FILTERKEY::kRight,
                             FILTERKEY::kBottom, FILTERKEY::kTop})
        out << ' ' << placement.Float(key);
    for (const std::uint8_t space : placement.Bytes(FILTERKEY::kColorSpaces))
        out << " space " << int(space);
    if (placement.connectionSpace != nullptr) {
        const auto box = placement.connectionSpace->GetPageBox();
        out << " pdf " << (placement.connectionSpace->GetPDFSize() > 0) << ' ' << box.right - box.left << ' '
            << box.top - box.bottom;
    }
    return out.str();
}

} // namespace

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
        EXPECT_EQ(placement.Bytes(FILTERKEY::kICCProfile).size(), c.profileBytes);
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
        // The first page's size in points, as pdfinfo reports it.
        std::smatch size;
        const std::string info = TEST::Capture("pdfinfo '" + reference + "' 2>/dev/null");
        ASSERT_TRUE(std::regex_search(info, size, std::regex("Page size:\\s+([0-9.]+) x ([0-9.]+) pts")));
        EXPECT_NEAR(placement.Float(FILTERKEY::kWidth), std::stod(size[1]), 0.5);
        EXPECT_NEAR(placement.Float(FILTERKEY::kHeight), std::stod(size[2]), 0.5);
        std::filesystem::remove(pdf);
    }
}

TEST_F(Placing, ThreadsGiveTheSameResultsAsOneByOne) {
    BRASK_SKIP_WITHOUT_CORPUS();
    std::vector<Job> jobs;
    const std::string corpus = BRASK_CORPUS_DIR;
    for (const std::string& eps :
         {std::string(BRASK_SOURCE_DIR) + "/samples/sample.eps",
          corpus + "/eps-customcolor/aspose-imaging__Sample.eps", corpus + "/eps-plain/mei__mathematica.eps",
          corpus + "/eps-photoshop/magicknet__SwedenHeart.eps"})
        jobs.insert(jobs.end(), {{eps, false, false}, {eps, true, false}});
    for (const auto& svg : TEST::CorpusFiles({".svg"}))
        if (jobs.size() < 12)
            jobs.push_back({svg.string(), false, true});
    std::vector<std::string> alone;
    for (const Job& job : jobs)
        alone.push_back(PlaceJob(job));

    std::vector<std::string> together(jobs.size());
    std::vector<std::thread> threads;
    constexpr std::size_t kThreads = 4;
    for (std::size_t t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (std::size_t i = t; i < jobs.size(); i += kThreads)
                together[i] = PlaceJob(jobs[i]);
        });
    for (auto& thread : threads)
        thread.join();

    for (std::size_t i = 0; i < jobs.size(); ++i) {
        SCOPED_TRACE(jobs[i].path + (jobs[i].interpreter ? " (interpreter)" : ""));
        // Some corpus SVG files are ones librsvg refuses; they must fail alike.
        EXPECT_TRUE(jobs[i].svg || alone[i].rfind(std::to_string(kOK) + " ", 0) == 0) << alone[i];
        EXPECT_EQ(together[i], alone[i]);
    }
}
