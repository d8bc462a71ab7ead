// The two stub writers: texts, folders, _edir_ lines and failures.
#include "StubTreeFixture.h"
#include "TestFontManager.h"

#include "brask/ClassIds.h"
#include "fontstubs/FontDevice.h"

using namespace BRASK;
using namespace BRASK::PLUGIN;
using BRASK::TEST::LogCapture;
using BRASK::TEST::TestFontManager;

namespace {

constexpr char kSource[] = "core/Common/Headers/Jaws/FontDevice";
constexpr char kCreateFontStubFile[] =
    "BRASK::PLUGIN::FontStubError __cdecl BRASK::PLUGIN::FontDevice::CreateFontStubFile(unsigned char "
    "*,const "
    "unsigned char *,const class BRASK::STRING::CoreString &,unsigned long,XFontSpec &,unsigned char)";
constexpr char kCreateTTCFontStubFile[] =
    "BRASK::PLUGIN::FontStubError __cdecl "
    "BRASK::PLUGIN::FontDevice::CreateTTCFontStubFile(unsigned char *,const "
    "unsigned char *,unsigned char)";

class StubWriters : public BRASK::TEST::StubTreeFixture {
protected:
    void SetUp() override {
        StubTreeFixture::SetUp();
        mDevice = std::make_unique<FontDevice>(mFonts);
    }
    void TearDown() override {
        mDevice.reset();
        StubTreeFixture::TearDown();
    }
    FontStubError Write(std::string ps, std::string stub, const char* file, unsigned long type, bool ea) {
        return mDevice->CreateFontStubFile(reinterpret_cast<unsigned char*>(ps.data()),
                                           reinterpret_cast<const unsigned char*>(stub.c_str()),
                                           BXString(file), type, ea ? 1 : 0);
    }
    TestFontManager mFonts;
    std::unique_ptr<FontDevice> mDevice;
};

} // namespace

TEST_F(StubWriters, TrueTypeAndOpenTypeStubsAndTheirFolder) {
    EXPECT_EQ(Write("Arial-BoldMT", "Arial-BoldMT", "arialbd.ttf", XF::kXTrueType, false), 0);
    EXPECT_EQ(Read(Western() / "Arial-BoldMT.ps"),
              "/Arial-BoldMT  (%psfont%arialbd.ttf) definesfntfontset 0 get definefont pop");
    EXPECT_EQ(Read(Western() / "_edir_"), "/Arial-BoldMT  (Arial-BoldMT.ps)\n");

    EXPECT_EQ(Write("Gothic", "Gothic", "gothic.otf", XF::kXOpenTypePS, true), 0);
    EXPECT_EQ(Write("Mincho", "Mincho", "mincho.ttf", XF::kXOpenTypeTT, true), 0);
    EXPECT_EQ(Read(EastAsian() / "Gothic.ps"),
              "/Gothic  (%psfont%gothic.otf) definesfntfontset 0 get definefont pop");
    EXPECT_EQ(Read(EastAsian() / "_edir_"), "/Gothic  (Gothic.ps)\n/Mincho  (Mincho.ps)\n");
    EXPECT_EQ(StubNames(Western()), std::set<std::string>{"Arial-BoldMT.ps"});
}

TEST_F(StubWriters, Type1StubsLieInWesternFontsEvenWhenEastAsian) {
    EXPECT_EQ(Write("Ryumin-Roman", "Ryumin-Roman", "ryumin.pfb", XF::kXType1, true), 0);
    EXPECT_EQ(Read(Western() / "Ryumin-Roman.ps"),
              "/Ryumin-Roman  (%psfont%ryumin.pfb) (r) file /PFBDecode filter cvx exec");
    EXPECT_TRUE(StubNames(EastAsian()).empty());
}

TEST_F(StubWriters, ASecondCallWithTheSameNamesWritesNothing) {
    LogCapture log;
    EXPECT_EQ(Write("Foo", "Foo", "foo.ttf", XF::kXTrueType, false), 0);
    EXPECT_EQ(Write("Foo", "Foo", "other.ttf", XF::kXTrueType, false), 2002);
    EXPECT_EQ(Read(Western() / "Foo.ps"), "/Foo  (%psfont%foo.ttf) definesfntfontset 0 get definefont pop");
    EXPECT_EQ(Read(Western() / "_edir_"), "/Foo  (Foo.ps)\n");
    EXPECT_TRUE(log.Records().empty());
}

TEST_F(StubWriters, TypesWithoutAStubFormLeaveAnEmptyFile) {
    LogCapture log;
    EXPECT_EQ(Write("Ryumin-Light", "Ryumin-Light", "ryumin.otf", XF::kXComposite, true), 2005);
    EXPECT_EQ(Write("Odd", "Odd", "odd.fon", 4, false), 2005);
    EXPECT_EQ(Read(EastAsian() / "Ryumin-Light.ps"), "");
    EXPECT_EQ(Read(Western() / "Odd.ps"), "");
    EXPECT_EQ(Read(EastAsian() / "_edir_"), "");
    EXPECT_EQ(Read(Western() / "_edir_"), "");
    const auto records = log.WithMessage("Invalid font type");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].file, kSource);
    EXPECT_EQ(records[0].function, kCreateFontStubFile);
}

