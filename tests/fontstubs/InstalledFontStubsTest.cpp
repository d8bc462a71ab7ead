// The stub tree built from the fonts installed on the machine through the process-wide font manager.
#include "StubTreeFixture.h"

#include "FakeFontMgr.h"
#include "FontDevice.h"
#include "InstalledFaces.h"
#include "StubNames.h"

using namespace BRASK::PLUGIN;

class InstalledFontStubs : public BRASK::TEST::StubTreeFixture {};

TEST_F(InstalledFontStubs, EveryInstalledFaceHasAStubAndItsFolderIsOnTheFontPath) {
    std::set<std::string> names, folders;
    for (const auto& face : XF::ListInstalledFaces()) {
        names.insert(MakePostScriptSafe(face.psName));
        folders.insert(std::filesystem::path(face.path).parent_path().string());
    }
    ASSERT_GT(names.size(), 50u);
    FontDevice device(mHost.Get(), *GetFakeFontMgr());
    const std::string fontPath = device.GetFontPathString().GetUTF8String();
    EXPECT_EQ(fontPath.rfind("%xfont%+" + mApp.string() + "/jaws/FontStubs;%psfont%=/usr/share/fonts/,", 0),
              0u);
    // Folders of the faces chosen for a name, no trailing separator; a folder of duplicates only is absent.
    for (const std::string folder : {"/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/truetype/wqy",
                                     "/usr/share/fonts/opentype/urw-base35"}) {
        ASSERT_TRUE(folders.count(folder)) << folder;
        EXPECT_TRUE(fontPath.find("," + folder + ",") != std::string::npos ||
                    fontPath.find("," + folder + ";") != std::string::npos)
            << folder;
    }
    EXPECT_EQ(fontPath.find("/usr/share/fonts/type1/urw-base35"), std::string::npos);
    const auto western = StubNames(Western());
    const auto eastAsian = StubNames(EastAsian());
    for (const auto& name : names)
        EXPECT_TRUE(western.count(name + ".ps") || eastAsian.count(name + ".ps")) << name;
    EXPECT_EQ(Read(Western() / "DejaVuSans,Bold.ps"),
              "/DejaVuSans,Bold  (%psfont%DejaVuSans-Bold.ttf)" + BRASK::TEST::kTrueTypeTail);
}
