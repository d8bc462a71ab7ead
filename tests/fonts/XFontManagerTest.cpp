// The font library against the fonts installed on the machine (DejaVu, the URW base 35, WenQuanYi Micro Hei).
#include "fonts/XFontManager.h"
#include "fonts/InstalledFaces.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>

using namespace XF;

namespace {

struct Face {
    std::uint32_t familyId;
    std::uint32_t style;
};

class InstalledFonts : public ::testing::Test {
protected:
    void SetUp() override {
        BXStringPtrArray added, removed;
        ASSERT_EQ(mManager.Refresh(added, removed), kXNoErr);
        EXPECT_FALSE(added.empty());
        EXPECT_TRUE(removed.empty());
        auto iterator = mManager.NewFamilyIterator();
        std::uint32_t id = 0;
        while (mManager.NextFamily(*iterator, id) == kXNoErr) {
            mFamilyIds.push_back(id);
            for (std::uint32_t style = 0; style < kXStyleCount; ++style) {
                std::uint32_t intrinsic = 99;
                ASSERT_EQ(mManager.GetIntrinsicStyle(id, style, intrinsic), kXNoErr);
                if (intrinsic != style)
                    continue;
                char name[258] = {};
                ASSERT_EQ(mManager.GetPSFontName(id, style, name, sizeof name), kXNoErr);
                EXPECT_TRUE(mFaces.emplace(name, Face{id, style}).second) << name << " served twice";
            }
        }
    }
    bool Has(const std::string& ps) const { return mFaces.count(ps) != 0; }
    const XFont* FontOf(const std::string& ps) {
        const Face& face = mFaces.at(ps);
        XFontSpec spec;
        spec.familyId = face.familyId;
        spec.style = face.style;
        const XFont* font = nullptr;
        EXPECT_EQ(mManager.GetFont(spec, font), kXNoErr);
        return font;
    }
    std::string PathOf(const std::string& ps) {
        const Face& face = mFaces.at(ps);
        BRASK::CoreString path;
        EXPECT_EQ(mManager.GetFontFilePath(face.familyId, face.style, 0, path), kXNoErr);
        return path.GetUTF8String();
    }

    XFontManager mManager{BRASK::CoreString()};
    std::vector<std::uint32_t> mFamilyIds;
    std::map<std::string, Face> mFaces;
};

} // namespace

TEST_F(InstalledFonts, EveryFamilyIsVisitedOnceAndTheIteratorEnds) {
    std::set<std::uint32_t> unique(mFamilyIds.begin(), mFamilyIds.end());
    EXPECT_EQ(unique.size(), mFamilyIds.size());
    auto iterator = mManager.NewFamilyIterator();
    std::uint32_t id = 0;
    std::size_t count = 0;
    while (mManager.NextFamily(*iterator, id) == kXNoErr)
        ++count;
    EXPECT_EQ(count, mFamilyIds.size());
    EXPECT_EQ(mManager.NextFamily(*iterator, id), static_cast<XStatus>(0x51002007));
}

TEST_F(InstalledFonts, FourStyleSlotsOfOneFamilyAndCondensedFacesInTheirOwn) {
    for (const char* ps : {"DejaVuSans", "DejaVuSans-Bold", "DejaVuSans-Oblique", "DejaVuSans-BoldOblique",
                           "DejaVuSansCondensed", "DejaVuSansCondensed-Bold", "DejaVuSans-ExtraLight"})
        ASSERT_TRUE(Has(ps)) << ps;
    const Face regular = mFaces.at("DejaVuSans");
    EXPECT_EQ(regular.style, kXRegular);
    EXPECT_EQ(mFaces.at("DejaVuSans-Bold").familyId, regular.familyId);
    EXPECT_EQ(mFaces.at("DejaVuSans-Bold").style, kXBold);
    EXPECT_EQ(mFaces.at("DejaVuSans-Oblique").style, kXItalic);
    EXPECT_EQ(mFaces.at("DejaVuSans-BoldOblique").style, kXBoldItalic);
    EXPECT_NE(mFaces.at("DejaVuSansCondensed-Bold").familyId, regular.familyId);
    EXPECT_NE(mFaces.at("DejaVuSans-ExtraLight").familyId, regular.familyId);
}

