// Font maps from a stub tree that the font device builds and straight from fontconfig, and the files and
// arguments handed to Ghostscript. (Pictures placed with stubbed, CJK and base fonts, which Ghostscript draws
// through these maps, are in the integration suite.) Reading back the stub texts and index lines.
#include "../fontstubs/StubTreeFixture.h"

#include "FontDevice.h"
#include "StubText.h"
#include "fontmap/StubFontMap.h"

#include <algorithm>
#include <tuple>

using namespace BRASK;
using namespace BRASK::FONTMAP;
using Kind = StubDefinition::Kind;

namespace {

const std::string kDejaVu = "/usr/share/fonts/truetype/dejavu/";
const std::string kDejaVuBold = kDejaVu + "DejaVuSans-Bold.ttf";
const std::string kMicroHei = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";

template <typename Entry> const Entry* Find(const std::vector<Entry>& entries, const std::string& name) {
    const auto it =
        std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.name == name; });
    return it == entries.end() ? nullptr : &*it;
}

// The file a font name maps to; "<none>" when it has no entry.
std::string PathOf(const StubFontMap& map, const std::string& name) {
    const FontEntry* entry = Find(map.fonts, name);
    return entry != nullptr ? entry->path : "<none>";
}

std::size_t ProblemsOf(const StubFontMap& map, const std::string& name) {
    return std::count_if(map.problems.begin(), map.problems.end(),
                         [&](const std::string& line) { return line.rfind(name + ": ", 0) == 0; });
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
    // The map of the device's tree, read from the interpreter's device path.
    StubFontMap Map(const PLUGIN::FontDevice& device) const {
        const std::string tmp = (mTemp.Path() / "tmp").string();
        return ReadStubFontMap("%os%=;" + device.GetFontPathString().GetUTF8String() + "%temp%=" + tmp +
                               ";%profiles%=" + mApp.string() + "/Profiles;%default%+" + tmp + ";%ram%!");
    }
    BRASK::TEST::LogCapture mQuiet; // the composite-font stubs log "Invalid font type"
};

} // namespace

TEST_F(StubFontMapTest, NamesMapToTheFilesTheStubsNameAndTheMapFilesKeepTheInheritedCidfmapFirst) {
    PLUGIN::FontDevice device(mHost.Get(), mFonts);
    const StubFontMap map = Map(device);
    EXPECT_EQ(map.stubRoot, Stubs().string());
    for (const char* name : {"Arial-BoldMT", "Arial,Bold", "Arial,BoldMT", "ArialBoldMT"})
        EXPECT_EQ(PathOf(map, name), kDejaVuBold) << name;
    // The first face of the collection is a font; the second only a CIDFont.
    EXPECT_EQ(PathOf(map, "WenQuanYiMicroHei"), kMicroHei);
    EXPECT_EQ(Find(map.fonts, "WenQuanYiMicroHeiMono"), nullptr);
    EXPECT_EQ(ProblemsOf(map, "WenQuanYiMicroHeiMono"), 1u);
    // Files in no font folder are reported once per name; text-less composite stubs have no index line.
    for (const char* name : {"Missing-Font", "Missing,Font", "MissingFont"})
        EXPECT_EQ(ProblemsOf(map, name), 1u) << name;
    EXPECT_EQ(Find(map.fonts, "Missing-Font"), nullptr);
    EXPECT_EQ(Find(map.fonts, "Ryumin-Light"), nullptr);
    EXPECT_EQ(map.problems.size(), 4u);

    // The inherited cidfmap, its last line closed, comes first; every mapped file's folder may be read.
    const auto inherited = mTemp.Path() / "system-cidfmap";
    std::ofstream(inherited) << "/Old /Other ;";
    const auto folder = mTemp.Path() / "gs";
    const GhostscriptFontFiles files = WriteGhostscriptFontFiles(map, folder.string(), inherited);
    ASSERT_TRUE(files.ok);
    const std::string cid = " << /FileType /TrueType /Path (" + kMicroHei + ") /SubfontID ";
    EXPECT_EQ(Read(files.cidfmapPath), "/Old /Other ;\n/WenQuanYiMicroHei" + cid +
                                           "0 /CSI [(GB1) 5] >> ;\n/WenQuanYiMicroHeiMono" + cid +
                                           "1 /CSI [(GB1) 5] >> ;\n");
    EXPECT_NE(Read(files.fontmapPath).find("/Arial,Bold (" + kDejaVuBold + ") ;\n"), std::string::npos);
    EXPECT_EQ(files.arguments,
              (std::vector<std::string>{"-sFONTMAP=" + (folder / "Fontmap.xfont").string() + ":Fontmap.GS",
                                        "-I" + folder.string(),
                                        "--permit-file-read=/usr/share/fonts/truetype/dejavu/",
                                        "--permit-file-read=/usr/share/fonts/truetype/wqy/"}));
}

