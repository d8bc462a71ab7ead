// The font library against the fonts installed on the machine (DejaVu, the URW base 35, WenQuanYi Micro Hei),
// and grouping faces into families of four style slots, on face records made by the test.
#include "../support/Fixture.h"

#include "FaceProbe.h"
#include "InstalledFaces.h"
#include "XFontManager.h"

#include <filesystem>
#include <map>
#include <set>
#include <string>

using namespace XF;

namespace {

constexpr XStatus kNoSuchFont = static_cast<XStatus>(0x51002006);

struct Face {
    std::uint32_t familyId;
    std::uint32_t style;
};

// Every face the manager serves in a slot of its own, by PostScript name.
class InstalledFonts : public BRASK::TEST::Fixture {
protected:
    void SetUp() override {
        Fixture::SetUp();
        BXStringPtrArray added, removed;
        ASSERT_EQ(mManager.Refresh(added, removed), kXNoErr);
        EXPECT_FALSE(added.empty());
        EXPECT_TRUE(removed.empty());
        auto iterator = mManager.NewFamilyIterator();
        for (std::uint32_t id = 0; mManager.NextFamily(*iterator, id) == kXNoErr;) {
            EXPECT_TRUE(mFamilyIds.insert(id).second) << "family visited twice: " << id;
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
        std::uint32_t id = 0;
        EXPECT_EQ(mManager.NextFamily(*iterator, id), static_cast<XStatus>(0x51002007));
    }
    const XFont& FontOf(const Face& face) {
        XFontSpec spec;
        spec.familyId = face.familyId;
        spec.style = face.style;
        const XFont* font = nullptr;
        EXPECT_EQ(mManager.GetFont(spec, font), kXNoErr);
        return *font;
    }
    std::string PathOf(const std::string& ps) {
        BRASK::CoreString path;
        EXPECT_EQ(mManager.GetFontFilePath(mFaces.at(ps).familyId, mFaces.at(ps).style, 0, path), kXNoErr);
        return path.GetUTF8String();
    }

    XFontManager mManager{BRASK::CoreString()};
    std::set<std::uint32_t> mFamilyIds;
    std::map<std::string, Face> mFaces;
};

FaceRecord Record(const std::string& ps, const std::string& path, const std::string& family,
                  const std::string& style, const std::string& format, int weight = 80, int slant = 0) {
    return {path, 0, ps, {family}, {style}, weight, slant, format};
}

// PostScript name -> "family|slot|path of the face kept".
using Places = std::map<std::string, std::string>;
Places Group(std::vector<FaceRecord>& faces) {
    std::vector<FamilyRecord> families;
    GroupIntoFamilies(faces, families);
    Places places;
    for (const auto& family : families)
        for (int slot = 0; slot < 4; ++slot)
            if (family.slots[slot] != FamilyRecord::kNoFace) {
                const FaceRecord& face = faces[family.slots[slot]];
                const std::string place = family.name + "|" + std::to_string(slot) + "|" + face.path;
                EXPECT_TRUE(places.emplace(face.psName, place).second);
            }
    EXPECT_EQ(places.size(), faces.size()); // every face fills exactly one slot
    return places;
}

} // namespace

TEST_F(InstalledFonts, SlotsTypesFilesAndEastAsianFaces) {
    struct Row {
        const char *ps, *familyOf; // the face whose family it shares; null: a family of its own
        std::uint32_t style, type;
        bool eastAsian;
    } rows[] = {{"DejaVuSans", nullptr, kXRegular, kXTrueType, false},
                {"DejaVuSans-Bold", "DejaVuSans", kXBold, kXTrueType, false},
                {"DejaVuSans-Oblique", "DejaVuSans", kXItalic, kXTrueType, false},
                {"DejaVuSans-BoldOblique", "DejaVuSans", kXBoldItalic, kXTrueType, false},
                {"DejaVuSerif-Bold", nullptr, kXBold, kXTrueType, false},
                {"NimbusSans-Regular", nullptr, kXRegular, kXOpenTypePS, false},
                {"WenQuanYiMicroHei", nullptr, kXRegular, kXTrueType, true},
                {"WenQuanYiMicroHeiMono", nullptr, kXRegular, kXTrueType, true}};
    for (const Row& row : rows) {
        ASSERT_TRUE(mFaces.count(row.ps)) << row.ps;
        const Face face = mFaces.at(row.ps);
        EXPECT_EQ(face.style, row.style) << row.ps;
        EXPECT_EQ(mManager.GetFontType(face.familyId), row.type) << row.ps;
        EXPECT_EQ(mManager.IsEastAsian(FontOf(face)), row.eastAsian) << row.ps;
        if (row.familyOf) {
            EXPECT_EQ(face.familyId, mFaces.at(row.familyOf).familyId) << row.ps;
        } else if (row.ps != std::string("DejaVuSans")) {
            EXPECT_NE(face.familyId, mFaces.at("DejaVuSans").familyId) << row.ps;
        }
    }
    // One face per PostScript name: the OpenType file is preferred to the Type 1 copies.
    EXPECT_EQ(std::filesystem::path(PathOf("NimbusSans-Regular")).extension(), ".otf");
    EXPECT_EQ(PathOf("WenQuanYiMicroHeiMono"), PathOf("WenQuanYiMicroHei"));
    EXPECT_EQ(FontOf(mFaces.at("WenQuanYiMicroHeiMono")).GetFaceIndex(), 1);
}

TEST_F(InstalledFonts, ImitatedSlotsAnswerWithTheFaceThatServesThemNamesAreCutAndUnknownFontsRefused) {
    // Z003 has a Medium Italic face only: it serves every slot, and the family has its type.
    ASSERT_TRUE(mFaces.count("Z003-MediumItalic"));
    const Face face = mFaces.at("Z003-MediumItalic");
    EXPECT_EQ(face.style, kXItalic);
    EXPECT_EQ(mManager.GetFontType(face.familyId), kXOpenTypePS);
    for (std::uint32_t style = 0; style < kXStyleCount; ++style) {
        std::uint32_t intrinsic = 99;
        ASSERT_EQ(mManager.GetIntrinsicStyle(face.familyId, style, intrinsic), kXNoErr);
        EXPECT_EQ(intrinsic, kXItalic);
        const XFont& font = FontOf(Face{face.familyId, style});
        EXPECT_EQ(std::make_pair(font.GetFamilyId(), font.GetStyleIndex()),
                  std::make_pair(face.familyId, std::uint32_t{kXItalic}));
    }

    // Names cut to the buffer, and unknown fonts.
    char name[8];
    const Face bold = mFaces.at("DejaVuSans-BoldOblique");
    ASSERT_EQ(mManager.GetPSFontName(bold.familyId, bold.style, name, sizeof name), kXNoErr);
    EXPECT_STREQ(name, "DejaVuS");
    EXPECT_EQ(mManager.GetPSFontName(0, 0, name, sizeof name), kNoSuchFont);
    EXPECT_EQ(mManager.GetPSFontName(9999, 0, name, sizeof name), kNoSuchFont);
    std::uint32_t intrinsic = 0;
    EXPECT_EQ(mManager.GetIntrinsicStyle(9999, 0, intrinsic), kNoSuchFont);
    EXPECT_EQ(mManager.GetFontType(9999), kXUnknownType);
    BRASK::CoreString path;
    EXPECT_EQ(mManager.GetFontFilePath(bold.familyId, bold.style, 1, path), kNoSuchFont);
}

TEST(FaceProbeTest, TypesByOutlineFile) {
    // The URW base 35 come as OpenType, as PFB and as Type 1 text (.t1): the text form is no PFB.
    struct Row {
        const char* path;
        int face;
        std::uint32_t type;
    } rows[] = {{"/usr/share/fonts/type1/urw-base35/NimbusSans-Regular.t1", 0, kXType1Text},
                {"/usr/share/fonts/X11/Type1/NimbusSans-Regular.pfb", 0, kXType1},
                {"/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf", 0, kXOpenTypePS},
                {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 0, kXTrueType},
                {"/usr/share/fonts/truetype/wqy/wqy-microhei.ttc", 1, kXTrueType},
                {"/usr/share/fonts/type1/urw-base35/NimbusSans-Regular.afm", 0, kXUnknownType},
                {"/no/such/font.ttf", 0, kXUnknownType}};
    FaceProbe probe;
    for (const Row& row : rows)
        EXPECT_EQ(probe.FontType(row.path, row.face), row.type) << row.path;
}

TEST(GroupIntoFamilies, OneFilePerNameInFormatOrderOneFormatPerFamilyAndSlotsByStyle) {
    std::vector<FaceRecord> faces = {Record("Sans", "/a/sans.t1", "Sans", "Regular", "Type 1"),
                                     Record("Sans", "/a/sans.pfb", "Sans", "Regular", "Type 1"),
                                     Record("Sans", "/a/sans.otf", "Sans", "Regular", "CFF"),
                                     Record("Serif", "/a/serif.t1", "Serif", "Regular", "Type 1"),
                                     Record("Serif", "/a/serif.pfb", "Serif", "Regular", "Type 1"),
                                     Record("Mono", "/b/mono.otf", "Mono", "Regular", "CFF"),
                                     Record("Mono", "/a/mono.ttf", "Mono", "Regular", "TrueType"),
                                     Record("Mix-Regular", "/f/r.ttf", "Mix", "Regular", "TrueType"),
                                     Record("Mix-Bold", "/f/b.pfb", "Mix", "Bold", "Type 1", 200)};
    EXPECT_EQ(Group(faces), (Places{{"Sans", "Sans|0|/a/sans.otf"},
                                    {"Serif", "Serif|0|/a/serif.pfb"},
                                    {"Mono", "Mono|0|/a/mono.ttf"},
                                    {"Mix-Regular", "Mix (TrueType)|0|/f/r.ttf"},
                                    {"Mix-Bold", "Mix (Type 1)|1|/f/b.pfb"}}));

    // Slots from style names, or from weight and slant; competing faces apart.
    FaceRecord condensed = Record("Sans-Condensed-Bold", "/f/c", "Sans", "Condensed Bold", "TrueType", 200);
    condensed.familyNames = {"Sans", "Sans Condensed"};
    condensed.styleNames = {"Condensed Bold", "Bold"};
    faces = {Record("B-Regular", "/f/1", "B", "Regular", "CFF"),
             Record("B-Demi", "/f/2", "B", "Demi", "CFF", 180),
             Record("B-LightItalic", "/f/3", "B", "Light Italic", "CFF", 50, 100),
             Record("B-DemiItalic", "/f/4", "B", "Demi Italic", "CFF", 180, 100),
             Record("Sans-Bold", "/f/b", "Sans", "Bold", "TrueType", 200),
             condensed,
             Record("Sans-Light", "/f/l", "Sans", "Light", "TrueType", 50),
             Record("Sans", "/f/r", "Sans", "Book", "TrueType"),
             Record("Sans-Thin", "/f/t", "Sans", "Light", "TrueType", 0)};
    // Same family and style name as another face: a family named after the PostScript name.
    const Places expected = {{"B-Regular", "B|0|/f/1"},
                             {"B-Demi", "B|1|/f/2"},
                             {"B-LightItalic", "B|2|/f/3"},
                             {"B-DemiItalic", "B|3|/f/4"},
                             {"Sans", "Sans|0|/f/r"},
                             {"Sans-Bold", "Sans|1|/f/b"},
                             {"Sans-Condensed-Bold", "Sans Condensed|1|/f/c"},
                             {"Sans-Light", "Sans Light|0|/f/l"},
                             {"Sans-Thin", "Sans-Thin|0|/f/t"}};
    EXPECT_EQ(Group(faces), expected);
}
