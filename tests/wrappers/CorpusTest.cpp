// Every corpus EPS through both wrappers, as the plug-in drives them: through the interpreter's data provider
// entry point and through the converter with the plug-in's job options. (Every corpus SVG goes through the
// converter in the placement suite, tests/integration.)
#include "Corpus.h"
#include "../support/CorpusSkip.h"
#include "EpsSection.h"
#include "PdfInspect.h"
#include "WrapperLibraries.h"

#include <cmath>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>

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
    const std::vector<std::string> expected = ReferenceWords(file.path);
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

// Runs every EPS of the corpus through `convert` (which gives the status and the box the page must equal)
// and judges each PDF; a file that cannot give a correct one must be listed and, when it fails, fail
// cleanly.
void ConvertEveryEps(
    const char* way,
    const std::function<int32_t(const CorpusFile&, const std::string& pdf, std::optional<Box>& box)>& convert,
    const char* version) {
    TempDir dir;
    const std::string pdf = (dir.Path() / "out.pdf").string();
    int count = 0, passed = 0;
    for (const CorpusFile& file : LoadCorpus()) {
        if (file.svg)
            continue;
        ++count;
        std::optional<Box> box;
        const int32_t status = convert(file, pdf, box);
        std::string problem = status != 0 ? "status " + std::to_string(status) : CheckEpsPdf(file, box, pdf);
        if (status != 0) {
            EXPECT_FALSE(FileExists(pdf)) << file.relativePath << ": a failed job left its output";
        } else if (problem.empty() && version != nullptr && InspectPdf(pdf).version != version) {
            problem = "job options not applied";
        }
        unlink(pdf.c_str());
        const auto broken = KnownBroken().find(file.relativePath);
        if (problem.empty())
            ++passed;
        else if (broken != KnownBroken().end())
            std::cout << "  known broken: " << file.relativePath << " (" << broken->second << "): " << problem
                      << "\n";
        else
            ADD_FAILURE() << file.relativePath << ": " << problem;
    }
    std::cout << way << ": " << passed << " of " << count << " EPS files pass\n";
    EXPECT_GT(count, 90);
}

} // namespace

TEST(CorpusTest, EveryEpsDistilsThroughTheInterpreterDataProviderPath) {
    BRASK_SKIP_WITHOUT_CORPUS();
    BRASK_REQUIRE_JAWS();
    ConvertEveryEps(
        "interpreter",
        [](const CorpusFile& file, const std::string& pdf, std::optional<Box>& box) {
            box = file.box; // none: the plug-in has no box to send
            return box ? DistilEps(file.path, pdf, box->llx, box->lly, box->urx, box->ury)
                       : kJawsBadParameter;
        },
        "1.7");
}

TEST(CorpusTest, EveryEpsConvertsThroughTheConverterWithThePluginJobOptions) {
    BRASK_SKIP_WITHOUT_CORPUS();
    BRASK_REQUIRE_CALLAS();
    TempDir dir;
    const std::string options = (dir.Path() / "options.joboptions").string();
    WriteBytes(options, JobOptions());
    ConvertEveryEps(
        "converter",
        [&](const CorpusFile& file, const std::string& pdf, std::optional<Box>& box) {
            // The converter crops to the box the plug-in's DSC reader gives (the high-resolution one when
            // there is one), so the page is compared with that box.
            std::string error;
            if (const auto section = BRASK::WRAPPERS::ReadEpsSection(file.path, error);
                section && section->box)
                box = Box{section->box->left, section->box->bottom, section->box->right, section->box->top};
            return SaveAsPdf(file.path, pdf, true, options.c_str());
        },
        "1.4");
}

TEST(CorpusTest, EpsimportOverTheCorpusLeavesItsTemporaryFolderAsItWas) {
    // Both conversion paths and the raster preview, each in a process of its own with a private TMPDIR:
    // the folders the plug-in and the wrappers make there, and the interpreter processes' own, are gone
    // when the process ends.
    TempDir tmp;
    std::string files;
    std::string eps;
    for (const CorpusFile& file : LoadCorpus()) {
        files += " " + ShellQuote(file.path);
        if (eps.empty() && !file.svg && file.box)
            eps = file.path;
    }
    const std::string run = "TMPDIR=" + ShellQuote(tmp.Path().string()) + " " + ShellQuote(BRASK_EPSIMPORT);
    for (const std::string& arguments :
         {files, " --interpreter" + files,
          " --preview " + ShellQuote((tmp.Path() / "preview.png").string()) + " " + ShellQuote(eps)}) {
        int code = 0;
        RunCommand(run + arguments + " >/dev/null 2>&1", code);
        EXPECT_NE(code, -1) << arguments.substr(0, 40);
        std::filesystem::remove(tmp.Path() / "preview.png");
        EXPECT_EQ(tmp.Files(), std::vector<std::string>()) << arguments.substr(0, 40);
    }
}
