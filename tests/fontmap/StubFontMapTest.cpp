// Font maps from a stub tree that the font device builds, and a real Ghostscript run that uses them.
#include "../fontstubs/StubTreeFixture.h"
#include "../fontstubs/TestFontManager.h"

#include "fontmap/StubFontMap.h"
#include "fontstubs/FontDevice.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace BRASK;
using namespace BRASK::FONTMAP;
using BRASK::TEST::TestFontManager;

namespace {

const std::string kDejaVuBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
const std::string kMicroHei = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";

std::string RunCommand(const std::string& command, int& status) {
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

std::string Quote(const std::string& text) {
    return "'" + text + "'";
}

class StubFontMapTest : public BRASK::TEST::StubTreeFixture {
protected:
    void SetUp() override {
        StubTreeFixture::SetUp();
        ASSERT_TRUE(std::filesystem::exists(kDejaVuBold));
        ASSERT_TRUE(std::filesystem::exists(kMicroHei)) << "needs the package fonts-wqy-microhei";
        mFonts.Add("Arial-BoldMT", kDejaVuBold, XF::kXTrueType, false);
        mFonts.Add("WenQuanYiMicroHei", kMicroHei, XF::kXTrueType, true);
        mFonts.Add("WenQuanYiMicroHeiMono", kMicroHei, XF::kXTrueType, true);
        mFonts.Add("Ryumin-Light-83pv-RKSJ-H", "/nowhere/ryumin.otf", XF::kXComposite, true);
        mFonts.Add("Missing-Font", "/nowhere/missing.ttf", XF::kXTrueType, false);
    }
    std::string DevicePath(const PLUGIN::FontDevice& device) const {
        return "%os%=;" + device.GetFontPathString().GetUTF8String() +
               "%temp%=" + (mTemp.Path() / "tmp").string() + ";%profiles%=" + mApp.string() +
               "/Profiles;%default%+" + (mTemp.Path() / "tmp").string() + ";%ram%!";
    }
    static const FontEntry* FindFont(const StubFontMap& map, const std::string& name) {
        for (const auto& font : map.fonts)
            if (font.name == name)
                return &font;
        return nullptr;
    }
    static const CIDFontEntry* FindCIDFont(const StubFontMap& map, const std::string& name) {
        for (const auto& font : map.cidFonts)
            if (font.name == name)
                return &font;
        return nullptr;
    }
    static std::size_t ProblemsOf(const StubFontMap& map, const std::string& name) {
        return std::count_if(map.problems.begin(), map.problems.end(),
                             [&](const std::string& line) { return line.rfind(name + ": ", 0) == 0; });
    }
    TestFontManager mFonts;
    BRASK::TEST::LogCapture mQuiet; // the composite-font stubs log "Invalid font type"
};

} // namespace

TEST_F(StubFontMapTest, NamesMapToTheFilesTheStubsName) {
    PLUGIN::FontDevice device(mFonts);
    const StubFontMap map = ReadStubFontMap(DevicePath(device));
    EXPECT_EQ(map.stubRoot, Stubs().string());
    ASSERT_FALSE(map.fontFolders.empty());
    EXPECT_EQ(map.fontFolders.front(), "/usr/share/fonts/");

    for (const char* name : {"Arial-BoldMT", "Arial,Bold", "Arial,BoldMT", "ArialBoldMT"}) {
        const FontEntry* font = FindFont(map, name);
        ASSERT_NE(font, nullptr) << name;
        EXPECT_EQ(font->path, kDejaVuBold);
    }
    // The first face of the collection is a font; the second only a CIDFont.
    const FontEntry* hei = FindFont(map, "WenQuanYiMicroHei");
    ASSERT_NE(hei, nullptr);
    EXPECT_EQ(hei->path, kMicroHei);
    EXPECT_EQ(FindFont(map, "WenQuanYiMicroHeiMono"), nullptr);
    EXPECT_EQ(ProblemsOf(map, "WenQuanYiMicroHeiMono"), 1u);
    const CIDFontEntry* mono = FindCIDFont(map, "WenQuanYiMicroHeiMono");
    ASSERT_NE(mono, nullptr);
    EXPECT_EQ(mono->path, kMicroHei);
    EXPECT_EQ(mono->subfont, 1);
    EXPECT_EQ(mono->ordering, "GB1");
    const CIDFontEntry* heiCid = FindCIDFont(map, "WenQuanYiMicroHei");
    ASSERT_NE(heiCid, nullptr);
    EXPECT_EQ(heiCid->subfont, 0);

    // Files in no font folder are reported once per name.
    for (const char* name : {"Missing-Font", "Missing,Font", "MissingFont"})
        EXPECT_EQ(ProblemsOf(map, name), 1u) << name;
    EXPECT_EQ(FindFont(map, "Missing-Font"), nullptr);
    // Composite-font stubs without text have no index line: nothing to map, nothing to report.
    EXPECT_EQ(FindFont(map, "Ryumin-Light"), nullptr);
    EXPECT_EQ(ProblemsOf(map, "Ryumin-Light"), 0u);
    EXPECT_EQ(map.problems.size(), 4u);

    EXPECT_NE(map.FontmapText().find("/Arial,Bold (" + kDejaVuBold + ") ;\n"), std::string::npos);
    EXPECT_NE(map.CidfmapText().find("/WenQuanYiMicroHeiMono << /FileType /TrueType /Path (" + kMicroHei +
                                     ") /SubfontID 1 /CSI [(GB1) 5] >> ;\n"),
              std::string::npos);
}

TEST_F(StubFontMapTest, StaleStubsLeaveNoEntryAndNoComplaint) {
    { PLUGIN::FontDevice first(mFonts); }
    mFonts.families[0].reset(); // Arial-BoldMT uninstalled: its stubs go, its index lines stay
    PLUGIN::FontDevice device(mFonts);
    const StubFontMap map = ReadStubFontMap(DevicePath(device));
    EXPECT_EQ(FindFont(map, "Arial-BoldMT"), nullptr);
    EXPECT_EQ(ProblemsOf(map, "Arial-BoldMT"), 0u);
    EXPECT_NE(FindFont(map, "WenQuanYiMicroHei"), nullptr);
}

TEST_F(StubFontMapTest, HandWrittenStubsThatCannotBeMapped) {
    PLUGIN::FontDevice device(mFonts);
    std::ofstream(Western() / "Broken.ps") << "/Broken  (%psfont%x.ttf) run";
    std::ofstream(Western() / "Empty.ps") << "";
    std::ofstream(Western() / "Orphan.ps") << "/NoSet /FontSet findresource pop /Orphan /Font findresource ";
    std::ofstream(Western() / "_edir_", std::ios::app)
        << "/Broken  (Broken.ps)\n/Empty  (Empty.ps)\n/Orphan  (Orphan.ps)\n/Broken  (Broken.ps)\n"
           "/Escape  (../../outside.ps)\n";
    const StubFontMap map = ReadStubFontMap(DevicePath(device));
    for (const char* name : {"Broken", "Empty", "Orphan"})
        EXPECT_EQ(ProblemsOf(map, name), 1u) << name;
    EXPECT_EQ(ProblemsOf(map, "Escape"), 0u);
    EXPECT_EQ(FindFont(map, "Escape"), nullptr);
    EXPECT_NE(FindFont(map, "ArialBoldMT"), nullptr);
}

TEST_F(StubFontMapTest, DevicePathsWithoutAStubTree) {
    EXPECT_TRUE(ReadStubFontMap("%os%=;%temp%=/tmp/x;%ram%!").fonts.empty());
    const StubFontMap missing = ReadStubFontMap("%xfont%+/no/such/FontStubs;%psfont%=/a,,/b;");
    EXPECT_EQ(missing.stubRoot, "/no/such/FontStubs");
    EXPECT_EQ(missing.fontFolders, (std::vector<std::string>{"/a", "/b"}));
    EXPECT_TRUE(missing.fonts.empty());
    EXPECT_TRUE(missing.problems.empty());
}

TEST_F(StubFontMapTest, GhostscriptEmbedsTheStubbedFiles) {
    PLUGIN::FontDevice device(mFonts);
    const StubFontMap map = ReadStubFontMap(DevicePath(device));
    const auto gsFolder = mTemp.Path() / "gsfonts";
    const GhostscriptFontFiles files = WriteGhostscriptFontFiles(map, gsFolder.string());
    ASSERT_TRUE(files.ok);
    EXPECT_EQ(Read(files.fontmapPath), map.FontmapText());
    EXPECT_EQ(Read(files.cidfmapPath), map.CidfmapText());
    ASSERT_GE(files.arguments.size(), 3u);
    EXPECT_EQ(files.arguments[0], "-sFONTMAP=" + files.fontmapPath + ":Fontmap.GS");
    EXPECT_EQ(files.arguments[1], "-I" + gsFolder.string());
    EXPECT_NE(std::find(files.arguments.begin(), files.arguments.end(),
                        "--permit-file-read=/usr/share/fonts/truetype/dejavu/"),
              files.arguments.end());

    const auto eps = mTemp.Path() / "fonts.eps";
    std::ofstream(eps) << "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 300 100\n"
                          "/Arial-BoldMT findfont 20 scalefont setfont 10 10 moveto (Bold) show\n"
                          "/Arial,Bold findfont 20 scalefont setfont 100 10 moveto (Alias) show\n"
                          "/WenQuanYiMicroHeiMono-UniGB-UCS2-H findfont 20 scalefont setfont 10 50 moveto "
                          "<4F60597D> show\nshowpage\n";
    auto distil = [&](const std::vector<std::string>& arguments, const std::filesystem::path& pdf) {
        std::string command = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -dEPSCrop";
        for (const auto& argument : arguments)
            command += " " + Quote(argument);
        command += " -sOutputFile=" + Quote(pdf.string()) + " " + Quote(eps.string());
        int status = 0;
        const std::string log = RunCommand(command, status);
        EXPECT_EQ(status, 0) << log;
        return RunCommand("pdffonts " + Quote(pdf.string()), status);
    };
    const std::string fonts = distil(files.arguments, mTemp.Path() / "mapped.pdf");
    EXPECT_NE(fonts.find("+DejaVuSans-Bold "), std::string::npos) << fonts;
    EXPECT_NE(fonts.find("+WenQuanYiMicroHeiMono "), std::string::npos) << fonts;
    EXPECT_EQ(fonts.find("Arial"), std::string::npos) << fonts;

    // Without the maps the names are substituted.
    const std::string substituted = distil({}, mTemp.Path() / "plain.pdf");
    EXPECT_EQ(substituted.find("DejaVuSans-Bold"), std::string::npos) << substituted;
    EXPECT_EQ(substituted.find("WenQuanYiMicroHeiMono "), std::string::npos) << substituted;
}

TEST_F(StubFontMapTest, InheritedCidfmapComesFirst) {
    PLUGIN::FontDevice device(mFonts);
    const StubFontMap map = ReadStubFontMap(DevicePath(device));
    const auto inherited = mTemp.Path() / "system-cidfmap";
    std::ofstream(inherited) << "/Old /Other ;";
    const GhostscriptFontFiles files =
        WriteGhostscriptFontFiles(map, (mTemp.Path() / "gs").string(), inherited.string());
    ASSERT_TRUE(files.ok);
    EXPECT_EQ(Read(files.cidfmapPath), "/Old /Other ;\n" + map.CidfmapText());
}
