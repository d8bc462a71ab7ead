#include "fontmap/StubFontMap.h"

#include "FontFiles.h"
#include "StubText.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

namespace BRASK::FONTMAP {

namespace {

namespace fs = std::filesystem;

bool ReadFile(const fs::path& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// The value of device `name` ("%name%" + operator + value) in a ';'-separated device path.
bool DeviceValue(std::string_view devicePath, std::string_view name, std::string& value) {
    std::string key(1, '%');
    key.append(name).push_back('%');
    bool found = false;
    while (!devicePath.empty()) {
        const auto end = devicePath.find(';');
        const std::string_view entry = devicePath.substr(0, end);
        devicePath = end == std::string_view::npos ? std::string_view() : devicePath.substr(end + 1);
        if (entry.size() > key.size() && entry.compare(0, key.size(), key) == 0) {
            const char op = entry[key.size()];
            if (op == '=' || op == '+') {
                value = std::string(entry.substr(key.size() + 1));
                found = true;
            }
        }
    }
    return found;
}

std::vector<std::string> SplitFolders(const std::string& list) {
    std::vector<std::string> folders;
    std::string item;
    std::istringstream in(list);
    while (std::getline(in, item, ','))
        if (!item.empty())
            folders.push_back(item);
    return folders;
}

struct ReadStub {
    StubDefinition stub;
    bool cidFolder = false; // found in the CIDFont category's folder
};

class Builder {
public:
    Builder(StubFontMap& map, const GhostscriptResources& resources)
        : mMap(map), mResources(resources), mFolders(map.fontFolders) {}

    void Run() {
        std::string rootIndex;
        const fs::path root(mMap.stubRoot);
        if (!ReadFile(root / "_edir_", rootIndex))
            return;
        std::map<std::string, std::string> categoryDirs;
        for (const auto& line : ParseEdir(rootIndex))
            categoryDirs.emplace(line.resource, line.file);
        for (const char* category : {"FontSet", "Font", "CIDFont"}) {
            const auto dir = categoryDirs.find(category);
            if (dir != categoryDirs.end() && dir->second.find('/') == std::string::npos)
                ReadCategory(root / dir->second, std::string(category) == "CIDFont");
        }
        for (const auto& read : mStubs)
            if (read.stub.kind == StubDefinition::Kind::kFontSetFile)
                AddFontSet(read.stub);
        for (const auto& read : mStubs)
            if (read.stub.kind == StubDefinition::Kind::kFontFile)
                AddFontFile(read.stub, read.cidFolder);
        for (const auto& read : mStubs)
            if (read.stub.kind == StubDefinition::Kind::kSetMember)
                AddMember(read.stub);
        for (const auto& read : mStubs)
            if (read.stub.kind == StubDefinition::Kind::kSetAlias)
                AddAlias(read.stub);
    }

private:
    void Problem(const std::string& name, const std::string& reason) {
        if (mReported.insert(name).second)
            mMap.problems.push_back(name + ": " + reason);
    }

    void ReadCategory(const fs::path& dir, bool cidFolder) {
        std::string index;
        if (!ReadFile(dir / "_edir_", index))
            return;
        std::set<std::string> seen;
        for (const auto& line : ParseEdir(index)) {
            if (!seen.insert(line.resource).second)
                continue;
            std::string text;
            // A stub deleted with its font leaves its index line behind: nothing to map.
            if (line.file.find('/') != std::string::npos || !ReadFile(dir / line.file, text))
                continue;
            if (text.empty()) {
                Problem(line.resource, "the stub defines no font (" + (dir / line.file).string() + ")");
                continue;
            }
            auto stub = ParseStub(text);
            if (!stub) {
                Problem(line.resource, "stub not understood (" + (dir / line.file).string() + ")");
                continue;
            }
            if (!IsPlainName(stub->name) || (!stub->setName.empty() && !IsPlainName(stub->setName)) ||
                (!stub->aliasOf.empty() && !IsPlainName(stub->aliasOf))) {
                Problem(line.resource, "not a plain PostScript name");
                continue;
            }
            mStubs.push_back({std::move(*stub), cidFolder});
        }
    }

    // The file a stub names on the %psfont% device. Stubs carry bare file names: of files of one name in
    // several folders, the one with the face the stub is named after.
    std::string FindFile(const StubDefinition& stub) {
        const std::vector<std::string> paths = mFolders.FindAll(stub.fileName);
        if (paths.empty()) {
            Problem(stub.name, "font file " + stub.fileName + " not found in the font folders");
            return {};
        }
        std::string chosen = paths.front();
        int best = paths.size() > 1 ? 3 : -1;
        for (std::size_t i = 0; i < paths.size() && best > 0; ++i) {
            for (const FaceInfo& face : mFaces.Faces(paths[i])) {
                const int match = StubNameMatch(stub.name, face.psName);
                if (match >= 0 && match < best) {
                    best = match;
                    chosen = paths[i];
                }
            }
        }
        return chosen;
    }

    void AddFont(const std::string& name, const std::string& path, const std::string& aliasOf) {
        // Ghostscript's own fonts and the names its Fontmap gives them stay Ghostscript's: its base fonts
        // carry the encodings PostScript files expect (the URW OpenType Symbol has none).
        if (mResources.Owns(name)) {
            if (mLeftToGhostscript.insert(name).second)
                mMap.leftToGhostscript.push_back(name);
            return;
        }
        if (mFontNames.insert(name).second)
            mMap.fonts.push_back({name, path, aliasOf});
    }

    void AddCIDFont(const std::string& name, const std::string& path, int subfont, const FaceInfo* face,
                    const std::string& aliasOf) {
        if (!mCIDFontNames.insert(name).second)
            return;
        CIDFontEntry entry;
        entry.name = name;
        entry.path = path;
        entry.subfont = subfont;
        entry.aliasOf = aliasOf;
        if (face != nullptr) {
            entry.ordering = face->ordering;
            entry.supplement = face->supplement;
        }
        mMap.cidFonts.push_back(std::move(entry));
    }

    void AddFontSet(const StubDefinition& stub) {
        const std::string path = FindFile(stub);
        if (!path.empty())
            mSets.emplace(stub.name, path);
    }

    void AddFontFile(const StubDefinition& stub, bool cidFolder) {
        const std::string path = FindFile(stub);
        if (path.empty())
            return;
        AddFont(stub.name, path, {});
        if (!cidFolder)
            return;
        // A TrueType font in the CIDFont folder also serves composite fonts (name-CMap).
        const auto& faces = mFaces.Faces(path);
        if (!faces.empty() && faces.front().trueTypeOutlines)
            AddCIDFont(stub.name, path, 0, &faces.front(), {});
    }

    void AddMember(const StubDefinition& stub) {
        const auto set = mSets.find(stub.setName);
        if (set == mSets.end()) {
            Problem(stub.name, "no font file for the FontSet " + stub.setName);
            return;
        }
        const auto& faces = mFaces.Faces(set->second);
        std::size_t index = 0;
        while (index < faces.size() && faces[index].psName != stub.name)
            ++index;
        if (index == faces.size()) {
            Problem(stub.name, "no face of that name in " + set->second);
            return;
        }
        if (stub.category == "CIDFont") {
            if (faces[index].trueTypeOutlines)
                AddCIDFont(stub.name, set->second, static_cast<int>(index), &faces[index], {});
            else
                Problem(stub.name, "a CIDFont from a collection without TrueType outlines");
        } else if (index == 0) {
            AddFont(stub.name, set->second, {});
        } else {
            Problem(stub.name, "face " + std::to_string(index) + " of " + set->second +
                                   ": Ghostscript's Fontmap loads only the first face of a collection");
        }
    }

    void AddAlias(const StubDefinition& stub) {
        if (stub.category == "CIDFont") {
            if (mCIDFontNames.count(stub.aliasOf))
                AddCIDFont(stub.name, {}, 0, nullptr, stub.aliasOf);
            else
                Problem(stub.name, "alias of the unmapped CIDFont " + stub.aliasOf);
        } else if (mFontNames.count(stub.aliasOf) || mLeftToGhostscript.count(stub.aliasOf)) {
            AddFont(stub.name, {}, stub.aliasOf);
        } else {
            Problem(stub.name, "alias of the unmapped font " + stub.aliasOf);
        }
    }

    StubFontMap& mMap;
    const GhostscriptResources& mResources;
    FontFolderIndex mFolders;
    FontFaces mFaces;
    std::vector<ReadStub> mStubs;
    std::map<std::string, std::string> mSets;
    std::set<std::string> mFontNames;
    std::set<std::string> mCIDFontNames;
    std::set<std::string> mLeftToGhostscript;
    std::set<std::string> mReported;
};

} // namespace

std::string StubFontMap::FontmapText() const {
    std::string text;
    for (const auto& font : fonts) {
        text += "/" + font.name + " ";
        text += font.path.empty() ? "/" + font.aliasOf : PostScriptString(font.path);
        text += " ;\n";
    }
    return text;
}

std::string StubFontMap::CidfmapText() const {
    std::string text;
    for (const auto& font : cidFonts) {
        text += "/" + font.name + " ";
        if (font.path.empty())
            text += "/" + font.aliasOf;
        else
            text += "<< /FileType /TrueType /Path " + PostScriptString(font.path) + " /SubfontID " +
                    std::to_string(font.subfont) + " /CSI [" + PostScriptString(font.ordering) + " " +
                    std::to_string(font.supplement) + "] >>";
        text += " ;\n";
    }
    return text;
}

StubFontMap ReadStubFontMap(const std::string& stubRoot, const std::vector<std::string>& fontFolders,
                            const GhostscriptResources& resources) {
    StubFontMap map;
    map.stubRoot = stubRoot;
    map.fontFolders = fontFolders;
    if (stubRoot.empty())
        return map;
    try {
        Builder(map, resources).Run();
    } catch (const std::exception& error) {
        map.problems.push_back(std::string("stub tree: ") + error.what());
    }
    return map;
}

StubFontMap ReadStubFontMap(std::string_view devicePath, const GhostscriptResources& resources) {
    std::string root;
    std::string folders;
    DeviceValue(devicePath, "xfont", root);
    DeviceValue(devicePath, "psfont", folders);
    try {
        return ReadStubFontMap(root, SplitFolders(folders), resources);
    } catch (const std::exception& error) {
        StubFontMap map;
        map.problems.push_back(std::string("stub tree: ") + error.what());
        return map;
    }
}

GhostscriptFontFiles WriteGhostscriptFontFiles(const StubFontMap& map, const std::string& folder,
                                               const std::string& inheritedCidfmap) {
    GhostscriptFontFiles files;
    try {
        std::error_code error;
        fs::create_directories(folder, error);
        files.fontmapPath = (fs::path(folder) / "Fontmap.xfont").string();
        files.cidfmapPath = (fs::path(folder) / "cidfmap").string();
        std::string inherited;
        if (!inheritedCidfmap.empty() && ReadFile(inheritedCidfmap, inherited) && !inherited.empty() &&
            inherited.back() != '\n')
            inherited += '\n';
        {
            std::ofstream fontmap(files.fontmapPath, std::ios::binary | std::ios::trunc);
            fontmap << map.FontmapText();
            std::ofstream cidfmap(files.cidfmapPath, std::ios::binary | std::ios::trunc);
            cidfmap << inherited << map.CidfmapText();
            if (!fontmap.flush() || !cidfmap.flush())
                return files;
        }
        files.arguments.push_back("-sFONTMAP=" + files.fontmapPath + ":Fontmap.GS");
        files.arguments.push_back("-I" + folder);
        std::set<std::string> readable;
        for (const auto& font : map.fonts)
            if (!font.path.empty())
                readable.insert(fs::path(font.path).parent_path().string());
        for (const auto& font : map.cidFonts)
            if (!font.path.empty())
                readable.insert(fs::path(font.path).parent_path().string());
        for (const auto& dir : readable)
            files.arguments.push_back("--permit-file-read=" + dir + "/");
        files.ok = true;
    } catch (const std::exception&) {
        files.ok = false;
    }
    return files;
}

} // namespace BRASK::FONTMAP