TEST_F(StubFontMapTest, StaleHandWrittenAndEscapingStubsLeaveNoEntry) {
    { PLUGIN::FontDevice first(mHost.Get(), mFonts); }
    mFonts.families[0].reset(); // Arial-BoldMT uninstalled: its stubs go, its index lines stay
    PLUGIN::FontDevice device(mHost.Get(), mFonts);
    std::ofstream(Western() / "Broken.ps") << "/Broken  (%psfont%x.ttf) run";
    std::ofstream(Western() / "Empty.ps") << "";
    std::ofstream(Western() / "Orphan.ps") << "/NoSet /FontSet findresource pop /Orphan /Font findresource ";
    std::ofstream(Western() / "_edir_", std::ios::app)
        << "/Broken  (Broken.ps)\n/Empty  (Empty.ps)\n/Orphan  (Orphan.ps)\n/Broken  (Broken.ps)\n"
           "/Escape  (../../outside.ps)\n";
    const StubFontMap map = Map(device);
    EXPECT_EQ(Find(map.fonts, "Arial-BoldMT"), nullptr);
    EXPECT_EQ(ProblemsOf(map, "Arial-BoldMT"), 0u);
    for (const char* name : {"Broken", "Empty", "Orphan"})
        EXPECT_EQ(ProblemsOf(map, name), 1u) << name;
    EXPECT_EQ(ProblemsOf(map, "Escape"), 0u);
    EXPECT_EQ(Find(map.fonts, "Escape"), nullptr);
    EXPECT_NE(Find(map.fonts, "WenQuanYiMicroHei"), nullptr);

    // Device paths without a stub tree.
    EXPECT_TRUE(ReadStubFontMap("%os%=;%temp%=/tmp/x;%ram%!").fonts.empty());
    const StubFontMap missing = ReadStubFontMap("%xfont%+/no/such/FontStubs;%psfont%=/a,,/b;");
    EXPECT_EQ(missing.stubRoot, "/no/such/FontStubs");
    EXPECT_EQ(missing.fontFolders, (std::vector<std::string>{"/a", "/b"}));
    EXPECT_TRUE(missing.fonts.empty());
    EXPECT_TRUE(missing.problems.empty());
}

TEST(InstalledFontMap, EveryFaceByPostScriptNameAndCollectionsAsCIDFonts) {
    const StubFontMap map = ReadInstalledFontMap();
    EXPECT_EQ(PathOf(map, "DejaVuSans-Bold"), kDejaVuBold);
    // Ghostscript's own base fonts stay its own.
    EXPECT_EQ(Find(map.fonts, "NimbusSans-Regular"), nullptr);
    EXPECT_NE(std::find(map.leftToGhostscript.begin(), map.leftToGhostscript.end(), "StandardSymbolsPS"),
              map.leftToGhostscript.end());
    EXPECT_EQ(PathOf(map, "WenQuanYiMicroHei"), kMicroHei);
    EXPECT_EQ(Find(map.fonts, "WenQuanYiMicroHeiMono"), nullptr);
    EXPECT_EQ(ProblemsOf(map, "WenQuanYiMicroHeiMono"), 1u);
    for (const auto& [name, subfont] : {std::pair{"WenQuanYiMicroHei", 0}, {"WenQuanYiMicroHeiMono", 1}}) {
        const CIDFontEntry* entry = Find(map.cidFonts, name);
        ASSERT_NE(entry, nullptr) << name;
        EXPECT_EQ(std::tie(entry->path, entry->subfont, entry->ordering, entry->supplement),
                  std::make_tuple(kMicroHei, subfont, std::string("GB1"), 5));
    }
    // Western fonts are no CIDFonts.
    EXPECT_TRUE(std::none_of(map.cidFonts.begin(), map.cidFonts.end(),
                             [](const CIDFontEntry& f) { return f.name.rfind("DejaVu", 0) == 0; }));
    std::set<std::string> names;
    for (const auto& entry : map.fonts)
        EXPECT_TRUE(names.insert(entry.name).second) << entry.name;
    EXPECT_NE(std::find(map.fontFolders.begin(), map.fontFolders.end(), "/usr/share/fonts/truetype/wqy"),
              map.fontFolders.end());
}

