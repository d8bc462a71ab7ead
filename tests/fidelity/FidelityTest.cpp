// Every EPS of the shared corpus placed on both paths (one epsimport process per path), its PDF rendered by
// poppler at 72 dpi and compared with the same render of the PDF that `gs -dEPSCrop` writes from the file.
//
// Renders look alike as LookAlike (support/PdfRaster.h) says.
// A file that differs more is compared again with gs distilling at the path's own resolution (2400 dpi on
// the converter path, 288 dpi on the interpreter path): hairlines, hatching and images drawn pixel for pixel
// then fall on the same device pixels as in the plug-in's PDF; the table lists them as alike at that
// resolution. Files gs cannot crop are compared with gs drawing them on their own box.
#include "../support/Command.h"
#include "../support/CorpusSkip.h"
#include "../support/PdfRaster.h"
#include "../support/TempDir.h"

#include "brask/FilterKeys.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>
#include <vector>

using namespace BRASK::TEST;
namespace fs = std::filesystem;

namespace {

// The two paths, in order, with the resolution each distils at.
const std::map<std::string, int> kPathResolution = {{"converter", 2400}, {"interpreter", 288}};

// Files the plug-in does not place (on either path).
const std::map<std::string, std::string> kNotPlaced = {
    {"filetype__fixture", "%%BoundingBox, %%HiResBoundingBox and %%CropBox all 0 0 0 0"},
    {"ghostpdl__escher", "no %%BoundingBox at all"},
    {"pillow__zero_bb_eof_before_boundingbox", "its (atend) box comes only after %%EOF"},
    {"tika__testAI_PS", "a truncated header-only fragment"},
};

// Files Ghostscript does not crop to their box: compared with gs drawing them on their own box instead.
const std::map<std::string, std::string> kGsCannotCrop = {
    {"pillow__zero_bb_trailer", "%%BoundingBox: (atend): gs reads no trailer box"},
    {"tesi__summary", "%%BoundingBox: (atend): gs reads no trailer box"},
    {"metropolis__oscillator", "first line \"%!Postscript\" lacks EPSF: gs crops EPS files only"},
    {"pillow__reqd_showpage", "first line \"%!PS-Adobe-2.0\" lacks EPSF: gs crops EPS files only"},
    {"tesi__figura2_6", "first line \"%!\" lacks EPSF: gs crops EPS files only"},
    {"aspose-page-foss__PAGENET-575_1", "first line lacks EPSF: gs crops EPS files only"},
    {"aspose-page-foss__template", "the wrapped print job sets its own page size, which gs obeys"},
    {"marcel__photoshop", "%%BoundingBox: 0 0 0 0 (the picture is one 0.24 pt pixel): nothing to crop to"},
};

// Files that look different on a path for reasons other than fonts (path "both" for both paths).
const std::map<std::pair<std::string, std::string>, std::string> kKnownDifferences = {
    {{"frontiers2013__logo2", "both"},
     "single-file DCS 2.0: gs draws the plates' images, the plug-in's PDF of the composite is empty"},
    {{"metropolis__oscillator_1", "both"},
     "a 9-page dvips document, not an EPS: the plug-in draws every page into the one picture"},
};

std::string Describe(const RasterDifference& d) {
    char text[160];
    std::snprintf(text, sizeof text, "shift %d,%d mean %.2f tile %.1f size %+d,%+d", d.dx, d.dy,
                  d.blurredMean, d.worstTile, d.widthDelta, d.heightDelta);
    return text;
}

} // namespace

