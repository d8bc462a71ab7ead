// Adding the fonts a font manager reports: stub names, folders, second runs and stale stubs.
#include "StubTreeFixture.h"
#include "TestFontManager.h"

#include "fontstubs/FontDevice.h"

using namespace BRASK;
using namespace BRASK::PLUGIN;
using BRASK::TEST::LogCapture;
using BRASK::TEST::TestFontManager;

namespace {

constexpr char kAddNewFonts[] = "void __cdecl BRASK::PLUGIN::FontDevice::AddNewFonts(void)";
const std::string kTT = " definesfntfontset 0 get definefont pop";

class AddFonts : public BRASK::TEST::StubTreeFixture {
protected:
    TestFontManager mFonts;
};

} // namespace

TEST_F(AddFonts, ArialBoldGetsItsThreeVariants) {
    mFonts.Add("Arial-BoldMT", "/fonts/ms/arialbd.ttf", XF::kXTrueType, false);
    FontDevice device(mFonts);
    EXPECT_EQ(StubNames(Western()), (std::set<std::string>{"Arial-BoldMT.ps", "Arial,Bold.ps",
                                                           "Arial,BoldMT.ps", "ArialBoldMT.ps"}));
    EXPECT_EQ(Read(Western() / "Arial-BoldMT.ps"), "/Arial-BoldMT  (%psfont%arialbd.ttf)" + kTT);
    EXPECT_EQ(Read(Western() / "Arial,Bold.ps"), "/Arial,Bold  (%psfont%arialbd.ttf)" + kTT);
    EXPECT_EQ(Read(Western() / "Arial,BoldMT.ps"), "/Arial,BoldMT  (%psfont%arialbd.ttf)" + kTT);
    EXPECT_EQ(Read(Western() / "ArialBoldMT.ps"), "/ArialBoldMT  (%psfont%arialbd.ttf)" + kTT);
    EXPECT_EQ(Read(Western() / "_edir_"),
              "/Arial-BoldMT  (Arial-BoldMT.ps)\n/Arial,Bold  (Arial,Bold.ps)\n"
              "/Arial,BoldMT  (Arial,BoldMT.ps)\n/ArialBoldMT  (ArialBoldMT.ps)\n");
    EXPECT_TRUE(StubNames(EastAsian()).empty());
    EXPECT_TRUE(StubNames(FontSet()).empty());
    EXPECT_EQ(device.GetFontPathString().GetUTF8String(),
              "%xfont%+" + mApp.string() + "/jaws/FontStubs;%psfont%=/usr/share/fonts/,/fonts/ms;");
}

TEST_F(AddFonts, ASecondStartWritesNothingAndDeletesNothing) {
    mFonts.Add("Arial-BoldMT", "/fonts/ms/arialbd.ttf", XF::kXTrueType, false);
    mFonts.Add("MS-Gothic", "/fonts/ms/msgothic.ttf", XF::kXTrueType, true);
    mFonts.Add("Set-Member", "/fonts/ms/set.ttc", XF::kXTrueType, true);
    { FontDevice first(mFonts); }
    auto before = Snapshot();
    ASSERT_GT(before.size(), 10u);
    FontDevice second(mFonts);
    auto after = Snapshot();
    // Only the category lines of the root index are appended again.
    const std::string categories = "/Font  (WesternFonts)\n/CIDFont  (EAFonts)\n/FontSet  (FontSet)\n";
    EXPECT_EQ(after["_edir_"], before["_edir_"] + categories);
    before.erase("_edir_");
    after.erase("_edir_");
    EXPECT_EQ(after, before);
}

TEST_F(AddFonts, EastAsianTrueTypeFontsGetStubsInBothFolders) {
    mFonts.Add("SimHei", "/fonts/cjk/simhei.ttf", XF::kXTrueType, true);
    mFonts.Add("MS-Gothic", "/fonts/cjk/msgothic.ttf", XF::kXOpenTypeTT, true);
    FontDevice device(mFonts);
    const std::set<std::string> expected = {"SimHei.ps", "MS-Gothic.ps", "MS,Gothic.ps", "MSGothic.ps"};
    EXPECT_EQ(StubNames(Western()), expected);
    EXPECT_EQ(StubNames(EastAsian()), expected);
    EXPECT_EQ(Read(EastAsian() / "SimHei.ps"), "/SimHei  (%psfont%simhei.ttf)" + kTT);
    EXPECT_EQ(Read(Western() / "SimHei.ps"), Read(EastAsian() / "SimHei.ps"));
    EXPECT_EQ(Read(EastAsian() / "MS,Gothic.ps"), "/MS,Gothic  (%psfont%msgothic.ttf)" + kTT);
    const std::string lines = "/SimHei  (SimHei.ps)\n/MS-Gothic  (MS-Gothic.ps)\n/MS,Gothic  (MS,Gothic.ps)\n"
                              "/MSGothic  (MSGothic.ps)\n";
    EXPECT_EQ(Read(Western() / "_edir_"), lines);
    EXPECT_EQ(Read(EastAsian() / "_edir_"), lines);
}

