// Grouping faces into families of four style slots, on face records made by the test.
#include "fonts/InstalledFaces.h"

#include <gtest/gtest.h>

#include <map>

using namespace XF;

namespace {

FaceRecord Face(const std::string& ps, const std::string& path, const std::string& family,
                const std::string& style, const std::string& format, int weight = 80, int slant = 0) {
    FaceRecord face;
    face.psName = ps;
    face.path = path;
    face.familyNames = {family};
    face.styleNames = {style};
    face.format = format;
    face.weight = weight;
    face.slant = slant;
    return face;
}

// PostScript name -> (family name, slot).
std::map<std::string, std::pair<std::string, int>> Places(std::vector<FaceRecord> faces) {
    std::vector<FamilyRecord> families;
    GroupIntoFamilies(faces, families);
    std::map<std::string, std::pair<std::string, int>> places;
    for (const auto& family : families)
        for (int slot = 0; slot < 4; ++slot)
            if (family.slots[slot] != FamilyRecord::kNoFace)
                places[faces[family.slots[slot]].psName] = {family.name, slot};
    return places;
}

} // namespace

TEST(GroupIntoFamilies, OneFilePerPostScriptNameInFormatOrder) {
    std::vector<FaceRecord> faces = {Face("Sans", "/a/sans.t1", "Sans", "Regular", "Type 1"),
                                     Face("Sans", "/a/sans.pfb", "Sans", "Regular", "Type 1"),
                                     Face("Sans", "/a/sans.otf", "Sans", "Regular", "CFF"),
                                     Face("Serif", "/a/serif.t1", "Serif", "Regular", "Type 1"),
                                     Face("Serif", "/a/serif.pfb", "Serif", "Regular", "Type 1"),
                                     Face("Mono", "/b/mono.otf", "Mono", "Regular", "CFF"),
                                     Face("Mono", "/a/mono.ttf", "Mono", "Regular", "TrueType")};
    std::vector<FamilyRecord> families;
    GroupIntoFamilies(faces, families);
    ASSERT_EQ(faces.size(), 3u);
    std::map<std::string, std::string> paths;
    for (const auto& face : faces)
        paths[face.psName] = face.path;
    EXPECT_EQ(paths["Sans"], "/a/sans.otf");
    EXPECT_EQ(paths["Serif"], "/a/serif.pfb");
    EXPECT_EQ(paths["Mono"], "/a/mono.ttf");
    EXPECT_EQ(families.size(), 3u);
}

TEST(GroupIntoFamilies, SlotsFromStyleNamesOrWeightAndSlant) {
    const auto places = Places({Face("B-Regular", "/f/1", "B", "Regular", "CFF"),
                                Face("B-Demi", "/f/2", "B", "Demi", "CFF", 180),
                                Face("B-LightItalic", "/f/3", "B", "Light Italic", "CFF", 50, 100),
                                Face("B-DemiItalic", "/f/4", "B", "Demi Italic", "CFF", 180, 100)});
    EXPECT_EQ(places.at("B-Regular"), std::make_pair(std::string("B"), 0));
    EXPECT_EQ(places.at("B-Demi"), std::make_pair(std::string("B"), 1));
    EXPECT_EQ(places.at("B-LightItalic"), std::make_pair(std::string("B"), 2));
    EXPECT_EQ(places.at("B-DemiItalic"), std::make_pair(std::string("B"), 3));
}

TEST(GroupIntoFamilies, FacesCompetingForASlotGetFamiliesOfTheirOwn) {
    FaceRecord condensed = Face("Sans-Condensed-Bold", "/f/c", "Sans", "Condensed Bold", "TrueType", 200);
    condensed.familyNames = {"Sans", "Sans Condensed"};
    condensed.styleNames = {"Condensed Bold", "Bold"};
    const auto places = Places({Face("Sans-Bold", "/f/b", "Sans", "Bold", "TrueType", 200), condensed,
                                Face("Sans-Light", "/f/l", "Sans", "Light", "TrueType", 50),
                                Face("Sans", "/f/r", "Sans", "Book", "TrueType"),
                                Face("Sans-Thin", "/f/t", "Sans", "Light", "TrueType", 0)});
    EXPECT_EQ(places.at("Sans"), std::make_pair(std::string("Sans"), 0));
    EXPECT_EQ(places.at("Sans-Bold"), std::make_pair(std::string("Sans"), 1));
    EXPECT_EQ(places.at("Sans-Condensed-Bold"), std::make_pair(std::string("Sans Condensed"), 1));
    EXPECT_EQ(places.at("Sans-Light"), std::make_pair(std::string("Sans Light"), 0));
    // Same family and style name as another face: a family named after the PostScript name.
    EXPECT_EQ(places.at("Sans-Thin"), std::make_pair(std::string("Sans-Thin"), 0));
}

TEST(GroupIntoFamilies, MixedOutlineFormatsAreKeptApart) {
    const auto places = Places({Face("Mix-Regular", "/f/r.ttf", "Mix", "Regular", "TrueType"),
                                Face("Mix-Bold", "/f/b.pfb", "Mix", "Bold", "Type 1", 200)});
    EXPECT_EQ(places.at("Mix-Regular").second, 0);
    EXPECT_EQ(places.at("Mix-Bold").second, 1);
    EXPECT_NE(places.at("Mix-Regular").first, places.at("Mix-Bold").first);
}