TEST(Fidelity, EveryCorpusEpsLooksAsGhostscriptCropsItOnBothPaths) {
    BRASK_SKIP_WITHOUT_CORPUS();
    const auto files = CorpusFiles({".eps", ".ai", ".ps", ".epsf", ".epsi"});
    ASSERT_FALSE(files.empty());
    std::map<std::string, fs::path> byStem; // epsimport --output-dir names each PDF after its file's stem
    for (const auto& file : files)
        ASSERT_TRUE(byStem.emplace(file.stem().string(), file).second)
            << "two corpus files named " << file.stem();

    TempDir temp;

    // The plug-in's PDFs, one epsimport process per path.
    std::string list;
    for (const auto& file : files)
        list += " " + ShellQuote(file.string());
    std::map<std::string, std::map<std::string, nlohmann::json>> placed; // path -> stem -> JSON line
    for (const auto& [path, resolution] : kPathResolution) {
        const std::string command = std::string(BRASK_EPSIMPORT) +
                                    (path == "interpreter" ? " --interpreter" : "") + " --output-dir " +
                                    ShellQuote((temp.Path() / path).string()) + list + " 2>/dev/null";
        std::istringstream lines(Capture(command));
        for (std::string line; std::getline(lines, line);) {
            const auto json = nlohmann::json::parse(line);
            placed[path][fs::path(json["file"].get<std::string>()).stem().string()] = json;
        }
        ASSERT_EQ(placed[path].size(), files.size()) << path;
    }
    // What the host learns of pictures with a profile, plates and a clipping path, on each path (the
    // interpreter's colour spaces are the ones it met while distilling).
    using namespace BRASK::COLORSPACE;
    const std::tuple<std::string, std::string, std::vector<int>, int, bool, std::string> keys[] = {
        {"laffr__logo2", "converter", {kCMYK}, 557168, false, "null"},
        {"laffr__logo2", "interpreter", {kCMYK}, 557168, false, "null"},
        {"frontiers2013__logo2", "converter", {kCMYK}, 557168, true, "null"},
        {"frontiers2013__logo2", "interpreter", {}, 557168, true, "null"},
        {"magicknet__SwedenHeart", "converter", {kCMYK}, 3144, false, R"({"subpaths":1,"points":12})"},
        {"magicknet__SwedenHeart", "interpreter", {kRGB}, 3144, false, R"({"subpaths":1,"points":12})"}};
    for (const auto& [stem, path, spaces, profileBytes, dcs, clip] : keys) {
        const nlohmann::json& line = placed[path][stem];
        EXPECT_EQ(line["status"], 0) << stem << " " << path;
        EXPECT_EQ(line["colorSpaces"], nlohmann::json(spaces)) << stem << " " << path;
        EXPECT_EQ(line["iccProfileBytes"], profileBytes) << stem << " " << path;
        EXPECT_EQ(std::make_tuple(line["dcs"], line["duotone"], line["vectorMaskedImagery"],
                                  line["imageResolution"]),
                  std::make_tuple(dcs, false, false, true))
            << stem << " " << path;
        EXPECT_EQ(line["clippingPath"], nlohmann::json::parse(clip)) << stem << " " << path;
    }

    // PDFs gs writes (where `resolution` is not negative, 0: its own) and renders of them and the plug-in's,
    // two at a time (the machine has two cores); `source` is a folder of PDFs named by stem.
    struct Render {
        std::string source, stem;
        int resolution = -1;
        std::optional<PdfBox> box; // gs draws on this box instead of its own crop
    };
    std::map<std::string, std::map<std::string, RgbRaster>> rasters; // source -> stem -> render
    std::mutex lock;
    const auto produce = [&](const std::vector<Render>& wanted) {
        std::atomic<std::size_t> next{0};
        const auto worker = [&] {
            for (std::size_t i; (i = next++) < wanted.size();) {
                const Render& r = wanted[i];
                const fs::path pdf = temp.Path() / r.source / (r.stem + ".pdf");
                if (r.resolution >= 0)
                    WriteGhostscriptPdf(byStem.at(r.stem).string(), pdf.string(), r.resolution,
                                        r.box ? &*r.box : nullptr);
                RgbRaster raster = fs::exists(pdf) ? RenderPdf(pdf.string(), pdf.string()) : RgbRaster{};
                std::lock_guard<std::mutex> guard(lock);
                rasters[r.source][r.stem] = std::move(raster);
            }
        };
        std::thread other(worker);
        worker();
        other.join();
    };
    const auto boxOf = [&](const std::string& stem) {
        const auto& json = placed["converter"][stem]["boundingBox"];
        return PdfBox{json.value("left", 0.0), json.value("bottom", 0.0), json.value("right", 0.0),
                      json.value("top", 0.0)};
    };
    for (const std::string folder : {"gs", "gs-converter", "gs-interpreter"})
        fs::create_directories(temp.Path() / folder);

    // Ghostscript's own crop; where its page is not the file's box, gs on that box instead.
    std::vector<Render> wanted;
    for (const auto& [stem, file] : byStem)
        for (const std::string source : {"gs", "converter", "interpreter"})
            wanted.push_back({source, stem, source == "gs" ? 0 : -1, std::nullopt});
    produce(wanted);
    std::set<std::string> ownBox;
    wanted.clear();
    for (const auto& [stem, file] : byStem) {
        const RgbRaster &gs = rasters["gs"][stem], &ours = rasters["converter"][stem];
        if (ours.Empty() || (std::abs(gs.width - ours.width) <= 1 && std::abs(gs.height - ours.height) <= 1))
            continue;
        EXPECT_TRUE(kGsCannotCrop.count(stem))
            << stem << ": gs's page of " << gs.width << " x " << gs.height << " is not the box";
        ownBox.insert(stem);
        if (boxOf(stem).Usable())
            wanted.push_back({"gs", stem, 0, boxOf(stem)});
    }
    produce(wanted);

    // Compare; a file that differs is tried again against gs at the path's resolution.
    std::map<std::pair<std::string, std::string>, RasterDifference> differences;
    std::map<std::pair<std::string, std::string>, std::string> verdicts;
    wanted.clear();
    for (const auto& [stem, file] : byStem) {
        for (const auto& [path, resolution] : kPathResolution) {
            const bool isPlaced = placed[path][stem]["status"] == 0 && !rasters[path][stem].Empty();
            if (!isPlaced) {
                verdicts[{stem, path}] = "not placed";
                continue;
            }
            if (ownBox.count(stem) && !boxOf(stem).Usable()) {
                verdicts[{stem, path}] = "no box to compare on";
                continue;
            }
            const RasterDifference d = CompareRasters(rasters["gs"][stem], rasters[path][stem]);
            differences[{stem, path}] = d;
            if (LookAlike(d))
                verdicts[{stem, path}] = "alike";
            else
                wanted.push_back({"gs-" + path, stem, resolution,
                                  ownBox.count(stem) ? std::optional<PdfBox>(boxOf(stem)) : std::nullopt});
        }
    }
    produce(wanted);

    std::printf("%-45s %-11s %-30s %s\n", "file", "path", "verdict", "difference from gs");
    for (const auto& [stem, file] : byStem) {
        for (const auto& [path, resolution] : kPathResolution) {
            std::string& verdict = verdicts[{stem, path}];
            if (verdict.empty()) {
                const RasterDifference d = CompareRasters(rasters["gs-" + path][stem], rasters[path][stem]);
                verdict = LookAlike(d) ? "alike at " + std::to_string(resolution) + " dpi" : "different";
            }
            std::string reason;
            const nlohmann::json& line = placed[path][stem];
            if (verdict == "not placed") {
                EXPECT_TRUE(kNotPlaced.count(stem)) << stem << " was not placed on the " << path << " path";
                EXPECT_FALSE(line.value("error", "").empty()) << stem << ": a failure must say why";
                reason = kNotPlaced.count(stem) ? kNotPlaced.at(stem) : "";
            } else if (verdict == "different") {
                for (const std::string& key : {path, std::string("both")})
                    if (kKnownDifferences.count({stem, key}))
                        reason = kKnownDifferences.at({stem, key});
                EXPECT_FALSE(reason.empty())
                    << stem << " on the " << path
                    << " path looks unlike gs's: " << Describe(differences[{stem, path}]);
            } else {
                EXPECT_FALSE(kNotPlaced.count(stem)) << stem << " is placed now: take it off the list";
            }
            // The size the host learns is the PDF's page: the 72-dpi render covers it to a pixel.
            const RgbRaster& page = rasters[path][stem];
            EXPECT_TRUE(page.Empty() || (std::abs(page.width - line["size"]["width"].get<double>()) <= 1 &&
                                         std::abs(page.height - line["size"]["height"].get<double>()) <= 1))
                << stem << " " << path << ": page " << page.width << " x " << page.height << ", "
                << line["size"];
            if (ownBox.count(stem))
                reason += (reason.empty() ? "" : "; ") + std::string("gs on the file's box: ") +
                          (kGsCannotCrop.count(stem) ? kGsCannotCrop.at(stem) : "");
            std::printf("%-45s %-11s %-30s %s%s%s\n", stem.substr(0, 45).c_str(), path.c_str(),
                        verdict.c_str(),
                        differences.count({stem, path}) ? Describe(differences[{stem, path}]).c_str() : "",
                        reason.empty() ? "" : "  -- ", reason.c_str());
        }
    }
}
