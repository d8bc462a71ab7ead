// Finding stub font files in the %psfont% folders, and what FreeType tells about them.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace BRASK::FONTMAP {

// Looks bare file names up in an ordered list of folders; a name found in no folder with that exact spelling
// is matched without regard to case (font files named on a case-blind system).
class FontFolderIndex {
public:
    explicit FontFolderIndex(std::vector<std::string> folders);
    // The full paths of every folder's file of that name, in folder order; empty when none.
    std::vector<std::string> FindAll(const std::string& fileName);

private:
    struct Listing {
        bool read = false;
        std::map<std::string, std::string> byLowerName;
    };
    std::vector<std::string> mFolders;
    std::vector<Listing> mListings;
};

struct FaceInfo {
    std::string psName;
    bool trueTypeOutlines = false; // sfnt with a glyf table
    std::string ordering;          // character collection from the OS/2 code pages ("Identity" when none)
    int supplement = 0;
};

// The faces of font files, read once per file.
class FontFaces {
public:
    FontFaces();
    ~FontFaces();
    FontFaces(const FontFaces&) = delete;
    FontFaces& operator=(const FontFaces&) = delete;

    // Every face of the file (one for a plain font file, none when FreeType cannot open it).
    const std::vector<FaceInfo>& Faces(const std::string& path);

private:
    struct Impl;
    std::unique_ptr<Impl> mImpl;
    std::map<std::string, std::vector<FaceInfo>> mCache;
};

} // namespace BRASK::FONTMAP
