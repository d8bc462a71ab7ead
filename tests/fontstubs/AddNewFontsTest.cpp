// Adding the fonts a font manager reports: stub names, folders, second runs and stale stubs; the name forms
// and the CMap suffix list.
#include "StubTreeFixture.h"

#include "CMapSuffixes.h"
#include "FontDevice.h"
#include "StubNames.h"

using namespace BRASK;
using namespace BRASK::PLUGIN;
using namespace BRASK::TEST;

namespace {

using Names = std::set<std::string>;

class AddFonts : public StubTreeFixture {
protected:
    // The stub text and index line of a font file stub for each name.
    void ExpectFileStubs(const std::filesystem::path& dir, const std::vector<std::string>& names,
                         const std::string& file) {
        std::string index;
        for (const auto& name : names) {
            EXPECT_EQ(Read(dir / (name + ".ps")), "/" + name + "  (%psfont%" + file + ")" + kTrueTypeTail);
            index += "/" + name + "  (" + name + ".ps)\n";
        }
        EXPECT_EQ(Read(dir / "_edir_"), index);
    }
};

} // namespace

TEST_F(AddFonts, ArialBoldGetsItsThreeVariants) {
    mFonts.Add("Arial-BoldMT", "/fonts/ms/arialbd.ttf", XF::kXTrueType, false);
    FontDevice device(mHost.Get(), mFonts);
    EXPECT_EQ(StubNames(Western()),
              (Names{"Arial-BoldMT.ps", "Arial,Bold.ps", "Arial,BoldMT.ps", "ArialBoldMT.ps"}));
    ExpectFileStubs(Western(), {"Arial-BoldMT", "Arial,Bold", "Arial,BoldMT", "ArialBoldMT"}, "arialbd.ttf");
    // The tree's root index names the three folders; the other two are empty.
    EXPECT_EQ(Read(Stubs() / "_edir_"), kCategoryLines);
    for (const auto& dir : {EastAsian(), FontSet()}) {
        EXPECT_EQ(Read(dir / "_edir_"), "");
        EXPECT_TRUE(StubNames(dir).empty());
    }
    EXPECT_EQ(mFonts.refreshes, 1);
    EXPECT_TRUE(mLog.Records().empty());
}

TEST_F(AddFonts, EastAsianFontsByTypeAndName) {
    // TrueType and OpenType-TrueType: stubs in both folders.
    mFonts.Add("SimHei", "/fonts/cjk/simhei.ttf", XF::kXTrueType, true);
    mFonts.Add("MS-Gothic", "/fonts/cjk/simhei.ttf", XF::kXOpenTypeTT, true);
    // A CMap in the name of a simple font: no Western stubs, and the name is not cut.
    mFonts.Add("Gothic-90ms-RKSJ-H", "/fonts/cjk/gothic.ttf", XF::kXTrueType, true);
    // East-Asian OpenType (CFF): no Western stubs.
    mFonts.Add("KozGo-Pro", "/fonts/cjk/kozgo.otf", XF::kXOpenTypePS, true);
    FontDevice device(mHost.Get(), mFonts);
    const std::vector<std::string> both = {"SimHei", "MS-Gothic", "MS,Gothic", "MSGothic"};
    ExpectFileStubs(Western(), both, "simhei.ttf");
    EXPECT_EQ(StubNames(EastAsian()),
              (Names{"SimHei.ps", "MS-Gothic.ps", "MS,Gothic.ps", "MSGothic.ps", "Gothic-90ms-RKSJ-H.ps",
                     "Gothic,90ms,RKSJ,H.ps", "Gothic90msRKSJH.ps", "KozGo-Pro.ps", "KozGo,Pro.ps",
                     "KozGoPro.ps"}));
    for (const auto& name : both)
        EXPECT_EQ(Read(EastAsian() / (name + ".ps")), Read(Western() / (name + ".ps")));
    EXPECT_EQ(Read(EastAsian() / "_edir_").rfind(Read(Western() / "_edir_"), 0), 0u);
    EXPECT_EQ(Read(EastAsian() / "KozGo-Pro.ps"), "/KozGo-Pro  (%psfont%kozgo.otf)" + kTrueTypeTail);
}