TEST_F(InstalledFonts, ImitatedSlotsAnswerWithTheFaceThatServesThem) {
    // Z003 has a Medium Italic face only.
    ASSERT_TRUE(Has("Z003-MediumItalic"));
    const Face face = mFaces.at("Z003-MediumItalic");
    EXPECT_EQ(face.style, kXItalic);
    std::uint32_t intrinsic = 99;
    ASSERT_EQ(mManager.GetIntrinsicStyle(face.familyId, kXRegular, intrinsic), kXNoErr);
    EXPECT_EQ(intrinsic, kXItalic);
    ASSERT_EQ(mManager.GetIntrinsicStyle(face.familyId, kXBoldItalic, intrinsic), kXNoErr);
    EXPECT_EQ(intrinsic, kXItalic);
    XFontSpec spec;
    spec.familyId = face.familyId;
    spec.style = kXBold;
    const XFont* font = nullptr;
    ASSERT_EQ(mManager.GetFont(spec, font), kXNoErr);
    EXPECT_EQ(font->GetStyleIndex(), kXItalic);
    EXPECT_EQ(font->GetFamilyId(), face.familyId);
    // The family's type is that of the face serving its regular slot.
    EXPECT_EQ(mManager.GetFontType(face.familyId), kXOpenTypePS);
}

TEST_F(InstalledFonts, FontTypesFollowTheOutlineFormat) {
    EXPECT_EQ(mManager.GetFontType(mFaces.at("DejaVuSans").familyId), kXTrueType);
    // One face per PostScript name: the OpenType file is preferred to the Type 1 copies.
    EXPECT_EQ(std::filesystem::path(PathOf("NimbusSans-Regular")).extension(), ".otf");
    EXPECT_EQ(mManager.GetFontType(mFaces.at("NimbusSans-Regular").familyId), kXOpenTypePS);
    EXPECT_EQ(mManager.GetFontType(mFaces.at("WenQuanYiMicroHei").familyId), kXTrueType);
    EXPECT_EQ(PathOf("WenQuanYiMicroHeiMono"), PathOf("WenQuanYiMicroHei"));
    EXPECT_EQ(FontOf("WenQuanYiMicroHeiMono")->GetFaceIndex(), 1);
    EXPECT_EQ(mManager.GetFontType(9999), kXUnknownType);
}

TEST_F(InstalledFonts, EastAsianFromUnicodeRangesOrLanguageCoverage) {
    EXPECT_TRUE(mManager.IsEastAsian(*FontOf("WenQuanYiMicroHei")));
    EXPECT_TRUE(mManager.IsEastAsian(*FontOf("WenQuanYiMicroHeiMono")));
    EXPECT_FALSE(mManager.IsEastAsian(*FontOf("DejaVuSans")));
    EXPECT_FALSE(mManager.IsEastAsian(*FontOf("NimbusSans-Regular")));
    EXPECT_FALSE(mManager.IsEastAsian(*FontOf("DejaVuSerif-Bold")));
}

TEST_F(InstalledFonts, NamesAreCutToTheBufferAndUnknownFontsAnswerNoSuchFont) {
    const Face face = mFaces.at("DejaVuSans-BoldOblique");
    char small[8];
    ASSERT_EQ(mManager.GetPSFontName(face.familyId, face.style, small, sizeof small), kXNoErr);
    EXPECT_STREQ(small, "DejaVuS");
    char name[64];
    EXPECT_EQ(mManager.GetPSFontName(0, 0, name, sizeof name), static_cast<XStatus>(0x51002006));
    EXPECT_EQ(mManager.GetPSFontName(9999, 0, name, sizeof name), static_cast<XStatus>(0x51002006));
    std::uint32_t intrinsic = 0;
    EXPECT_EQ(mManager.GetIntrinsicStyle(9999, 0, intrinsic), static_cast<XStatus>(0x51002006));
    BRASK::CoreString path;
    EXPECT_EQ(mManager.GetFontFilePath(face.familyId, face.style, 1, path), static_cast<XStatus>(0x51002006));
    EXPECT_TRUE(std::filesystem::exists(PathOf("DejaVuSans-BoldOblique")));
}

TEST_F(InstalledFonts, ASecondRefreshKeepsFamilyIds) {
    const Face before = mFaces.at("DejaVuSerif-Bold");
    BXStringPtrArray added, removed;
    ASSERT_EQ(mManager.Refresh(added, removed), kXNoErr);
    EXPECT_TRUE(added.empty());
    EXPECT_TRUE(removed.empty());
    char name[64] = {};
    ASSERT_EQ(mManager.GetPSFontName(before.familyId, before.style, name, sizeof name), kXNoErr);
    EXPECT_STREQ(name, "DejaVuSerif-Bold");
}

TEST_F(InstalledFonts, EveryInstalledPostScriptNameHasAFaceSlot) {
    const auto faces = ListInstalledFaces();
    ASSERT_GT(faces.size(), 100u); // DejaVu, URW base 35 in three formats, WenQuanYi
    std::set<std::string> names;
    for (const auto& face : faces)
        names.insert(face.psName);
    for (const auto& name : names)
        EXPECT_TRUE(Has(name)) << name;
    EXPECT_EQ(mFaces.size(), names.size());
}