TEST(GhostscriptResources, OwnFontsTheAliasesThatReachThemAndTheFirstCidfmap) {
    BRASK::TEST::TempDir temp;
    const auto data = temp.Path() / "10.00.0";
    std::filesystem::create_directories(data / "Resource" / "Font");
    std::filesystem::create_directories(data / "Resource" / "Init");
    for (const char* font : {"NimbusSans-Regular", "StandardSymbolsPS"})
        std::ofstream(data / "Resource" / "Font" / font) << "%!";
    std::ofstream(data / "Resource" / "Init" / "Fontmap.GS")
        << "% comment /Commented /NimbusSans-Regular ;\n"
           "/Helvetica\t\t/NimbusSans-Regular ;\n"
           "/Symbol /StandardSymbolsPS\t;  % trailing comment\n"
           "/Arial /Helvetica ;\n"   // a chain of two
           "/Charter (bchr.pfa) ;\n" // a file entry: the file may be missing
           "/Lost /NotInstalled ;\n" // leads nowhere
           "/Loop1 /Loop2 ;\n/Loop2 /Loop1 ;\n";
    const auto first = temp.Path() / "a", second = temp.Path() / "b", third = temp.Path() / "c";
    for (const auto& folder : {first, second, third})
        std::filesystem::create_directories(folder);
    std::ofstream(second / "cidfmap") << "/X /Y ;";
    std::ofstream(third / "cidfmap") << "/Z /Y ;";

    const GhostscriptResources resources =
        ReadGhostscriptResources(data.string(), {first.string(), second.string(), third.string()});
    EXPECT_EQ(resources.ownFonts, (std::set<std::string>{"NimbusSans-Regular", "StandardSymbolsPS"}));
    EXPECT_EQ(resources.ownAliases, (std::set<std::string>{"Helvetica", "Symbol", "Arial"}));
    EXPECT_EQ(resources.systemCidfmap, (second / "cidfmap").string());
    for (const char* name : {"Charter", "Lost", "Loop1", "Commented"})
        EXPECT_FALSE(resources.Owns(name)) << name;
    EXPECT_TRUE(ReadGhostscriptResources((temp.Path() / "none").string(), {}).ownFonts.empty());

    // The installed Ghostscript's cidfmap (what it owns is read in InstalledFontMap).
    EXPECT_EQ(InstalledGhostscriptResources().systemCidfmap, "/var/lib/ghostscript/fonts/cidfmap");
}

TEST_F(StubFontMapTest, FilesOfOneNameInTwoFoldersAreToldApartByTheirFaces) {
    // The stubs name bare files; two folders hold a "Face.ttf", each with another font.
    const auto sans = mTemp.Path() / "sans", serif = mTemp.Path() / "serif";
    for (const auto& [folder, source] : {std::pair{sans, "Sans"}, {serif, "Serif"}}) {
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(kDejaVu + "DejaVu" + source + "-Bold.ttf", folder / "Face.ttf");
    }
    mFonts.families.clear();
    mFonts.Add("DejaVuSerif-Bold", (serif / "Face.ttf").string(), XF::kXTrueType, false);
    mFonts.Add("DejaVuSans-Bold", (sans / "Face.ttf").string(), XF::kXTrueType, false);
    PLUGIN::FontDevice device(mHost.Get(), mFonts);
    const StubFontMap map = Map(device);
    // The serif's folder comes first in the font path, yet each name gets the file with its face.
    for (const auto& [name, folder] : {std::pair{"DejaVuSans-Bold", sans},
                                       {"DejaVuSans,Bold", sans},
                                       {"DejaVuSansBold", sans},
                                       {"DejaVuSerif-Bold", serif},
                                       {"DejaVuSerifBold", serif}})
        EXPECT_EQ(PathOf(map, name), (folder / "Face.ttf").string()) << name;
}

