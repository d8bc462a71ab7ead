#include "InstalledFaces.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

namespace XF {

namespace {

struct PatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct ObjectSetDeleter {
    void operator()(FcObjectSet* s) const { FcObjectSetDestroy(s); }
};
struct FontSetDeleter {
    void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};

std::vector<std::string> Strings(FcPattern* pattern, const char* object) {
    std::vector<std::string> values;
    FcChar8* value = nullptr;
    for (int i = 0; FcPatternGetString(pattern, object, i, &value) == FcResultMatch; ++i)
        values.emplace_back(reinterpret_cast<const char*>(value));
    return values;
}

bool CoversEastAsianLanguage(FcPattern* pattern) {
    FcLangSet* langs = nullptr;
    if (FcPatternGetLangSet(pattern, FC_LANG, 0, &langs) != FcResultMatch || langs == nullptr)
        return false;
    for (const char* lang : {"ja", "ko", "zh-cn", "zh-tw", "zh-hk"})
        if (FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>(lang)) == FcLangEqual)
            return true;
    return false;
}

// Lower ranks are preferred when several files carry one PostScript name.
int FormatRank(const FaceRecord& face) {
    if (face.format == "TrueType")
        return 0;
    if (face.format == "CFF")
        return 1;
    if (face.format == "Type 1") {
        const auto dot = face.path.rfind('.');
        const std::string ext = dot == std::string::npos ? "" : face.path.substr(dot);
        return ext == ".pfb" || ext == ".PFB" ? 2 : 3;
    }
    return 4;
}

bool HasWord(const std::string& text, const char* word) {
    return text.find(word) != std::string::npos;
}

bool IsPlainStyleName(const std::string& style) {
    static const std::set<std::string> kPlain = {"Regular",     "Book",         "Roman",      "Normal",
                                                 "Plain",       "Bold",         "Italic",     "Oblique",
                                                 "Bold Italic", "Bold Oblique", "BoldItalic", "BoldOblique"};
    return kPlain.count(style) != 0;
}

int SlotFromStyleName(const std::string& style) {
    const bool bold = HasWord(style, "Bold");
    const bool italic = HasWord(style, "Italic") || HasWord(style, "Oblique");
    return (bold ? 1 : 0) + (italic ? 2 : 0);
}

int SlotFromMetrics(const FaceRecord& face) {
    const bool bold = face.weight >= FC_WEIGHT_DEMIBOLD;
    const bool italic = face.slant != FC_SLANT_ROMAN;
    return (bold ? 1 : 0) + (italic ? 2 : 0);
}

// The family name and slot the face's own naming suggests: a family/style pair with a plain style name
// (as "DejaVu Sans Condensed" + "Bold"), else the primary family and the slot from weight and slant.
std::pair<std::string, int> NaturalPlace(const FaceRecord& face, bool& plain) {
    plain = false;
    if (!face.familyNames.empty() && face.familyNames.size() == face.styleNames.size()) {
        for (std::size_t i = face.styleNames.size(); i-- > 0;) {
            if (IsPlainStyleName(face.styleNames[i])) {
                plain = true;
                return {face.familyNames[i], SlotFromStyleName(face.styleNames[i])};
            }
        }
    }
    std::string family = face.familyNames.empty() ? face.psName : face.familyNames.front();
    return {family, SlotFromMetrics(face)};
}

} // namespace

