#include "FontFiles.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace BRASK::FONTMAP {

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Join(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

} // namespace

FontFolderIndex::FontFolderIndex(std::vector<std::string> folders)
    : mFolders(std::move(folders)), mListings(mFolders.size()) {}

std::vector<std::string> FontFolderIndex::FindAll(const std::string& fileName) {
    std::vector<std::string> paths;
    if (fileName.empty() || fileName.find('/') != std::string::npos || fileName == "." || fileName == "..")
        return paths;
    std::error_code error;
    for (const auto& folder : mFolders) {
        const std::string path = Join(folder, fileName);
        if (std::filesystem::is_regular_file(path, error) &&
            std::find(paths.begin(), paths.end(), path) == paths.end())
            paths.push_back(path);
    }
    if (!paths.empty())
        return paths;
    const std::string lower = Lower(fileName);
    for (std::size_t i = 0; i < mFolders.size(); ++i) {
        Listing& listing = mListings[i];
        if (!listing.read) {
            listing.read = true;
            for (std::filesystem::directory_iterator it(mFolders[i], error), end; !error && it != end;
                 it.increment(error)) {
                const std::string name = it->path().filename().string();
                listing.byLowerName.emplace(Lower(name), name);
            }
            error.clear();
        }
        const auto found = listing.byLowerName.find(lower);
        if (found != listing.byLowerName.end()) {
            const std::string path = Join(mFolders[i], found->second);
            if (std::filesystem::is_regular_file(path, error) &&
                std::find(paths.begin(), paths.end(), path) == paths.end())
                paths.push_back(path);
        }
    }
    return paths;
}

struct FontFaces::Impl {
    FT_Library library = nullptr;
};

FontFaces::FontFaces() : mImpl(std::make_unique<Impl>()) {
    if (FT_Init_FreeType(&mImpl->library) != 0)
        mImpl->library = nullptr;
}

FontFaces::~FontFaces() {
    if (mImpl->library != nullptr)
        FT_Done_FreeType(mImpl->library);
}

const std::vector<FaceInfo>& FontFaces::Faces(const std::string& path) {
    const auto cached = mCache.find(path);
    if (cached != mCache.end())
        return cached->second;
    std::vector<FaceInfo>& faces = mCache[path];
    if (mImpl->library == nullptr)
        return faces;
    FT_Long count = 1;
    for (FT_Long index = 0; index < count && index < 1024; ++index) {
        FT_Face face = nullptr;
        if (FT_New_Face(mImpl->library, path.c_str(), index, &face) != 0)
            break;
        count = face->num_faces;
        FaceInfo info;
        if (const char* ps = FT_Get_Postscript_Name(face))
            info.psName = ps;
        FT_ULong length = 0;
        info.trueTypeOutlines =
            FT_IS_SFNT(face) && FT_Load_Sfnt_Table(face, TTAG_glyf, 0, nullptr, &length) == 0 && length > 0;
        info.ordering = "Identity";
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        if (os2 != nullptr && os2->version != 0xFFFF && os2->version >= 1) {
            // Code-page bits: 18 Chinese simplified, 17 Japanese, 20 Chinese traditional, 19/21 Korean.
            struct Collection {
                int bit;
                const char* ordering;
                int supplement;
            };
            static constexpr Collection kCollections[] = {
                {18, "GB1", 5}, {17, "Japan1", 6}, {20, "CNS1", 5}, {19, "Korea1", 2}, {21, "Korea1", 2}};
            for (const auto& collection : kCollections) {
                if ((os2->ulCodePageRange1 >> collection.bit) & 1u) {
                    info.ordering = collection.ordering;
                    info.supplement = collection.supplement;
                    break;
                }
            }
        }
        FT_Done_Face(face);
        faces.push_back(std::move(info));
    }
    return faces;
}

} // namespace BRASK::FONTMAP