TEST_F(AddFonts, CompositeFontNamesAreCutAtTheirCMap) {
    mFonts.Add("Ryumin-Light-83pv-RKSJ-H", "/fonts/cid/ryumin", XF::kXComposite, true);
    FontDevice device(mHost.Get(), mFonts);
    // Type 6 outside a collection has no stub form: empty files, no index lines.
    EXPECT_EQ(StubNames(EastAsian()), (Names{"Ryumin-Light.ps", "Ryumin,Light.ps", "RyuminLight.ps"}));
    EXPECT_EQ(Read(EastAsian() / "Ryumin-Light.ps"), "");
    EXPECT_EQ(Read(EastAsian() / "_edir_"), "");
    EXPECT_EQ(mLog.WithMessage("Invalid font type").size(), 3u);
    // Next start: the empty stubs count as present, so nothing is written or deleted.
    mLog.Clear();
    FontDevice again(mHost.Get(), mFonts);
    EXPECT_TRUE(mLog.Records().empty());
    EXPECT_EQ(StubNames(EastAsian()).size(), 3u);
}

TEST_F(AddFonts, CollectionMembersGetMemberAndFontSetStubs) {
    mFonts.Add("MS-Mincho", "/fonts/cjk/msmincho.ttc", XF::kXTrueType, true);
    FontDevice device(mHost.Get(), mFonts);
    const Names names = {"MS-Mincho.ps", "MS,Mincho.ps", "MSMincho.ps"};
    EXPECT_EQ(StubNames(Western()), names);
    EXPECT_EQ(StubNames(EastAsian()), names);
    EXPECT_EQ(StubNames(FontSet()), names);
    const std::string member = "/MS-Mincho /FontSet findresource pop ";
    EXPECT_EQ(Read(FontSet() / "MSMincho.ps"),
              "/MSMincho  (%psfont%msmincho.ttc) definesfntfontset /FontSet defineresource ");
    EXPECT_EQ(Read(Western() / "MS-Mincho.ps"), member + "/MS-Mincho /Font findresource ");
    EXPECT_EQ(Read(EastAsian() / "MS-Mincho.ps"), member + "/MS-Mincho /CIDFont findresource ");
    EXPECT_EQ(Read(EastAsian() / "MSMincho.ps"),
              member + "/MSMincho /MS-Mincho /CIDFont findresource  /CIDFont defineresource ");
    EXPECT_EQ(Read(Western() / "MS,Mincho.ps"),
              member + "/MS,Mincho /MS-Mincho /Font findresource  /Font defineresource ");
    EXPECT_EQ(Read(FontSet() / "_edir_"),
              "/MS-Mincho  (MS-Mincho.ps)\n/MS,Mincho  (MS,Mincho.ps)\n/MSMincho  (MSMincho.ps)\n");
}

TEST_F(AddFonts, ImitatedStyleSlotsGetNoStub) {
    auto& family = mFonts.Add("Foo-Regular", "/fonts/foo/foo.ttf", XF::kXTrueType, false);
    family.slots[1] = TestFace{"Foo-Bold", "/fonts/foo/foob.ttf", false};
    family.slots[2] = TestFace{"Foo-Italic", "/fonts/foo/fooi.ttf", false};
    auto& boldItalicOnly = mFonts.Add("Bar-BoldItalic", "/fonts/bar/barbi.ttf", XF::kXTrueType, false);
    std::swap(boldItalicOnly.slots[0], boldItalicOnly.slots[3]);
    FontDevice device(mHost.Get(), mFonts);
    EXPECT_EQ(StubNames(Western()),
              (Names{"Foo-Regular.ps", "Foo,Regular.ps", "FooRegular.ps", "Foo-Bold.ps", "Foo,Bold.ps",
                     "FooBold.ps", "Foo-Italic.ps", "Foo,Italic.ps", "FooItalic.ps", "Bar-BoldItalic.ps",
                     "Bar,BoldItalic.ps", "BarBoldItalic.ps"}));
    EXPECT_EQ(Read(Western() / "Bar-BoldItalic.ps"), "/Bar-BoldItalic  (%psfont%barbi.ttf)" + kTrueTypeTail);
}