TEST_F(StubWriters, EmptyOrNullInputIsRefused) {
    LogCapture log;
    EXPECT_EQ(Write("Foo", "", "foo.ttf", XF::kXTrueType, false), 2008);
    EXPECT_EQ(Write("", "Foo", "foo.ttf", XF::kXTrueType, false), 2008);
    EXPECT_EQ(Write("Foo", "Foo", "", XF::kXTrueType, false), 2008);
    EXPECT_EQ(mDevice->CreateFontStubFile(nullptr, reinterpret_cast<const unsigned char*>("Foo"),
                                          BXString("f.ttf"), 1, 0),
              2008);
    EXPECT_EQ(mDevice->CreateTTCFontStubFile(nullptr, reinterpret_cast<const unsigned char*>("Foo"), 0),
              2008);
    EXPECT_TRUE(StubNames(Western()).empty());
    EXPECT_EQ(log.WithMessage("CreateFontStubFile input paramter fails").size(), 4u);
    const auto ttc = log.WithMessage("CreateTTCFontStubFile input paramter fails");
    ASSERT_EQ(ttc.size(), 1u);
    EXPECT_EQ(ttc[0].function, kCreateTTCFontStubFile);
}

TEST_F(StubWriters, CollectionMemberAndFontSetStubs) {
    // The extension test ignores case.
    EXPECT_EQ(Write("MS-Mincho", "MS-Mincho", "MSMINCHO.TTC", XF::kXTrueType, false), 0);
    EXPECT_EQ(Read(Western() / "MS-Mincho.ps"),
              "/MS-Mincho /FontSet findresource pop /MS-Mincho /Font findresource ");
    EXPECT_EQ(Read(FontSet() / "MS-Mincho.ps"),
              "/MS-Mincho  (%psfont%MSMINCHO.TTC) definesfntfontset /FontSet defineresource ");
    EXPECT_EQ(Write("MS-Mincho", "MS,Mincho", "MSMINCHO.TTC", XF::kXTrueType, false), 0);
    EXPECT_EQ(Read(Western() / "MS,Mincho.ps"), "/MS-Mincho /FontSet findresource pop /MS,Mincho /MS-Mincho "
                                                "/Font findresource  /Font defineresource ");
    EXPECT_EQ(Read(FontSet() / "MS,Mincho.ps"),
              "/MS,Mincho  (%psfont%MSMINCHO.TTC) definesfntfontset /FontSet defineresource ");
    EXPECT_EQ(Read(Western() / "_edir_"), "/MS-Mincho  (MS-Mincho.ps)\n/MS,Mincho  (MS,Mincho.ps)\n");
    EXPECT_EQ(Read(FontSet() / "_edir_"), "/MS-Mincho  (MS-Mincho.ps)\n/MS,Mincho  (MS,Mincho.ps)\n");

    // East-Asian members are CIDFonts; the FontSet stub exists already.
    EXPECT_EQ(Write("MS-Mincho", "MS-Mincho", "MSMINCHO.TTC", XF::kXTrueType, true), 2002);
    EXPECT_EQ(Read(EastAsian() / "MS-Mincho.ps"),
              "/MS-Mincho /FontSet findresource pop /MS-Mincho /CIDFont findresource ");
    EXPECT_EQ(Read(EastAsian() / "_edir_"), "/MS-Mincho  (MS-Mincho.ps)\n");
}

TEST_F(StubWriters, CollectionTestNeedsTheExtensionAfterTheLastDot) {
    EXPECT_EQ(Write("Plain", "Plain", "ttc", XF::kXTrueType, false), 0);
    EXPECT_EQ(Write("Dotted", "Dotted", "font.ttc.ttf", XF::kXTrueType, false), 0);
    EXPECT_TRUE(StubNames(FontSet()).empty());
    EXPECT_EQ(Read(Western() / "Plain.ps"), "/Plain  (%psfont%ttc) definesfntfontset 0 get definefont pop");
}

TEST_F(StubWriters, MemberStubThatCannotBeOpenedIsAFailure) {
    // URIs can no longer be made: the member stub file is created but cannot be written.
    mHost->RegisterClass(CLSID::URI, []() -> IObject* { return nullptr; });
    LogCapture log;
    EXPECT_EQ(Write("Set-Member", "Set-Member", "set.ttc", XF::kXTrueType, false), 2002);
    EXPECT_EQ(log.WithMessage("CreateTTCFontStubFile failed.").size(), 1u);
    const auto uri = log.WithMessage("CreateURI failed");
    ASSERT_EQ(uri.size(), 1u);
    EXPECT_EQ(uri[0].function, kCreateTTCFontStubFile);
    EXPECT_FALSE(std::filesystem::exists(FontSet() / "Set-Member.ps"));
    EXPECT_EQ(Write("Solo", "Solo", "solo.ttf", XF::kXTrueType, false), 2002);
    EXPECT_EQ(log.WithMessage("CreateURI failed").back().function, kCreateFontStubFile);
}