std::vector<FaceRecord> ListInstalledFaces() {
    std::vector<FaceRecord> faces;
    FcConfig* config = FcConfigGetCurrent();
    if (config == nullptr)
        return faces;
    std::unique_ptr<FcPattern, PatternDeleter> pattern(FcPatternCreate());
    FcPatternAddBool(pattern.get(), FC_OUTLINE, FcTrue);
    std::unique_ptr<FcObjectSet, ObjectSetDeleter> objects(
        FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FAMILY, FC_STYLE, FC_POSTSCRIPT_NAME, FC_FONTFORMAT, FC_WEIGHT,
                         FC_SLANT, FC_LANG, nullptr));
    std::unique_ptr<FcFontSet, FontSetDeleter> set(FcFontList(config, pattern.get(), objects.get()));
    if (!set)
        return faces;
    for (int i = 0; i < set->nfont; ++i) {
        FcPattern* font = set->fonts[i];
        FcChar8* file = nullptr;
        if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch)
            continue;
        int index = 0;
        FcPatternGetInteger(font, FC_INDEX, 0, &index);
        if ((index >> 16) != 0) // a named instance of a variable font
            continue;
        FaceRecord face;
        face.path = reinterpret_cast<const char*>(file);
        face.faceIndex = index;
        const auto ps = Strings(font, FC_POSTSCRIPT_NAME);
        if (ps.empty() || ps.front().empty())
            continue;
        face.psName = ps.front();
        face.familyNames = Strings(font, FC_FAMILY);
        face.styleNames = Strings(font, FC_STYLE);
        const auto format = Strings(font, FC_FONTFORMAT);
        face.format = format.empty() ? std::string() : format.front();
        double weight = 80;
        if (FcPatternGetDouble(font, FC_WEIGHT, 0, &weight) != FcResultMatch) {
            int w = 80;
            if (FcPatternGetInteger(font, FC_WEIGHT, 0, &w) == FcResultMatch)
                weight = w;
        }
        face.weight = static_cast<int>(weight);
        FcPatternGetInteger(font, FC_SLANT, 0, &face.slant);
        face.eastAsianLanguages = CoversEastAsianLanguage(font);
        faces.push_back(std::move(face));
    }
    return faces;
}

void GroupIntoFamilies(std::vector<FaceRecord>& faces, std::vector<FamilyRecord>& families) {
    // One face per PostScript name.
    std::sort(faces.begin(), faces.end(), [](const FaceRecord& a, const FaceRecord& b) {
        if (a.psName != b.psName)
            return a.psName < b.psName;
        const int ra = FormatRank(a), rb = FormatRank(b);
        if (ra != rb)
            return ra < rb;
        if (a.path != b.path)
            return a.path < b.path;
        return a.faceIndex < b.faceIndex;
    });
    faces.erase(std::unique(faces.begin(), faces.end(),
                            [](const FaceRecord& a, const FaceRecord& b) { return a.psName == b.psName; }),
                faces.end());

    // Faces with plain style names claim their slots first; the others take a free slot of their natural
    // family or found a family of their own (family name + style name).
    // A family holds faces of one outline format only: its font type is that of its regular face, so a
    // family of mixed formats (a TrueType regular with a Type 1 bold) is kept apart by format.
    std::map<std::string, std::set<std::string>> formatsByName;
    std::vector<std::pair<std::string, int>> places(faces.size());
    std::vector<bool> plain(faces.size());
    for (std::size_t i = 0; i < faces.size(); ++i) {
        bool isPlain = false;
        places[i] = NaturalPlace(faces[i], isPlain);
        plain[i] = isPlain;
        formatsByName[places[i].first].insert(faces[i].format);
    }
    for (std::size_t i = 0; i < faces.size(); ++i)
        if (formatsByName[places[i].first].size() > 1)
            places[i].first += " (" + faces[i].format + ")";
    std::map<std::string, FamilyRecord> byName;
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 0; i < faces.size(); ++i) {
            if (plain[i] != (pass == 0))
                continue;
            auto [name, slot] = places[i];
            FamilyRecord* family = &byName[name];
            if (family->slots[slot] != FamilyRecord::kNoFace) {
                const std::string style = faces[i].styleNames.empty() ? "" : faces[i].styleNames.front();
                name = (faces[i].familyNames.empty() ? faces[i].psName : faces[i].familyNames.front()) + " " +
                       style;
                if (byName[name].slots[slot] != FamilyRecord::kNoFace) {
                    // PostScript names are unique, so this ends after a few steps at most.
                    for (name = faces[i].psName; byName[name].slots[slot] != FamilyRecord::kNoFace;)
                        name += "+";
                }
                family = &byName[name];
            }
            family->name = name;
            family->slots[slot] = static_cast<int>(i);
        }
    }
    families.clear();
    for (auto& [name, family] : byName) {
        // Names tried and found taken leave entries without faces behind.
        const bool hasFace = std::any_of(family.slots.begin(), family.slots.end(),
                                         [](int face) { return face != FamilyRecord::kNoFace; });
        if (hasFace)
            families.push_back(std::move(family));
    }
}

} // namespace XF
