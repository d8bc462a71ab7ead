// The stub tree built from the fonts installed on the machine through the process-wide font manager.
#include "StubTreeFixture.h"

#include "FakeFontMgr.h"
#include "FontDevice.h"
#include "InstalledFaces.h"
#include "StubNames.h"

#include <thread>

using namespace BRASK::PLUGIN;

class InstalledFontStubs : public BRASK::TEST::StubTreeFixture {
protected:
    std::string FontPathStart() const {
        return "%xfont%+" + mApp.string() + "/jaws/FontStubs;%psfont%=/usr/share/fonts/,";
    }
};

TEST_F(InstalledFontStubs, EveryInstalledFaceHasAStubAndASecondStartWritesNone) {
    std::set<std::string> names, folders;
    for (const auto& face : XF::ListInstalledFaces()) {
        names.insert(MakePostScriptSafe(face.psName));
        folders.insert(std::filesystem::path(face.path).parent_path().string());
    }
    ASSERT_GT(names.size(), 50u);
    {
        FontDevice device(mHost.Get(), *GetFakeFontMgr());
        const std::string fontPath = device.GetFontPathString().GetUTF8String();
        EXPECT_EQ(fontPath.rfind(FontPathStart(), 0), 0u);
        // Folders of the faces chosen for a name, no trailing separator; a folder of duplicates only is
        // absent.
        for (const std::string folder : {"/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/truetype/wqy",
                                         "/usr/share/fonts/opentype/urw-base35"}) {
            ASSERT_TRUE(folders.count(folder)) << folder;
            EXPECT_TRUE(fontPath.find("," + folder + ",") != std::string::npos ||
                        fontPath.find("," + folder + ";") != std::string::npos)
                << folder;
        }
        EXPECT_EQ(fontPath.find("/usr/share/fonts/type1/urw-base35"), std::string::npos);
    }
    const auto western = StubNames(Western());
    const auto eastAsian = StubNames(EastAsian());
    for (const auto& name : names)
        EXPECT_TRUE(western.count(name + ".ps") || eastAsian.count(name + ".ps")) << name;
    EXPECT_EQ(Read(Western() / "DejaVuSans-Bold.ps"),
              "/DejaVuSans-Bold  (%psfont%DejaVuSans-Bold.ttf)" + BRASK::TEST::kTrueTypeTail);
    // The East-Asian collection: member stubs in both folders and FontSet stubs.
    const std::string member = "/WenQuanYiMicroHeiMono /FontSet findresource pop /WenQuanYiMicroHeiMono";
    EXPECT_EQ(
        Read(FontSet() / "WenQuanYiMicroHeiMono.ps"),
        "/WenQuanYiMicroHeiMono  (%psfont%wqy-microhei.ttc) definesfntfontset /FontSet defineresource ");
    EXPECT_EQ(Read(EastAsian() / "WenQuanYiMicroHeiMono.ps"), member + " /CIDFont findresource ");
    EXPECT_EQ(Read(Western() / "WenQuanYiMicroHei.ps"),
              "/WenQuanYiMicroHei /FontSet findresource pop /WenQuanYiMicroHei /Font findresource ");

    auto before = Snapshot();
    { FontDevice second(mHost.Get(), *GetFakeFontMgr()); }
    auto after = Snapshot();
    after.erase("_edir_");
    before.erase("_edir_");
    EXPECT_EQ(after, before);

    // Only the main stub of an installed font deleted: it comes back, and its variants stay as they were.
    std::filesystem::remove(Western() / "DejaVuSans-Bold.ps");
    { FontDevice third(mHost.Get(), *GetFakeFontMgr()); }
    after = Snapshot();
    after.erase("_edir_");
    after.erase("WesternFonts/_edir_");
    before.erase("WesternFonts/_edir_");
    EXPECT_EQ(after, before);
    EXPECT_EQ(Read(Western() / "DejaVuSans,Bold.ps"),
              "/DejaVuSans,Bold  (%psfont%DejaVuSans-Bold.ttf)" + BRASK::TEST::kTrueTypeTail);
}

TEST_F(InstalledFontStubs, TheProcessWideDeviceIsBuiltOnceForAllThreads) {
    std::vector<FontDevice*> seen(4, nullptr);
    std::vector<std::thread> threads;
    BRASK::IClassFactory* factory = mHost.Get();
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i, factory] { seen[i] = &FontDevice::Instance(factory); });
    for (auto& thread : threads)
        thread.join();
    for (FontDevice* device : seen)
        EXPECT_EQ(device, seen.front());
    EXPECT_EQ(seen.front()->GetFontPathString().GetUTF8String().rfind(FontPathStart(), 0), 0u);
    EXPECT_EQ(Read(Stubs() / "_edir_"), BRASK::TEST::kCategoryLines);
}
