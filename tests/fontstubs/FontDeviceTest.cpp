// The stub tree, its _edir_ index files and the font path string.
#include "StubTreeFixture.h"
#include "TestFontManager.h"

#include "fontstubs/FontDevice.h"

using namespace BRASK;
using namespace BRASK::PLUGIN;
using BRASK::TEST::LogCapture;
using BRASK::TEST::TestFontManager;

namespace {

constexpr char kSource[] = "core/Common/Headers/Jaws/FontDevice";
constexpr char kCategoryLines[] = "/Font  (WesternFonts)\n/CIDFont  (EAFonts)\n/FontSet  (FontSet)\n";
constexpr char kMakeEdirEntry[] =
    "BRASK::PLUGIN::FontStubError __cdecl BRASK::PLUGIN::FontDevice::MakeEdirEntry("
    "const class BRASK::STRING::CoreString &,const unsigned char *,const char *)";

class FontDeviceTree : public BRASK::TEST::StubTreeFixture {
protected:
    std::string ExpectedFontPath(const std::string& fontDirs) const {
        return "%xfont%+" + mApp.string() + "/jaws/FontStubs;%psfont%=" + fontDirs + ";";
    }
    TestFontManager mFonts;
};

const unsigned char* U(const char* text) {
    return reinterpret_cast<const unsigned char*>(text);
}

} // namespace

TEST_F(FontDeviceTree, FirstRunMakesTheTreeAndTheCategoryLines) {
    LogCapture log;
    FontDevice device(mFonts);
    EXPECT_EQ(Read(Stubs() / "_edir_"), kCategoryLines);
    for (const auto& dir : {Western(), EastAsian(), FontSet()}) {
        EXPECT_TRUE(std::filesystem::is_directory(dir));
        EXPECT_EQ(Read(dir / "_edir_"), "");
        EXPECT_TRUE(StubNames(dir).empty());
    }
    EXPECT_EQ(device.WesternFontsDir().GetUTF8String(), Western().string() + "/");
    EXPECT_EQ(device.EAFontsDir().GetUTF8String(), EastAsian().string() + "/");
    EXPECT_EQ(device.FontSetDir().GetUTF8String(), FontSet().string() + "/");
    EXPECT_EQ(mFonts.refreshes, 1);
    EXPECT_EQ(device.GetFontPathString().GetUTF8String(), ExpectedFontPath("/usr/share/fonts/"));
    EXPECT_TRUE(log.Records().empty());
}

TEST_F(FontDeviceTree, EachStartAppendsTheCategoryLinesAgainAndReusesTheFolders) {
    { FontDevice first(mFonts); }
    std::ofstream(Western() / "_edir_", std::ios::app) << "/Kept  (Kept.ps)\n";
    FontDevice second(mFonts);
    EXPECT_EQ(Read(Stubs() / "_edir_"), std::string(kCategoryLines) + kCategoryLines);
    EXPECT_EQ(Read(Western() / "_edir_"), "/Kept  (Kept.ps)\n");
    EXPECT_EQ(Read(EastAsian() / "_edir_"), "");
}

TEST_F(FontDeviceTree, FontFoldersFollowTheSystemFolderInOrderOfDiscovery) {
    mFonts.Add("Alpha", "/fonts/b/alpha.ttf", XF::kXTrueType, false);
    mFonts.Add("Beta", "/fonts/a/beta.ttf", XF::kXTrueType, false);
    mFonts.Add("Gamma", "/fonts/b/gamma.ttf", XF::kXTrueType, false);
    mFonts.Add("Delta", "delta.ttf", XF::kXTrueType, false); // no folder: adds none
    FontDevice device(mFonts);
    ASSERT_EQ(device.FontDirs().size(), 3u);
    EXPECT_EQ(device.GetFontPathString().GetUTF8String(),
              ExpectedFontPath("/usr/share/fonts/,/fonts/b,/fonts/a"));
    EXPECT_EQ(Read(Western() / "Delta.ps"),
              "/Delta  (%psfont%delta.ttf) definesfntfontset 0 get definefont pop");
}

TEST_F(FontDeviceTree, TheSystemFontFolderStandsTwiceOnceAFontLiesInIt) {
    mFonts.Add("Direct", "/usr/share/fonts/direct.ttf", XF::kXTrueType, false);
    FontDevice device(mFonts);
    EXPECT_EQ(device.GetFontPathString().GetUTF8String(),
              ExpectedFontPath("/usr/share/fonts/,/usr/share/fonts"));
}

