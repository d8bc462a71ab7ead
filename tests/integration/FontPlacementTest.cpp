// Pictures that name fonts without embedding them, placed on both paths: the fonts in the PDF (pdffonts) and
// its pixels against Ghostscript's own crop of the file. (The substitution warnings: tests/epsimport.)
#include "../support/Command.h"
#include "../support/PdfRaster.h"
#include "PluginHost.h"

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <unistd.h>

using namespace BRASK;
using BRASK::TEST::Placement;
using BRASK::TEST::Placing;
using BRASK::TEST::PluginHost;

namespace {

struct PdfFont {
    std::string name; // without the subset prefix
    std::string type;
    bool embedded = false;
    bool operator==(const PdfFont&) const = default;
    friend void PrintTo(const PdfFont& font, std::ostream* out) {
        *out << font.name << " (" << font.type << (font.embedded ? ", embedded)" : ")");
    }
};

// The fonts pdffonts lists (name, type, encoding, emb, sub, uni, object, generation), without subset
// prefixes.
std::vector<PdfFont> FontsOf(const std::string& pdf) {
    static const std::regex row(
        R"(^(?:[A-Z]{6}\+)?(\S+) +(.+?) +\S+ +(yes|no) +(?:yes|no) +(?:yes|no) +\d+ +\d+$)");
    std::vector<PdfFont> fonts;
    std::istringstream lines(TEST::Capture("pdffonts '" + pdf + "' 2>/dev/null"));
    std::smatch match;
    for (std::string line; std::getline(lines, line);)
        if (std::regex_match(line, match, row))
            fonts.push_back({match[1], match[2], match[3] == "yes"});
    return fonts;
}

std::string WriteEps(const std::string& name, const std::string& body) {
    const std::string path = (PluginHost::Instance().OutputFolder() / name).string();
    std::ofstream(path) << "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 240 40\n%%EndComments\n"
                        << body << "\nshowpage\n%%EOF\n";
    return path;
}

} // namespace

TEST_F(Placing, EachFontKindOnBothPaths) {
    struct Row {
        const char* name;
        std::string body;
        PdfFont font;         // the font the PDF holds, on both paths
        bool likeGhostscript; // the pixels of gs's own crop; otherwise gs draws another font (no stub map)
    } rows[] = {
        // Ghostscript's base fonts with their own encodings: Greek letters and dingbats, not blanks.
        {"symbol",
         "/Symbol findfont 24 scalefont setfont 10 12 moveto (abgdmp\\261DW) show",
         {"Symbol", "Type 1C", true},
         true},
        {"dingbats",
         "/ZapfDingbats findfont 24 scalefont setfont 10 12 moveto (3456789HI) show",
         {"ZapfDingbats", "Type 1C", true},
         true},
        // A variant name only the stub tree gives (the joined form of DejaVuSerif-Bold): the installed face.
        {"stub-variant",
         "/DejaVuSerifBold findfont 24 scalefont setfont 10 12 moveto (Stub variant) show",
         {"DejaVuSerif-Bold", "TrueType", true},
         false},
        // A Chinese TrueType font as a CIDFont with a Unicode CMap.
        {"cjk-cidfont",
         "/WenQuanYiMicroHei-UniGB-UCS2-H findfont 24 scalefont setfont 10 10 moveto <4F60597D4E16754C> show",
         {"WenQuanYiMicroHei", "CID TrueType", true},
         false},
        // Installed under no name: substituted, as gs does.
        {"missing",
         "/NoSuchFont-Regular findfont 24 scalefont setfont 10 12 moveto (Missing font) show",
         {"NoSuchFont-Regular", "Type 1C", true},
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string eps = WriteEps(std::string(row.name) + ".eps", row.body);
        const std::string reference =
            (PluginHost::Instance().OutputFolder() / (std::string(row.name) + "-gs.pdf")).string();
        ASSERT_TRUE(TEST::WriteGhostscriptPdf(eps, reference));
        const TEST::RgbRaster gs = TEST::RenderPdf(reference, reference);
        std::map<bool, TEST::RgbRaster> renders;
        for (const bool interpreter : {false, true}) {
            SCOPED_TRACE(interpreter ? "interpreter" : "converter");
            Placement placement = PluginHost::Instance().Place(eps, interpreter);
            ASSERT_EQ(placement.status, kOK);
            ASSERT_NE(placement.connectionSpace, nullptr);
            const std::string pdf = PluginHost::Instance().SavePDF(
                placement, std::string(row.name) + (interpreter ? "-i.pdf" : "-c.pdf"));
            const auto fonts = FontsOf(pdf);
            EXPECT_EQ(fonts, std::vector<PdfFont>{row.font});

            renders[interpreter] = TEST::RenderPdf(pdf, pdf);
            EXPECT_GT(renders[interpreter].Ink(), 150u) << "the glyphs are not there";
            const TEST::RasterDifference fromGs = TEST::CompareRasters(gs, renders[interpreter]);
            EXPECT_EQ(TEST::LookAlike(fromGs), row.likeGhostscript)
                << "mean " << fromGs.blurredMean << ", tile " << fromGs.worstTile;
        }
        // The same picture looks the same on both paths.
        const TEST::RasterDifference paths = TEST::CompareRasters(renders[false], renders[true]);
        EXPECT_TRUE(TEST::LookAlike(paths)) << "mean " << paths.blurredMean << ", tile " << paths.worstTile;
    } // The interpreter's cidfmap (its per-process RIP folder) keeps the system's entries in front.
    const auto cidfmap = PluginHost::Instance().TemporaryFolder() / ("jaws" + std::to_string(getpid())) /
                         "fontmap" / "cidfmap";
    const std::string system = TEST::ReadFile("/var/lib/ghostscript/fonts/cidfmap");
    ASSERT_FALSE(system.empty());
    EXPECT_EQ(TEST::ReadFile(cidfmap).rfind(system, 0), 0u) << cidfmap;
}
