// The stub tree built from the fonts installed on the machine through the process-wide font manager.
#include "StubTreeFixture.h"

#include "fonts/InstalledFaces.h"
#include "fontstubs/FakeFontMgr.h"
#include "fontstubs/FontDevice.h"
#include "fontstubs/StubNames.h"

#include <thread>

using namespace BRASK;
using namespace BRASK::PLUGIN;

namespace {
class InstalledFontStubs : public BRASK::TEST::StubTreeFixture {};
} // namespace

TEST_F(InstalledFontStubs, EveryInstalledFaceHasAStubAndASecondStartWritesNone) {
    std::set<std::string> names;
    std::set<std::string> folders;
    for (const auto& face : XF::ListInstalledFaces()) {
        names.insert(MakePostScriptSafe(face.psName));
        folders.insert(std::filesystem::path(face.path).parent_path().string());
    }
    ASSERT_GT(names.size(), 50u);

    {
        FontDevice device(*GetFakeFontMgr());
        const std::string fontPath = device.GetFontPathString().GetUTF8String();
        EXPECT_EQ(
            fontPath.rfind("%xfont%+" + mApp.string() + "/jaws/FontStubs;%psfont%=/usr/share/fonts/,", 0),
            0u);
        // Folders of the faces chosen for a name, no trailing separator; a folder of duplicates only is
        // absent.
        for (const char* folder : {"/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/truetype/wqy",
                                   "/usr/share/fonts/opentype/urw-base35"}) {
            ASSERT_TRUE(folders.count(folder)) << folder;
            EXPECT_TRUE(fontPath.find(std::string(",") + folder + ",") != std::string::npos ||
                        fontPath.find(std::string(",") + folder + ";") != std::string::npos)
                << folder;
        }
        EXPECT_EQ(fontPath.find("/usr/share/fonts/type1/urw-base35"), std::string::npos);
    }
    const auto western = StubNames(Western());
    const auto eastAsian = StubNames(EastAsian());
    for (const auto& name : names)
        EXPECT_TRUE(western.count(name + ".ps") || eastAsian.count(name + ".ps")) << name;

    // DejaVu Sans Bold: Western TrueType stub naming its file by bare name.
    EXPECT_EQ(Read(Western() / "DejaVuSans-Bold.ps"),
              "/DejaVuSans-Bold  (%psfont%DejaVuSans-Bold.ttf) definesfntfontset 0 get definefont pop");
    // The East-Asian collection: member stubs in both folders and FontSet stubs.
    EXPECT_EQ(
        Read(FontSet() / "WenQuanYiMicroHeiMono.ps"),
        "/WenQuanYiMicroHeiMono  (%psfont%wqy-microhei.ttc) definesfntfontset /FontSet defineresource ");
    EXPECT_EQ(
        Read(EastAsian() / "WenQuanYiMicroHeiMono.ps"),
        "/WenQuanYiMicroHeiMono /FontSet findresource pop /WenQuanYiMicroHeiMono /CIDFont findresource ");
    EXPECT_EQ(Read(Western() / "WenQuanYiMicroHei.ps"),
              "/WenQuanYiMicroHei /FontSet findresource pop /WenQuanYiMicroHei /Font findresource ");

    auto before = Snapshot();
    { FontDevice second(*GetFakeFontMgr()); }
    auto after = Snapshot();
    after.erase("_edir_");
    before.erase("_edir_");
    EXPECT_EQ(after, before);
}

TEST_F(InstalledFontStubs, TheProcessWideDeviceIsBuiltOnceForAllThreads) {
    std::vector<FontDevice*> seen(4, nullptr);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = &FontDevice::Instance(); });
    for (auto& thread : threads)
        thread.join();
    for (FontDevice* device : seen)
        EXPECT_EQ(device, seen.front());
    const std::string fontPath = seen.front()->GetFontPathString().GetUTF8String();
    EXPECT_EQ(fontPath.rfind("%xfont%+" + mApp.string() + "/jaws/FontStubs;%psfont%=/usr/share/fonts/,", 0),
              0u);
    EXPECT_EQ(Read(Stubs() / "_edir_"), "/Font  (WesternFonts)\n/CIDFont  (EAFonts)\n/FontSet  (FontSet)\n");
}
