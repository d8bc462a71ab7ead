// A picture that names an installed font without embedding it comes out with that very font, on both paths.
#include "CorpusFiles.h"
#include "PluginHost.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <memory>

using namespace BRASK;
using BRASK::TEST::Placement;
using BRASK::TEST::PluginHost;

namespace {

// The pdffonts line of the font whose name ends with `name` (subset prefixes aside), or empty.
std::string FontLine(const std::string& pdf, const std::string& name) {
    const std::string listing = TEST::Capture("pdffonts '" + pdf + "'");
    std::size_t start = 0;
    for (std::size_t end; (end = listing.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = listing.substr(start, end - start);
        const std::string first = line.substr(0, line.find(' '));
        if (first.size() >= name.size() && first.compare(first.size() - name.size(), name.size(), name) == 0)
            return line;
    }
    return {};
}

} // namespace

TEST(FontsByName, InstalledTrueTypeFontIsEmbeddedItself) {
    // DejaVu Sans Bold is a TrueType font (fonts-dejavu-core); a substitute would be a Type 1 font.
    const std::string eps = (PluginHost::Instance().OutputFolder() / "named-font.eps").string();
    std::ofstream(eps) << "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 300 60\n"
                          "%%DocumentNeededResources: font DejaVuSans-Bold\n%%EndComments\n"
                          "/DejaVuSans-Bold findfont 28 scalefont setfont 10 20 moveto (Stubbed font) show\n"
                          "showpage\n%%EOF\n";
    for (const bool interpreter : {false, true}) {
        SCOPED_TRACE(interpreter ? "interpreter" : "converter");
        Placement placement = PluginHost::Instance().Place(eps, interpreter);
        ASSERT_EQ(placement.status, kOK);
        ASSERT_NE(placement.connectionSpace, nullptr);
        const std::string pdf =
            PluginHost::Instance().SavePDF(placement, interpreter ? "font-i.pdf" : "font-c.pdf");
        const std::string line = FontLine(pdf, "DejaVuSans-Bold");
        ASSERT_FALSE(line.empty()) << TEST::Capture("pdffonts '" + pdf + "'");
        EXPECT_NE(line.find("TrueType"), std::string::npos) << line;
        EXPECT_NE(line.find(" yes "), std::string::npos) << line; // embedded
        EXPECT_NE(TEST::Capture("pdftotext '" + pdf + "' -").find("Stubbed font"), std::string::npos);
    }
}
