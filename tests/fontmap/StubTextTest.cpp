// Reading back the stub texts and index lines the plug-in writes.
#include "StubText.h"

#include <gtest/gtest.h>

using namespace BRASK::FONTMAP;
using Kind = StubDefinition::Kind;

TEST(StubText, IndexLines) {
    const auto lines =
        ParseEdir("/Font  (WesternFonts)\n/Arial,Bold  (Arial,Bold.ps)\ngarbage\n/Last  (Last.ps)");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].resource, "Font");
    EXPECT_EQ(lines[0].file, "WesternFonts");
    EXPECT_EQ(lines[1].resource, "Arial,Bold");
    EXPECT_EQ(lines[1].file, "Arial,Bold.ps");
    EXPECT_EQ(lines[2].file, "Last.ps");
    EXPECT_TRUE(ParseEdir("").empty());
}

TEST(StubText, EveryStubFormTheDeviceWrites) {
    auto stub = ParseStub("/Arial-BoldMT  (%psfont%arialbd.ttf) definesfntfontset 0 get definefont pop");
    ASSERT_TRUE(stub);
    EXPECT_EQ(stub->kind, Kind::kFontFile);
    EXPECT_EQ(stub->name, "Arial-BoldMT");
    EXPECT_EQ(stub->fileName, "arialbd.ttf");

    stub = ParseStub("/Ryumin  (%psfont%ryumin.pfb) (r) file /PFBDecode filter cvx exec");
    ASSERT_TRUE(stub);
    EXPECT_EQ(stub->kind, Kind::kFontFile);
    EXPECT_EQ(stub->fileName, "ryumin.pfb");

    stub = ParseStub("/MS,Mincho  (%psfont%MSMINCHO.TTC) definesfntfontset /FontSet defineresource ");
    ASSERT_TRUE(stub);
    EXPECT_EQ(stub->kind, Kind::kFontSetFile);
    EXPECT_EQ(stub->name, "MS,Mincho");
    EXPECT_EQ(stub->fileName, "MSMINCHO.TTC");

    stub = ParseStub("/MS-Mincho /FontSet findresource pop /MS-Mincho /CIDFont findresource ");
    ASSERT_TRUE(stub);
    EXPECT_EQ(stub->kind, Kind::kSetMember);
    EXPECT_EQ(stub->setName, "MS-Mincho");
    EXPECT_EQ(stub->name, "MS-Mincho");
    EXPECT_EQ(stub->category, "CIDFont");

    stub = ParseStub("/MS-Mincho /FontSet findresource pop /MS,Mincho /MS-Mincho /Font findresource  /Font "
                     "defineresource ");
    ASSERT_TRUE(stub);
    EXPECT_EQ(stub->kind, Kind::kSetAlias);
    EXPECT_EQ(stub->name, "MS,Mincho");
    EXPECT_EQ(stub->aliasOf, "MS-Mincho");
    EXPECT_EQ(stub->category, "Font");
}

TEST(StubText, AnythingElseIsNotUnderstood) {
    EXPECT_FALSE(ParseStub(""));
    EXPECT_FALSE(ParseStub("/X  (arial.ttf) definesfntfontset 0 get definefont pop")); // no device prefix
    EXPECT_FALSE(ParseStub("/X  (%psfont%) definesfntfontset 0 get definefont pop"));
    EXPECT_FALSE(ParseStub("/X  (%psfont%a(b.ttf) definesfntfontset 0 get definefont pop"));
    EXPECT_FALSE(ParseStub("/X  (%psfont%a.ttf) definesfntfontset 0 get definefont pop extra"));
    EXPECT_FALSE(ParseStub("/P /FontSet findresource pop /N /Encoding findresource "));
    EXPECT_FALSE(ParseStub("/P /FontSet findresource pop /N /P /Font findresource /CIDFont defineresource "));
    EXPECT_FALSE(ParseStub("{ (%psfont%a.ttf) } exec"));
    // Balanced parentheses and escapes inside the file name are read as PostScript reads them.
    const auto stub = ParseStub("/X  (%psfont%a(1)\\).ttf) definesfntfontset 0 get definefont pop");
    ASSERT_TRUE(stub);
    EXPECT_EQ(stub->fileName, "a(1)).ttf");
}

TEST(StubText, NamesAndStrings) {
    EXPECT_TRUE(IsPlainName("Arial,Bold"));
    EXPECT_FALSE(IsPlainName("Foo Bar"));
    EXPECT_FALSE(IsPlainName("a/b"));
    EXPECT_FALSE(IsPlainName(""));
    EXPECT_EQ(PostScriptString("/f/(a)\\b.ttf"), "(/f/\\(a\\)\\\\b.ttf)");
}