TEST(StubText, IndexLinesNamesAndStrings) {
    const auto lines =
        ParseEdir("/Font  (WesternFonts)\n/Arial,Bold  (Arial,Bold.ps)\ngarbage\n/Last  (Last.ps)");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(std::tie(lines[0].resource, lines[0].file), std::tie("Font", "WesternFonts"));
    EXPECT_EQ(std::tie(lines[1].resource, lines[1].file), std::tie("Arial,Bold", "Arial,Bold.ps"));
    EXPECT_EQ(lines[2].file, "Last.ps");
    EXPECT_TRUE(ParseEdir("").empty());
    EXPECT_TRUE(IsPlainName("Arial,Bold"));
    for (const char* name : {"Foo Bar", "a/b", ""})
        EXPECT_FALSE(IsPlainName(name)) << name;
    EXPECT_EQ(PostScriptString("/f/(a)\\b.ttf"), "(/f/\\(a\\)\\\\b.ttf)");
}

TEST(StubText, EveryStubFormTheDeviceWritesAndNothingElse) {
    const std::string tt = " definesfntfontset 0 get definefont pop", set = " /FontSet findresource pop ";
    struct Row {
        std::string text;
        Kind kind;
        std::string name, fileName, setName, aliasOf, category;
    } rows[] = {
        {"/Arial-BoldMT  (%psfont%arialbd.ttf)" + tt, Kind::kFontFile, "Arial-BoldMT", "arialbd.ttf", "", "",
         ""},
        {"/Ryumin  (%psfont%ryumin.pfb) (r) file /PFBDecode filter cvx exec", Kind::kFontFile, "Ryumin",
         "ryumin.pfb", "", "", ""},
        {"/Utopia  (%psfont%putr.pfa) (r) file cvx exec", Kind::kFontFile, "Utopia", "putr.pfa", "", "", ""},
        {"/MS,Mincho  (%psfont%MSMINCHO.TTC) definesfntfontset /FontSet defineresource ", Kind::kFontSetFile,
         "MS,Mincho", "MSMINCHO.TTC", "", "", ""},
        {"/MS-Mincho" + set + "/MS-Mincho /CIDFont findresource ", Kind::kSetMember, "MS-Mincho", "",
         "MS-Mincho", "", "CIDFont"},
        {"/MS-Mincho" + set + "/MS,Mincho /MS-Mincho /Font findresource  /Font defineresource ",
         Kind::kSetAlias, "MS,Mincho", "", "MS-Mincho", "MS-Mincho", "Font"},
        // Balanced parentheses and escapes inside the file name are read as PostScript reads them.
        {"/X  (%psfont%a(1)\\).ttf)" + tt, Kind::kFontFile, "X", "a(1)).ttf", "", "", ""}};
    for (const Row& row : rows) {
        const auto stub = ParseStub(row.text);
        ASSERT_TRUE(stub) << row.text;
        EXPECT_EQ(
            std::tie(stub->kind, stub->name, stub->fileName, stub->setName, stub->aliasOf, stub->category),
            std::tie(row.kind, row.name, row.fileName, row.setName, row.aliasOf, row.category));
    }
    for (const std::string& text : std::vector<std::string>{
             "", "/X  (arial.ttf)" + tt /* no device prefix */, "/X  (%psfont%)" + tt,
             "/X  (%psfont%a(b.ttf)" + tt, "/X  (%psfont%a.ttf)" + tt + " extra",
             "/P" + set + "/N /Encoding findresource ",
             "/P" + set + "/N /P /Font findresource /CIDFont defineresource ", "{ (%psfont%a.ttf) } exec"})
        EXPECT_FALSE(ParseStub(text)) << text;
}

TEST(StubText, StubNamesMatchTheirFacesPostScriptNames) {
    struct Row {
        const char *stub, *ps;
        int match;
    } rows[] = {{"DejaVuSans-Bold", "DejaVuSans-Bold", 0},
                {"DejaVuSans,Bold", "DejaVuSans-Bold", 1},
                {"DejaVuSansBold", "DejaVuSans-Bold", 1},
                {"Arial,Bold", "Arial-BoldMT", 2},
                {"Arial", "ArialMT", 2},
                {"DejaVuSerif-Bold", "DejaVuSans-Bold", -1},
                {"DejaVuSans-BoldOblique", "DejaVuSans-Bold", -1},
                {"", "DejaVuSans", -1},
                {"--", "DejaVuSans", -1}};
    for (const Row& row : rows)
        EXPECT_EQ(StubNameMatch(row.stub, row.ps), row.match) << row.stub << " / " << row.ps;
}