TEST_F(AddFonts, StaleStubsGoFromAllFoldersButTheirIndexLinesStay) {
    mFonts.Add("Keep-Me", "/fonts/k/keep.ttf", XF::kXTrueType, false);
    mFonts.Add("Gone-Font", "/fonts/g/gone.ttf", XF::kXTrueType, false);
    { FontDevice first(mHost.Get(), mFonts); }
    std::ofstream(EastAsian() / "Gone-Font.ps") << "x";
    std::ofstream(FontSet() / "Gone-Font.ps") << "x";
    std::ofstream(FontSet() / "Unrelated.PS") << "x"; // found by the case-blind search
    const std::string westernIndex = Read(Western() / "_edir_");
    const std::string line = "/Gone-Font  (Gone-Font.ps)\n";
    ASSERT_NE(westernIndex.find(line), std::string::npos);

    mFonts.families[1].reset(); // uninstalled
    { FontDevice second(mHost.Get(), mFonts); }
    EXPECT_EQ(StubNames(Western()), (Names{"Keep-Me.ps", "Keep,Me.ps", "KeepMe.ps"}));
    EXPECT_TRUE(StubNames(EastAsian()).empty());
    EXPECT_TRUE(StubNames(FontSet()).empty());
    EXPECT_EQ(Read(Western() / "_edir_"), westernIndex);

    // Reinstalled: written again, with a second index line.
    mFonts.Add("Gone-Font", "/fonts/g/gone.ttf", XF::kXTrueType, false);
    FontDevice third(mHost.Get(), mFonts);
    const std::string index = Read(Western() / "_edir_");
    EXPECT_NE(index.find(line), index.rfind(line));
    EXPECT_EQ(index.substr(0, westernIndex.size()), westernIndex);
    EXPECT_TRUE(std::filesystem::exists(Western() / "GoneFont.ps"));

    // Only the main stub of an installed font deleted: it comes back, and its variants stay as they were.
    std::filesystem::remove(Western() / "Keep-Me.ps");
    std::ofstream(Western() / "KeepMe.ps", std::ios::app) << " % kept";
    { FontDevice fourth(mHost.Get(), mFonts); }
    EXPECT_EQ(Read(Western() / "Keep-Me.ps"), "/Keep-Me  (%psfont%keep.ttf)" + kTrueTypeTail);
    EXPECT_EQ(Read(Western() / "KeepMe.ps"), "/KeepMe  (%psfont%keep.ttf)" + kTrueTypeTail + " % kept");
    EXPECT_TRUE(std::filesystem::exists(Western() / "Keep,Me.ps"));
}

TEST_F(AddFonts, Type1FontsByOutlineFormAndCollectionsByTheLastExtensionInAnyCase) {
    mFonts.Add("Plain", "/fonts/c/ttc", XF::kXTrueType, false);
    mFonts.Add("Dotted", "/fonts/c/f.ttc.ttf", XF::kXTrueType, false);
    mFonts.Add("Upper", "/fonts/c/UPPER.V2.TTC", XF::kXTrueType, false);
    mFonts.Add("Utopia-Regular", "/fonts/t1/putr.pfa", XF::kXType1Text, false);
    mFonts.Add("Charter-Roman", "/fonts/t1/bchr.pfb", XF::kXType1, true); // Type 1 stubs are Western
    FontDevice device(mHost.Get(), mFonts);
    EXPECT_EQ(Read(Western() / "Plain.ps"), "/Plain  (%psfont%ttc)" + kTrueTypeTail);
    EXPECT_EQ(Read(Western() / "Dotted.ps"), "/Dotted  (%psfont%f.ttc.ttf)" + kTrueTypeTail);
    EXPECT_EQ(Read(FontSet() / "Upper.ps"),
              "/Upper  (%psfont%UPPER.V2.TTC) definesfntfontset /FontSet defineresource ");
    EXPECT_EQ(Read(Western() / "_edir_"),
              "/Plain  (Plain.ps)\n/Dotted  (Dotted.ps)\n/Upper  (Upper.ps)\n"
              "/Utopia-Regular  (Utopia-Regular.ps)\n/Utopia,Regular  (Utopia,Regular.ps)\n"
              "/UtopiaRegular  (UtopiaRegular.ps)\n/Charter-Roman  (Charter-Roman.ps)\n"
              "/Charter,Roman  (Charter,Roman.ps)\n/CharterRoman  (CharterRoman.ps)\n");
    EXPECT_EQ(Read(Western() / "Utopia,Regular.ps"), "/Utopia,Regular  (%psfont%putr.pfa) (r) file cvx exec");
    EXPECT_EQ(Read(Western() / "Charter-Roman.ps"),
              "/Charter-Roman  (%psfont%bchr.pfb) (r) file /PFBDecode filter cvx exec");
    EXPECT_TRUE(StubNames(EastAsian()).empty());
}

