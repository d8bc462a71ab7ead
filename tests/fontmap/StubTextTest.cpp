// Reading back the stub texts and index lines the plug-in writes.
#include "StubText.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace BRASK::FONTMAP;
using Kind = StubDefinition::Kind;

TEST(StubText, IndexLines) {
    const auto lines =
        ParseEdir("/Font  (WesternFonts)\n/Arial,Bold  (Arial,Bold.ps)\ngarbage\n/Last  (Last.ps)");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(std::tie(lines[0].resource, lines[0].file), std::tie("Font", "WesternFonts"));
    EXPECT_EQ(std::tie(lines[1].resource, lines[1].file), std::tie("Arial,Bold", "Arial,Bold.ps"));
    EXPECT_EQ(lines[2].file, "Last.ps");
    EXPECT_TRUE(ParseEdir("").empty());
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

TEST(StubText, NamesAndStrings) {
    EXPECT_TRUE(IsPlainName("Arial,Bold"));
    for (const char* name : {"Foo Bar", "a/b", ""})
        EXPECT_FALSE(IsPlainName(name)) << name;
    EXPECT_EQ(PostScriptString("/f/(a)\\b.ttf"), "(/f/\\(a\\)\\\\b.ttf)");
}
