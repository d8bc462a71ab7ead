// Grouping faces into families of four style slots, on face records made by the test.
#include "InstalledFaces.h"

#include <gtest/gtest.h>

#include <map>

using namespace XF;

namespace {

FaceRecord Face(const std::string& ps, const std::string& path, const std::string& family,
                const std::string& style, const std::string& format, int weight = 80, int slant = 0) {
    return {path, 0, ps, {family}, {style}, weight, slant, format};
}

// PostScript name -> (family name, slot); path of the face kept for each name.
using Places = std::map<std::string, std::pair<std::string, int>>;
Places Group(std::vector<FaceRecord>& faces) {
    std::vector<FamilyRecord> families;
    GroupIntoFamilies(faces, families);
    Places places;
    for (const auto& family : families)
        for (int slot = 0; slot < 4; ++slot)
            if (family.slots[slot] != FamilyRecord::kNoFace) {
                EXPECT_TRUE(
                    places.emplace(faces[family.slots[slot]].psName, std::pair{family.name, slot}).second);
            }
    EXPECT_EQ(places.size(), faces.size()); // every face fills exactly one slot
    return places;
}

} // namespace

TEST(GroupIntoFamilies, OneFilePerPostScriptNameInFormatOrderAndOneFormatPerFamily) {
    std::vector<FaceRecord> faces = {Face("Sans", "/a/sans.t1", "Sans", "Regular", "Type 1"),
                                     Face("Sans", "/a/sans.pfb", "Sans", "Regular", "Type 1"),
                                     Face("Sans", "/a/sans.otf", "Sans", "Regular", "CFF"),
                                     Face("Serif", "/a/serif.t1", "Serif", "Regular", "Type 1"),
                                     Face("Serif", "/a/serif.pfb", "Serif", "Regular", "Type 1"),
                                     Face("Mono", "/b/mono.otf", "Mono", "Regular", "CFF"),
                                     Face("Mono", "/a/mono.ttf", "Mono", "Regular", "TrueType"),
                                     Face("Mix-Regular", "/f/r.ttf", "Mix", "Regular", "TrueType"),
                                     Face("Mix-Bold", "/f/b.pfb", "Mix", "Bold", "Type 1", 200)};
    const Places places = Group(faces);
    ASSERT_EQ(faces.size(), 5u);
    std::map<std::string, std::string> paths;
    for (const auto& face : faces)
        paths[face.psName] = face.path;
    EXPECT_EQ(paths["Sans"], "/a/sans.otf");
    EXPECT_EQ(paths["Serif"], "/a/serif.pfb");
    EXPECT_EQ(paths["Mono"], "/a/mono.ttf");
    EXPECT_EQ(places.at("Mix-Regular").second, 0);
    EXPECT_EQ(places.at("Mix-Bold").second, 1);
    EXPECT_NE(places.at("Mix-Regular").first, places.at("Mix-Bold").first);
}

TEST(GroupIntoFamilies, SlotsFromStyleNamesOrWeightAndSlantAndCompetingFacesApart) {
    FaceRecord condensed = Face("Sans-Condensed-Bold", "/f/c", "Sans", "Condensed Bold", "TrueType", 200);
    condensed.familyNames = {"Sans", "Sans Condensed"};
    condensed.styleNames = {"Condensed Bold", "Bold"};
    std::vector<FaceRecord> faces = {Face("B-Regular", "/f/1", "B", "Regular", "CFF"),
                                     Face("B-Demi", "/f/2", "B", "Demi", "CFF", 180),
                                     Face("B-LightItalic", "/f/3", "B", "Light Italic", "CFF", 50, 100),
                                     Face("B-DemiItalic", "/f/4", "B", "Demi Italic", "CFF", 180, 100),
                                     Face("Sans-Bold", "/f/b", "Sans", "Bold", "TrueType", 200),
                                     condensed,
                                     Face("Sans-Light", "/f/l", "Sans", "Light", "TrueType", 50),
                                     Face("Sans", "/f/r", "Sans", "Book", "TrueType"),
                                     Face("Sans-Thin", "/f/t", "Sans", "Light", "TrueType", 0)};
    // Same family and style name as another face: a family named after the PostScript name.
    const Places expected = {{"B-Regular", {"B", 0}},
                             {"B-Demi", {"B", 1}},
                             {"B-LightItalic", {"B", 2}},
                             {"B-DemiItalic", {"B", 3}},
                             {"Sans", {"Sans", 0}},
                             {"Sans-Bold", {"Sans", 1}},
                             {"Sans-Condensed-Bold", {"Sans Condensed", 1}},
                             {"Sans-Light", {"Sans Light", 0}},
                             {"Sans-Thin", {"Sans-Thin", 0}}};
    EXPECT_EQ(Group(faces), expected);
}