TEST_F(AddFonts, EastAsianNamesWithACMapGetNoWesternStubsAndAreNotCut) {
    mFonts.Add("Gothic-90ms-RKSJ-H", "/fonts/cjk/gothic.ttf", XF::kXTrueType, true);
    // Neither are East-Asian OpenType (CFF) fonts given Western stubs.
    mFonts.Add("KozGo-Pro", "/fonts/cjk/kozgo.otf", XF::kXOpenTypePS, true);
    FontDevice device(mFonts);
    EXPECT_TRUE(StubNames(Western()).empty());
    EXPECT_EQ(StubNames(EastAsian()),
              (std::set<std::string>{"Gothic-90ms-RKSJ-H.ps", "Gothic,90ms,RKSJ,H.ps", "Gothic90msRKSJH.ps",
                                     "KozGo-Pro.ps", "KozGo,Pro.ps", "KozGoPro.ps"}));
}

TEST_F(AddFonts, CompositeFontNamesAreCutAtTheirCMap) {
    mFonts.Add("Ryumin-Light-83pv-RKSJ-H", "/fonts/cid/ryumin", XF::kXComposite, true);
    LogCapture log;
    FontDevice device(mFonts);
    // Type 6 outside a collection has no stub form: empty files, no index lines.
    EXPECT_EQ(StubNames(EastAsian()),
              (std::set<std::string>{"Ryumin-Light.ps", "Ryumin,Light.ps", "RyuminLight.ps"}));
    EXPECT_EQ(Read(EastAsian() / "Ryumin-Light.ps"), "");
    EXPECT_EQ(Read(EastAsian() / "_edir_"), "");
    EXPECT_EQ(log.WithMessage("Invalid font type").size(), 3u);
    // Next start: the empty stubs count as present, so nothing is written or deleted.
    log.Clear();
    FontDevice again(mFonts);
    EXPECT_TRUE(log.Records().empty());
    EXPECT_EQ(StubNames(EastAsian()).size(), 3u);
}

TEST_F(AddFonts, CollectionMembersGetMemberAndFontSetStubs) {
    mFonts.Add("MS-Mincho", "/fonts/cjk/msmincho.ttc", XF::kXTrueType, true);
    FontDevice device(mFonts);
    const std::set<std::string> names = {"MS-Mincho.ps", "MS,Mincho.ps", "MSMincho.ps"};
    EXPECT_EQ(StubNames(Western()), names);
    EXPECT_EQ(StubNames(EastAsian()), names);
    EXPECT_EQ(StubNames(FontSet()), names);
    EXPECT_EQ(Read(FontSet() / "MS-Mincho.ps"),
              "/MS-Mincho  (%psfont%msmincho.ttc) definesfntfontset /FontSet defineresource ");
    EXPECT_EQ(Read(FontSet() / "MSMincho.ps"),
              "/MSMincho  (%psfont%msmincho.ttc) definesfntfontset /FontSet defineresource ");
    EXPECT_EQ(Read(Western() / "MS-Mincho.ps"),
              "/MS-Mincho /FontSet findresource pop /MS-Mincho /Font findresource ");
    EXPECT_EQ(Read(EastAsian() / "MS-Mincho.ps"),
              "/MS-Mincho /FontSet findresource pop /MS-Mincho /CIDFont findresource ");
    EXPECT_EQ(Read(EastAsian() / "MSMincho.ps"),
              "/MS-Mincho /FontSet findresource pop /MSMincho /MS-Mincho /CIDFont findresource  /CIDFont "
              "defineresource ");
    EXPECT_EQ(Read(Western() / "MS,Mincho.ps"), "/MS-Mincho /FontSet findresource pop /MS,Mincho /MS-Mincho "
                                                "/Font findresource  /Font defineresource ");
    EXPECT_EQ(Read(FontSet() / "_edir_"),
              "/MS-Mincho  (MS-Mincho.ps)\n/MS,Mincho  (MS,Mincho.ps)\n/MSMincho  (MSMincho.ps)\n");
}

TEST_F(AddFonts, ImitatedStyleSlotsGetNoStub) {
    auto& family = mFonts.Add("Foo-Regular", "/fonts/foo/foo.ttf", XF::kXTrueType, false);
    family.slots[1] = BRASK::TEST::TestFace{"Foo-Bold", "/fonts/foo/foob.ttf", false};
    auto& italicOnly = mFonts.Add("Bar-Italic", "/fonts/bar/bari.ttf", XF::kXTrueType, false);
    italicOnly.slots[2] = italicOnly.slots[0];
    italicOnly.slots[0].reset();
    FontDevice device(mFonts);
    EXPECT_EQ(StubNames(Western()),
              (std::set<std::string>{"Foo-Regular.ps", "Foo,Regular.ps", "FooRegular.ps", "Foo-Bold.ps",
                                     "Foo,Bold.ps", "FooBold.ps", "Bar-Italic.ps", "Bar,Italic.ps",
                                     "BarItalic.ps"}));
    EXPECT_EQ(Read(Western() / "Bar-Italic.ps"), "/Bar-Italic  (%psfont%bari.ttf)" + kTT);
}

