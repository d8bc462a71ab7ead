// What Ghostscript brings itself: the fonts of its Resource/Font folder, the Fontmap.GS names that lead to
// them, and the cidfmap its search path gives.
#include "fontmap/StubFontMap.h"

#include "StubText.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace BRASK::FONTMAP {

namespace {

namespace fs = std::filesystem;

// "10.00.0" as numbers, for choosing the newest data folder.
std::vector<int> VersionOf(const std::string& text) {
    std::vector<int> parts;
    std::istringstream in(text);
    std::string part;
    while (std::getline(in, part, '.')) {
        char* end = nullptr;
        parts.push_back(static_cast<int>(std::strtol(part.c_str(), &end, 10)));
        if (end == part.c_str() || *end != '\0')
            return {};
    }
    return parts;
}

// The "/Name /Target ;" lines of a Fontmap text; file lines and comments are passed over.
std::map<std::string, std::string> FontmapAliases(const std::string& text) {
    std::map<std::string, std::string> aliases;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const auto comment = line.find('%');
        if (comment != std::string::npos)
            line.resize(comment);
        std::istringstream words(line);
        std::string name, target, end;
        if (!(words >> name >> target >> end) || end != ";" || name.size() < 2 || target.size() < 2 ||
            name[0] != '/' || target[0] != '/')
            continue;
        aliases.emplace(name.substr(1), target.substr(1));
    }
    return aliases;
}

} // namespace

GhostscriptResources ReadGhostscriptResources(const std::string& dataFolder,
                                              const std::vector<std::string>& cidfmapFolders) {
    GhostscriptResources resources;
    std::error_code error;
    const fs::path resource = fs::path(dataFolder) / "Resource";
    for (fs::directory_iterator it(resource / "Font", error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (IsPlainName(name))
            resources.ownFonts.insert(name);
    }
    std::ifstream fontmap(resource / "Init" / "Fontmap.GS", std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(fontmap), std::istreambuf_iterator<char>()};
    const auto aliases = FontmapAliases(text);
    for (const auto& [name, target] : aliases) {
        // Follow the chain to its end, at most as many steps as there are aliases (a cycle leads nowhere).
        std::string current = target;
        for (std::size_t step = 0; step < aliases.size() && !resources.ownFonts.count(current); ++step) {
            const auto next = aliases.find(current);
            if (next == aliases.end())
                break;
            current = next->second;
        }
        if (resources.ownFonts.count(current))
            resources.ownAliases.insert(name);
    }
    for (const auto& folder : cidfmapFolders) {
        const fs::path path = fs::path(folder) / "cidfmap";
        if (fs::is_regular_file(path, error)) {
            resources.systemCidfmap = path.string();
            break;
        }
    }
    return resources;
}

const GhostscriptResources& InstalledGhostscriptResources() {
    static const GhostscriptResources resources = [] {
        // The newest data folder that holds the initialisation files.
        const fs::path root = "/usr/share/ghostscript";
        std::string newest;
        std::error_code error;
        for (fs::directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
            const std::string version = it->path().filename().string();
            if (VersionOf(version).empty() ||
                !fs::is_regular_file(it->path() / "Resource" / "Init" / "Fontmap.GS", error))
                continue;
            if (newest.empty() || VersionOf(version) > VersionOf(newest))
                newest = version;
        }
        if (newest.empty())
            return GhostscriptResources{};
        const std::string data = (root / newest).string();
        // Ghostscript's search path as Debian builds it, in its order.
        return ReadGhostscriptResources(data, {data + "/Resource/Init", data + "/lib",
                                               data + "/Resource/Font", "/usr/share/ghostscript/fonts",
                                               "/var/lib/ghostscript/fonts", "/usr/share/cups/fonts",
                                               "/usr/local/lib/ghostscript/fonts", "/usr/share/fonts"});
    }();
    return resources;
}

} // namespace BRASK::FONTMAP
