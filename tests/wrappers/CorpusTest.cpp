// Every corpus file through both wrappers, as the plug-in drives them: EPS through the interpreter's data
// provider entry point and through the converter with the plug-in's job options; SVG through the converter.
#include "Corpus.h"
#include "../support/CorpusSkip.h"
#include "EpsSection.h"
#include "PdfInspect.h"
#include "WrapperLibraries.h"

#include "../support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>

using namespace BRASK::TEST;

namespace {

// Corpus files that cannot give a correct PDF, and why. Each is still run: it must fail cleanly (no output)
// or, when it does convert, pass the same checks.
const std::map<std::string, std::string>& KnownBroken() {
    static const std::map<std::string, std::string> broken = {
        {"eps-plain/ghostpdl__escher.ps", "no %%BoundingBox: a bare PostScript program, not an EPS"},
        {"eps-photoshop/marcel__photoshop.eps",
         "%%BoundingBox: 0 0 0 0 (a 1 x 1 px image; only the HiRes box has a size)"},
        {"eps-binary-preview/filetype__fixture.eps", "empty artwork: every box is 0 0 0 0"},
        {"eps-atend/pillow__1_boundingbox_after_imagedata.eps",
         "%%BoundingBox: (atend) with no value in the trailer (only %%HiResBoundingBox gives a size)"},
        {"eps-atend/pillow__zero_bb_eof_before_boundingbox.eps",
         "its (atend) box comes only after %%EOF, where DSC readers stop looking"},
    };
    return broken;
}

const std::vector<std::string>& CachedReferenceWords(const CorpusFile& file) {
    static std::mutex lock;
    static std::map<std::string, std::vector<std::string>> cache;
    std::lock_guard<std::mutex> guard(lock);
    auto it = cache.find(file.path);
    if (it == cache.end())
        it = cache.emplace(file.path, ReferenceWords(file.path)).first;
    return it->second;
}

// Empty when the PDF passes every check; otherwise the first reason it does not.
std::string CheckEpsPdf(const CorpusFile& file, const std::optional<Box>& box, const std::string& pdf) {
    std::string report;
    if (!QpdfAccepts(pdf, report))
        return "qpdf --check: " + report.substr(0, 200);
    const PdfFacts facts = InspectPdf(pdf);
    if (!facts.ok)
        return "unreadable PDF: " + facts.error;
    if (facts.pages != 1)
        return "pages: " + std::to_string(facts.pages);
    if (box) {
        const double w = std::fabs(box->urx - box->llx), h = std::fabs(box->ury - box->lly);
        if (std::fabs((facts.urx - facts.llx) - w) > 0.5 || std::fabs((facts.ury - facts.lly) - h) > 0.5)
            return "page " + std::to_string(facts.urx - facts.llx) + " x " +
                   std::to_string(facts.ury - facts.lly) + " differs from the bounding box " +
                   std::to_string(w) + " x " + std::to_string(h);
    }
    const std::vector<std::string>& expected = CachedReferenceWords(file);
    if (!expected.empty()) {
        const std::vector<std::string> got = Words(PdfToText(pdf));
        std::size_t common = 0;
        for (const std::string& word : got)
            common += std::binary_search(expected.begin(), expected.end(), word) ? 1 : 0;
        if (common == 0)
            return "no extractable text (expected e.g. \"" + expected.front() + "\")";
    }
    if (!facts.AllFontsEmbedded)
        return "a font is not embedded";
    return {};
}

struct Tally {
    int passed = 0;
    int brokenAsListed = 0;
    double milliseconds = 0;
};

// `box`: the box the job was cropped to, which the page must equal.
void Judge(const CorpusFile& file, const std::optional<Box>& box, int32_t status, const std::string& pdf,
           double ms, Tally& tally) {
    tally.milliseconds += ms;
    const auto broken = KnownBroken().find(file.relativePath);
    std::string problem;
    if (status != 0)
        problem = "status " + std::to_string(status);
    else
        problem = CheckEpsPdf(file, box, pdf);
    if (status != 0) {
        EXPECT_FALSE(FileExists(pdf)) << file.relativePath << ": a failed job left its output";
    }
    if (problem.empty()) {
        ++tally.passed;
        return;
    }
    if (broken != KnownBroken().end()) {
        ++tally.brokenAsListed;
        std::cout << "  known broken: " << file.relativePath << " (" << broken->second << "): " << problem
                  << "\n";
        return;
    }
    ADD_FAILURE() << file.relativePath << ": " << problem;
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

TEST(CorpusTest, EveryEpsDistilsThroughTheInterpreterDataProviderPath) {
    BRASK_SKIP_WITHOUT_CORPUS();
    ASSERT_NE(Jaws(), nullptr);
    ASSERT_EQ(StartJaws(), kJawsOK);
    TempDir dir;
    Tally tally;
    int count = 0;
    for (const CorpusFile& file : LoadCorpus()) {
        if (file.svg)
            continue;
        ++count;
        const std::string pdf = (dir.Path() / "out.pdf").string();
        if (!file.box) { // the plug-in has no box to send
            ASSERT_TRUE(KnownBroken().count(file.relativePath))
                << file.relativePath << " has no bounding box";
            ++tally.brokenAsListed;
            continue;
        }
        const auto start = std::chrono::steady_clock::now();
        const int32_t status =
            DistilEps(file.path, pdf, file.box->llx, file.box->lly, file.box->urx, file.box->ury);
        Judge(file, file.box, status, pdf, Since(start), tally);
        unlink(pdf.c_str());
    }
    std::cout << "interpreter: " << tally.passed << " of " << count << " EPS files pass, "
              << tally.brokenAsListed << " known broken; distilling took " << tally.milliseconds
              << " ms in all\n";
    EXPECT_GT(count, 90);
}

TEST(CorpusTest, EveryEpsConvertsThroughTheConverterWithThePluginJobOptions) {
    ASSERT_NE(Callas(), nullptr);
    ASSERT_EQ(Callas()->InitCallas(nullptr, nullptr), kCallasOK);
    TempDir dir;
    const std::string options = (dir.Path() / "options.joboptions").string();
    WriteFile(options, PluginJobOptions());
    Tally tally;
    int count = 0;
    for (const CorpusFile& file : LoadCorpus()) {
        if (file.svg)
            continue;
        ++count;
        const std::string pdf = (dir.Path() / "out.pdf").string();
        const auto start = std::chrono::steady_clock::now();
        const int32_t status = Callas()->SaveAsPDF(file.path.c_str(), options.c_str(), nullptr, nullptr,
                                                   nullptr, nullptr, 0, 1, pdf.c_str());
        // The converter crops to the box the plug-in's DSC reader gives (the high-resolution one when there
        // is one), so the page is compared with that box.
        std::string error;
        std::optional<Box> box;
        if (const auto section = BRASK::WRAPPERS::ReadEpsSection(file.path, error); section && section->box)
            box = Box{section->box->left, section->box->bottom, section->box->right, section->box->top};
        Judge(file, box, status, pdf, Since(start), tally);
        if (status == 0) {
            EXPECT_EQ(InspectPdf(pdf).version, "1.4") << file.relativePath << ": job options not applied";
        }
        unlink(pdf.c_str());
    }
    std::cout << "converter: " << tally.passed << " of " << count << " EPS files pass, "
              << tally.brokenAsListed << " known broken; converting took " << tally.milliseconds
              << " ms in all\n";
}

TEST(CorpusTest, EverySvgGivesAPageOfItsIntrinsicSize) {
    BRASK_SKIP_WITHOUT_CORPUS();
    ASSERT_NE(Callas(), nullptr);
    ASSERT_EQ(Callas()->InitCallas(nullptr, nullptr), kCallasOK);
    TempDir dir;
    int count = 0, passed = 0;
    for (const CorpusFile& file : LoadCorpus()) {
        if (!file.svg)
            continue;
        ++count;
        const std::string pdf = (dir.Path() / "out.pdf").string();
        const std::string reference = (dir.Path() / "reference.pdf").string();
        const int32_t status = Callas()->SaveAsPDF(file.path.c_str(), nullptr, nullptr, nullptr, nullptr,
                                                   nullptr, 0, 0, pdf.c_str());
        int code = 0;
        unlink(reference.c_str());
        RunCommand("rsvg-convert -f pdf -o " + Quote(reference) + " " + Quote(file.path) + " 2>/dev/null",
                   code);
        const PdfFacts expected = InspectPdf(reference);
        if (!expected.ok) { // librsvg itself cannot read it: the converter must fail cleanly
            EXPECT_NE(status, 0) << file.relativePath;
            EXPECT_FALSE(FileExists(pdf)) << file.relativePath;
            std::cout << "  unreadable SVG: " << file.relativePath << "\n";
            continue;
        }
        ASSERT_EQ(status, 0) << file.relativePath;
        std::string report;
        EXPECT_TRUE(QpdfAccepts(pdf, report)) << file.relativePath << ": " << report;
        const PdfFacts got = InspectPdf(pdf);
        ASSERT_TRUE(got.ok) << file.relativePath << ": " << got.error;
        const bool sameSize = std::fabs((got.urx - got.llx) - (expected.urx - expected.llx)) <= 0.5 &&
                              std::fabs((got.ury - got.lly) - (expected.ury - expected.lly)) <= 0.5;
        EXPECT_TRUE(sameSize) << file.relativePath << ": " << got.urx - got.llx << " x " << got.ury - got.lly
                              << " against librsvg's " << expected.urx - expected.llx << " x "
                              << expected.ury - expected.lly;
        passed += sameSize ? 1 : 0;
        unlink(pdf.c_str());
    }
    std::cout << "converter: " << passed << " of " << count << " SVG files pass\n";
    EXPECT_GT(count, 30);
}

TEST(CorpusTest, EpsimportOverTheCorpusLeavesItsTemporaryFolderAsItWas) {
    // Both conversion paths and the raster preview, each in a process of its own with a private TMPDIR:
    // the folders the plug-in and the wrappers make there, and the interpreter processes' own, are gone
    // when the process ends.
    TempDir tmp;
    std::string files;
    std::string eps;
    for (const CorpusFile& file : LoadCorpus()) {
        files += " " + Quote(file.path);
        if (eps.empty() && !file.svg && file.box)
            eps = file.path;
    }
    const std::string run = "TMPDIR=" + Quote(tmp.Path().string()) + " " + Quote(BRASK_EPSIMPORT);
    for (const std::string& arguments :
         {files, " --interpreter" + files,
          " --preview " + Quote((tmp.Path() / "preview.png").string()) + " " + Quote(eps)}) {
        int code = 0;
        RunCommand(run + arguments + " >/dev/null 2>&1", code);
        EXPECT_NE(code, -1) << arguments.substr(0, 40);
        std::filesystem::remove(tmp.Path() / "preview.png");
        EXPECT_EQ(tmp.Files(), std::vector<std::string>()) << arguments.substr(0, 40);
    }
}
