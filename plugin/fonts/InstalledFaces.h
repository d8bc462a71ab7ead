// The installed outline faces as fontconfig lists them, and their grouping into families of four style slots.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace XF {

struct FaceRecord {
    std::string path; // UTF-8
    int faceIndex = 0;
    std::string psName;
    std::vector<std::string> familyNames; // as fontconfig gives them, primary name first
    std::vector<std::string> styleNames;
    int weight = 80;                 // fontconfig weight scale
    int slant = 0;                   // fontconfig slant (0 roman)
    std::string format;              // fontconfig font format ("TrueType", "CFF", "Type 1", ...)
    bool eastAsianLanguages = false; // covers Japanese, Chinese or Korean
};

struct FamilyRecord {
    std::string name;
    static constexpr int kNoFace = -1;
    std::array<int, 4> slots{kNoFace, kNoFace, kNoFace, kNoFace}; // face index per style slot
};

// Every scalable face fontconfig knows (named instances of variable fonts left out).
std::vector<FaceRecord> ListInstalledFaces();

// Keeps one face per PostScript name (outline formats the interpreter loads best first, then by path) and
// groups the faces into families so that each face fills one slot of one family.
void GroupIntoFamilies(std::vector<FaceRecord>& faces, std::vector<FamilyRecord>& families);

} // namespace XF
