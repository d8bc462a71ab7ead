// A font map from the fonts fontconfig knows, for callers without a stub tree.
#include "fontmap/StubFontMap.h"

#include "FontFiles.h"
#include "StubText.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>

namespace BRASK::FONTMAP {

namespace {

struct Face {
    std::string path;
    int index = 0;
    std::string psName;
    std::string format;
    bool eastAsian = false;
};

// Lower ranks are preferred when several files carry one PostScript name.
int Rank(const Face& face) {
    if (face.format == "TrueType")
        return 0;
    if (face.format == "CFF")
        return 1;
    if (face.format == "Type 1")
        return face.path.size() > 4 && face.path.compare(face.path.size() - 4, 4, ".pfb") == 0 ? 2 : 3;
    return 4;
}

std::vector<Face> ListFaces() {
    std::vector<Face> faces;
    FcConfig* config = FcConfigGetCurrent();
    if (config == nullptr)
        return faces;
    std::unique_ptr<FcPattern, void (*)(FcPattern*)> pattern(FcPatternCreate(), &FcPatternDestroy);
    FcPatternAddBool(pattern.get(), FC_OUTLINE, FcTrue);
    std::unique_ptr<FcObjectSet, void (*)(FcObjectSet*)> objects(
        FcObjectSetBuild(FC_FILE, FC_INDEX, FC_POSTSCRIPT_NAME, FC_FONTFORMAT, FC_LANG, nullptr),
        &FcObjectSetDestroy);
    std::unique_ptr<FcFontSet, void (*)(FcFontSet*)> set(FcFontList(config, pattern.get(), objects.get()),
                                                         &FcFontSetDestroy);
    if (!set)
        return faces;
    for (int i = 0; i < set->nfont; ++i) {
        FcPattern* font = set->fonts[i];
        FcChar8* file = nullptr;
        FcChar8* ps = nullptr;
        if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch ||
            FcPatternGetString(font, FC_POSTSCRIPT_NAME, 0, &ps) != FcResultMatch)
            continue;
        Face face;
        face.path = reinterpret_cast<const char*>(file);
        face.psName = reinterpret_cast<const char*>(ps);
        FcPatternGetInteger(font, FC_INDEX, 0, &face.index);
        if ((face.index >> 16) != 0) // named instance of a variable font
            continue;
        FcChar8* format = nullptr;
        if (FcPatternGetString(font, FC_FONTFORMAT, 0, &format) == FcResultMatch)
            face.format = reinterpret_cast<const char*>(format);
        FcLangSet* langs = nullptr;
        if (FcPatternGetLangSet(font, FC_LANG, 0, &langs) == FcResultMatch && langs != nullptr) {
            for (const char* lang : {"ja", "ko", "zh-cn", "zh-tw", "zh-hk"})
                if (FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>(lang)) == FcLangEqual)
                    face.eastAsian = true;
        }
        faces.push_back(std::move(face));
    }
    std::sort(faces.begin(), faces.end(), [](const Face& a, const Face& b) {
        if (a.psName != b.psName)
            return a.psName < b.psName;
        if (Rank(a) != Rank(b))
            return Rank(a) < Rank(b);
        return a.path != b.path ? a.path < b.path : a.index < b.index;
    });
    return faces;
}

} // namespace

StubFontMap ReadInstalledFontMap(const GhostscriptResources& resources) {
    StubFontMap map;
    try {
        FcInitBringUptoDate();
        FontFaces faceInfo;
        std::set<std::string> fonts;
        std::set<std::string> cidFonts;
        std::set<std::string> folders;
        for (const Face& face : ListFaces()) {
            if (!IsPlainName(face.psName))
                continue;
            const std::string folder = std::filesystem::path(face.path).parent_path().string();
            if (face.index == 0 && resources.Owns(face.psName)) {
                if (fonts.insert(face.psName).second)
                    map.leftToGhostscript.push_back(face.psName);
            } else if (face.index == 0 && fonts.insert(face.psName).second) {
                map.fonts.push_back({face.psName, face.path, {}});
                if (folders.insert(folder).second)
                    map.fontFolders.push_back(folder);
            }
            if (face.eastAsian && face.format == "TrueType" && !cidFonts.count(face.psName)) {
                const auto& infos = faceInfo.Faces(face.path);
                if (static_cast<std::size_t>(face.index) >= infos.size() ||
                    !infos[face.index].trueTypeOutlines)
                    continue;
                cidFonts.insert(face.psName);
                CIDFontEntry entry;
                entry.name = face.psName;
                entry.path = face.path;
                entry.subfont = face.index;
                entry.ordering = infos[face.index].ordering;
                entry.supplement = infos[face.index].supplement;
                map.cidFonts.push_back(std::move(entry));
                if (folders.insert(folder).second)
                    map.fontFolders.push_back(folder);
            }
        }
        for (const Face& face : ListFaces())
            if (face.index != 0 && fonts.insert(face.psName).second)
                map.problems.push_back(face.psName + ": face " + std::to_string(face.index) + " of " +
                                       face.path +
                                       ": Ghostscript's Fontmap loads only the first face of a collection");
    } catch (const std::exception& error) {
        map.problems.push_back(std::string("installed fonts: ") + error.what());
    }
    return map;
}

} // namespace BRASK::FONTMAP