TEST_F(AddFonts, StaleStubsGoFromAllFoldersButTheirIndexLinesStay) {
    mFonts.Add("Keep-Me", "/fonts/k/keep.ttf", XF::kXTrueType, false);
    mFonts.Add("Gone-Font", "/fonts/g/gone.ttf", XF::kXTrueType, false);
    { FontDevice first(mFonts); }
    std::ofstream(EastAsian() / "Gone-Font.ps") << "x";
    std::ofstream(FontSet() / "Gone-Font.ps") << "x";
    std::ofstream(FontSet() / "Unrelated.PS") << "x"; // found by the case-blind search
    const std::string westernIndex = Read(Western() / "_edir_");

    mFonts.families[1].reset(); // uninstalled
    FontDevice second(mFonts);
    EXPECT_EQ(StubNames(Western()), (std::set<std::string>{"Keep-Me.ps", "Keep,Me.ps", "KeepMe.ps"}));
    EXPECT_TRUE(StubNames(EastAsian()).empty());
    EXPECT_TRUE(StubNames(FontSet()).empty());
    EXPECT_EQ(Read(Western() / "_edir_"), westernIndex);
    EXPECT_NE(westernIndex.find("/Gone-Font  (Gone-Font.ps)\n"), std::string::npos);

    // Reinstalled: written again, with a second index line.
    mFonts.Add("Gone-Font", "/fonts/g/gone.ttf", XF::kXTrueType, false);
    FontDevice third(mFonts);
    const std::string index = Read(Western() / "_edir_");
    const std::string line = "/Gone-Font  (Gone-Font.ps)\n";
    EXPECT_NE(index.find(line), index.rfind(line));
    EXPECT_EQ(index.substr(0, westernIndex.size()), westernIndex);
    EXPECT_TRUE(std::filesystem::exists(Western() / "GoneFont.ps"));
}

TEST_F(AddFonts, AVariantDeletedByHandComesBackOnlyWithItsFont) {
    mFonts.Add("Arial-BoldMT", "/fonts/ms/arialbd.ttf", XF::kXTrueType, false);
    { FontDevice first(mFonts); }
    std::filesystem::remove(Western() / "ArialBoldMT.ps");
    { FontDevice second(mFonts); }
    EXPECT_FALSE(std::filesystem::exists(Western() / "ArialBoldMT.ps"));
    std::filesystem::remove(Western() / "Arial-BoldMT.ps");
    FontDevice third(mFonts);
    EXPECT_TRUE(std::filesystem::exists(Western() / "ArialBoldMT.ps"));
    EXPECT_TRUE(std::filesystem::exists(Western() / "Arial,Bold.ps"));
}

TEST_F(AddFonts, UnsafeNamesAndFailedQueries) {
    mFonts.Add("Foo Bar", "/fonts/f/foobar.ttf", XF::kXTrueType, false);
    auto& broken = mFonts.Add("Never-Seen", "/fonts/f/never.ttf", XF::kXTrueType, false);
    broken.nameFails = true;
    auto& noStyle = mFonts.Add("Still-Written", "/fonts/f/still.ttf", XF::kXTrueType, false);
    noStyle.intrinsicFails = true;
    mFonts.Add("Unknown", "/fonts/f/unknown.xyz", XF::kXUnknownType, false);
    mFonts.Add(std::string(253, 'L'), "/fonts/f/long.ttf", XF::kXTrueType, false);
    mFonts.Add(std::string(252, 'K'), "/fonts/f/k.ttf", XF::kXTrueType, false);
    LogCapture log;
    FontDevice device(mFonts);
    EXPECT_EQ(StubNames(Western()),
              (std::set<std::string>{"Foo-Bar.ps", "Foo,Bar.ps", "FooBar.ps", "Still-Written.ps",
                                     "Still,Written.ps", "StillWritten.ps", std::string(252, 'K') + ".ps"}));
    EXPECT_EQ(Read(Western() / "Foo-Bar.ps"), "/Foo-Bar  (%psfont%foobar.ttf)" + kTT);
    // The failed name ends the family's style loop: logged once.
    const auto name = log.WithMessage("GetPSFontName failed");
    ASSERT_EQ(name.size(), 1u);
    EXPECT_EQ(name[0].function, kAddNewFonts);
    EXPECT_EQ(name[0].file, "core/Common/Headers/Jaws/FontDevice");
    // Every slot of the family without intrinsic styles is taken as regular; only slot 0 matches.
    EXPECT_EQ(log.WithMessage("GetIntrinsicStyle failed").size(), 4u);
}