TEST_F(AddFonts, UnsafeAndOverlongNamesAndFailedQueries) {
    mFonts.Add("Foo Bar", "/fonts/f/foobar.ttf", XF::kXTrueType, false);
    mFonts.Add("Never-Seen", "/fonts/f/never.ttf", XF::kXTrueType, false).nameFails = true;
    mFonts.Add("Still-Written", "/fonts/f/still.ttf", XF::kXTrueType, false).intrinsicFails = true;
    mFonts.Add("Unknown", "/fonts/f/unknown.xyz", XF::kXUnknownType, false);
    mFonts.Add(std::string(253, 'L'), "/fonts/f/long.ttf", XF::kXTrueType, false);
    mFonts.Add(std::string(252, 'K'), "/fonts/f/k.ttf", XF::kXTrueType, false);
    FontDevice device(mHost.Get(), mFonts);
    EXPECT_EQ(StubNames(Western()),
              (Names{"Foo-Bar.ps", "Foo,Bar.ps", "FooBar.ps", "Still-Written.ps", "Still,Written.ps",
                     "StillWritten.ps", std::string(252, 'K') + ".ps"}));
    EXPECT_EQ(Read(Western() / "Foo-Bar.ps"), "/Foo-Bar  (%psfont%foobar.ttf)" + kTrueTypeTail);
    // The failed name ends the family's style loop: logged once.
    const auto name = mLog.WithMessage("GetPSFontName failed");
    ASSERT_EQ(name.size(), 1u);
    EXPECT_EQ(name[0].function, "void __cdecl BRASK::PLUGIN::FontDevice::AddNewFonts(void)");
    EXPECT_EQ(name[0].file, kFontDeviceSource);
    // Every slot of the family without intrinsic styles is taken as regular; only slot 0 matches.
    EXPECT_EQ(mLog.WithMessage("GetIntrinsicStyle failed").size(), 4u);
}

TEST(StubNames, ArialAliasesSafeNamesJoinedFormsAndCMapSuffixes) {
    // Only the prefix is tested.
    const std::pair<const char*, const char*> aliases[] = {{"ArialMT", "Arial"},
                                                           {"Arial-BoldItalicMT", "Arial,BoldItalic"},
                                                           {"Arial-ItalicMT", "Arial,Italic"},
                                                           {"Arial-BoldMTExtra", "Arial,Bold"},
                                                           {"Arial", nullptr},
                                                           {"Arial-Bold", nullptr},
                                                           {nullptr, nullptr}};
    for (const auto& [name, alias] : aliases)
        EXPECT_STREQ(GetArialAlias(name), alias) << (name ? name : "null");

    EXPECT_EQ(MakePostScriptSafe("a%b(c)d/e<f>g[h]i{j}k l"), "a-b-c-d-e-f-g-h-i-j-k-l");
    EXPECT_EQ(MakePostScriptSafe("Caf\xC3\xA9\x7F!~,."), "Caf---!~,.");

    bool changed = false;
    // Of two adjacent commas the second stays.
    for (const auto& [name, joined] : {std::pair{"a,b,c", "abc"}, {"A,,B", "A,B"}, {",,,", ","}}) {
        EXPECT_EQ(JoinedForm(name, changed), joined);
        EXPECT_TRUE(changed);
    }
    // The first suffix of the CMap list wins.
    const std::pair<const char*, const char*> cases[] = {{"Ryumin-Light-90ms-RKSJ-H", "-90ms-RKSJ-H"},
                                                         {"Ryumin-Light-78-EUC-H", "-78-EUC-H"},
                                                         {"Foo-RKSJ-H", "-RKSJ-H"},
                                                         {"Foo-Identity-H-Extra", "-Identity-H"},
                                                         {"X-Roman-83pv-RKSJ-H", "-83pv-RKSJ-H"},
                                                         {"Ryumin-Light", nullptr}};
    for (const auto& [name, suffix] : cases)
        EXPECT_STREQ(FindCMapSuffix(name), suffix) << name;
}
