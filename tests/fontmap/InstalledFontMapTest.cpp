// The font map straight from fontconfig, and Ghostscript using it.
#include "../support/TempDir.h"

#include "fontmap/StubFontMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

using namespace BRASK::FONTMAP;

namespace {

const std::string kMicroHei = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";

std::string Output(const std::string& command, int& status) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        status = -1;
        return output;
    }
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        output += buffer;
    status = pclose(pipe);
    return output;
}

} // namespace

TEST(InstalledFontMap, EveryFaceByPostScriptNameAndCollectionsAsCIDFonts) {
    const StubFontMap map = ReadInstalledFontMap();
    auto font = [&](const std::string& name) {
        return std::find_if(map.fonts.begin(), map.fonts.end(),
                            [&](const FontEntry& f) { return f.name == name; });
    };
    ASSERT_NE(font("DejaVuSans-Bold"), map.fonts.end());
    EXPECT_EQ(font("DejaVuSans-Bold")->path, "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf");
    ASSERT_NE(font("NimbusSans-Regular"), map.fonts.end());
    EXPECT_EQ(font("WenQuanYiMicroHei")->path, kMicroHei);
    EXPECT_EQ(font("WenQuanYiMicroHeiMono"), map.fonts.end());
    EXPECT_EQ(std::count_if(map.problems.begin(), map.problems.end(),
                            [](const std::string& p) { return p.rfind("WenQuanYiMicroHeiMono: ", 0) == 0; }),
              1);
    const auto mono = std::find_if(map.cidFonts.begin(), map.cidFonts.end(),
                                   [](const CIDFontEntry& f) { return f.name == "WenQuanYiMicroHeiMono"; });
    ASSERT_NE(mono, map.cidFonts.end());
    EXPECT_EQ(mono->subfont, 1);
    // Western fonts are no CIDFonts.
    EXPECT_TRUE(std::none_of(map.cidFonts.begin(), map.cidFonts.end(),
                             [](const CIDFontEntry& f) { return f.name.rfind("DejaVu", 0) == 0; }));
    std::set<std::string> names;
    for (const auto& entry : map.fonts)
        EXPECT_TRUE(names.insert(entry.name).second) << entry.name;
    EXPECT_NE(std::find(map.fontFolders.begin(), map.fontFolders.end(), "/usr/share/fonts/truetype/wqy"),
              map.fontFolders.end());
}

TEST(InstalledFontMap, GhostscriptEmbedsInstalledFacesNamedInAnEps) {
    BRASK::TEST::TempDir temp;
    const GhostscriptFontFiles files =
        WriteGhostscriptFontFiles(ReadInstalledFontMap(), (temp.Path() / "gs").string());
    ASSERT_TRUE(files.ok);
    const auto eps = temp.Path() / "named.eps";
    std::ofstream(eps)
        << "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 300 100\n"
           "/DejaVuSerif-BoldItalic findfont 20 scalefont setfont 10 10 moveto (Serif) show\n"
           "/WenQuanYiMicroHei-UniGB-UCS2-H findfont 20 scalefont setfont 10 50 moveto <4F60597D> "
           "show\nshowpage\n";
    auto distil = [&](const std::vector<std::string>& arguments, const std::string& name) {
        std::string command = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -dEPSCrop";
        for (const auto& argument : arguments)
            command += " '" + argument + "'";
        const auto pdf = temp.Path() / name;
        command += " -sOutputFile='" + pdf.string() + "' '" + eps.string() + "'";
        int status = 0;
        const std::string log = Output(command, status);
        EXPECT_EQ(status, 0) << log;
        return Output("pdffonts '" + pdf.string() + "'", status);
    };
    const std::string fonts = distil(files.arguments, "named.pdf");
    EXPECT_NE(fonts.find("+DejaVuSerif-BoldItalic "), std::string::npos) << fonts;
    EXPECT_NE(fonts.find("+WenQuanYiMicroHei "), std::string::npos) << fonts;
    // Ghostscript's own font search finds the simple font but not the CIDFont.
    const std::string own = distil({}, "own.pdf");
    EXPECT_EQ(own.find("+WenQuanYiMicroHei "), std::string::npos) << own;
}