TEST_F(FontDeviceTree, MakeEdirEntryWritesOneLineOrRefusesBadInput) {
    LogCapture log;
    FontDevice device(mFonts);
    const CoreString dir = device.EAFontsDir();
    EXPECT_EQ(device.MakeEdirEntry(dir, U("Name"), nullptr), 0);
    EXPECT_EQ(device.MakeEdirEntry(dir, U("Name"), "WesternFonts"), 0);
    EXPECT_EQ(Read(EastAsian() / "_edir_"), "/Name  (Name.ps)\n/Name  (WesternFonts)\n");
    EXPECT_TRUE(log.Records().empty());

    EXPECT_EQ(device.MakeEdirEntry(CoreString(), U("Name"), nullptr), 2003);
    EXPECT_EQ(device.MakeEdirEntry(dir, nullptr, nullptr), 2008);
    EXPECT_EQ(Read(EastAsian() / "_edir_"), "/Name  (Name.ps)\n/Name  (WesternFonts)\n");
    const auto records = log.WithMessage("MakeEdirEntry input paramter fails");
    ASSERT_EQ(records.size(), 2u);
    for (const auto& r : records) {
        EXPECT_EQ(r.file, kSource);
        EXPECT_EQ(r.function, kMakeEdirEntry);
        EXPECT_EQ(r.type, 2);
        EXPECT_EQ(r.level, 1);
    }
}

TEST_F(FontDeviceTree, CreateEdirKeepsAnExistingIndex) {
    FontDevice device(mFonts);
    std::ofstream(FontSet() / "_edir_", std::ios::app) << "/X  (X.ps)\n";
    EXPECT_EQ(device.CreateEdir(device.FontSetDir()), 0);
    EXPECT_EQ(Read(FontSet() / "_edir_"), "/X  (X.ps)\n");
    const CoreString fresh = CoreString::FromUTF8((mTemp.Path() / "fresh").string() + "/");
    std::filesystem::create_directories(mTemp.Path() / "fresh");
    EXPECT_EQ(device.CreateEdir(fresh), 0);
    EXPECT_TRUE(std::filesystem::exists(mTemp.Path() / "fresh" / "_edir_"));
}

TEST_F(FontDeviceTree, UnwritableTreeLeavesTheFontPathStringEmpty) {
    // A file where the shared RIP folder should be: FontStubs cannot be made.
    std::ofstream(mApp / "jaws") << "in the way";
    mFonts.Add("Alpha", "/fonts/alpha.ttf", XF::kXTrueType, false);
    LogCapture log;
    FontDevice device(mFonts);
    EXPECT_TRUE(device.GetFontPathString().empty());
    EXPECT_EQ(mFonts.refreshes, 0);
    ASSERT_EQ(log.WithMessage("Directory creation failed").size(), 1u);
    const auto failed = log.WithMessage("CreateJawsDirectory failed");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].file, kSource);
    EXPECT_EQ(failed[0].function, "__cdecl BRASK::PLUGIN::FontDevice::FontDevice(void)");
    EXPECT_EQ(log.WithMessage("Directory creation failed")[0].function,
              "BRASK::PLUGIN::FontStubError __cdecl BRASK::PLUGIN::FontDevice::CreateJawsDirectory(class "
              "BRASK::STRING::CoreString &,class BRASK::STRING::CoreString &,class BRASK::STRING::CoreString "
              "&,class BRASK::STRING::CoreString &,class BRASK::STRING::CoreString &)");
}

TEST_F(FontDeviceTree, AnUncreatableIndexStopsConstruction) {
    // A folder where WesternFonts/_edir_ should be.
    std::filesystem::create_directories(Western() / "_edir_");
    LogCapture log;
    FontDevice device(mFonts);
    EXPECT_TRUE(device.GetFontPathString().empty());
    ASSERT_EQ(log.WithMessage("Unable to create file.").size(), 1u);
    EXPECT_EQ(log.WithMessage("Create Jaws Edir failed").size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(EastAsian()));
    EXPECT_EQ(Read(Stubs() / "_edir_"), "/Font  (WesternFonts)\n");
}

TEST_F(FontDeviceTree, NoFactoryMeansNoTree) {
    COREREGISTRY::ClassFactorySlot::Set(nullptr);
    LogCapture log;
    FontDevice device(mFonts);
    EXPECT_TRUE(device.GetFontPathString().empty());
    EXPECT_EQ(log.WithMessage("CreateSystemDir failed").size(), 1u);
    EXPECT_EQ(log.WithMessage("CreateJawsDirectory failed").size(), 1u);
}
