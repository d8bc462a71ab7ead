// Ghostscript font maps from the plug-in's font stub tree: the %xfont% stub root and the %psfont% folder list
// of the interpreter's device path become Fontmap and cidfmap entries that name the font files, so that a job
// asking for an installed font by name gets that font's file.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace BRASK::FONTMAP {

// A Fontmap record: `name` loads the file at `path`, or, when `path` is empty, is an alias of `aliasOf`.
struct FontEntry {
    std::string name;
    std::string path;
    std::string aliasOf;
};

// A cidfmap record: `name` is a CIDFont made from face `subfont` of the TrueType file (or collection) at
// `path`, with the character collection `ordering`-`supplement`; or an alias of `aliasOf`.
struct CIDFontEntry {
    std::string name;
    std::string path;
    int subfont = 0;
    std::string ordering;
    int supplement = 0;
    std::string aliasOf;
};

// What Ghostscript brings itself, which a font map leaves alone.
struct GhostscriptResources {
    std::set<std::string> ownFonts;   // the fonts of its Resource/Font folder (the URW base 35)
    std::set<std::string> ownAliases; // Fontmap.GS names that lead to them (Times-Roman, Symbol, ...)
    std::string systemCidfmap;        // the cidfmap its search path gives, empty when none

    bool Owns(const std::string& name) const { return ownFonts.count(name) || ownAliases.count(name); }
};

// Reads the data folder of one Ghostscript version (<dataFolder>/Resource/Font, .../Init/Fontmap.GS); the
// system cidfmap is the first file of that name in `cidfmapFolders`.
GhostscriptResources ReadGhostscriptResources(const std::string& dataFolder,
                                              const std::vector<std::string>& cidfmapFolders);
// Those of the installed Ghostscript (the newest /usr/share/ghostscript/<version>, its search path as
// Debian builds it), read once.
const GhostscriptResources& InstalledGhostscriptResources();

struct StubFontMap {
    std::string stubRoot;                 // the %xfont% folder, empty when the device path names none
    std::vector<std::string> fontFolders; // the %psfont% folders in their order
    std::vector<FontEntry> fonts;
    std::vector<CIDFontEntry> cidFonts;
    // Names the stubs give that Ghostscript owns (GhostscriptResources::Owns): left out of the map.
    std::vector<std::string> leftToGhostscript;
    // One line per resource name that could not be mapped ("<name>: <reason>").
    std::vector<std::string> problems;

    // "/Name (path) ;" and "/Alias /Name ;" lines.
    std::string FontmapText() const;
    // "/Name << /FileType /TrueType /Path (path) /SubfontID n /CSI [(Ordering) s] >> ;" and alias lines.
    std::string CidfmapText() const;
};

// Splits a device path ("%os%=;%xfont%+<root>;%psfont%=<a>,<b>;...") and reads the stub tree it names: each
// stub name maps to the file its stub names, in the folder where that file's face carries the name. Names
// Ghostscript owns are left out. A device path without %xfont% gives an empty map. Never throws.
StubFontMap ReadStubFontMap(std::string_view devicePath,
                            const GhostscriptResources& resources = InstalledGhostscriptResources());
// The same from the stub root and the font folders directly.
StubFontMap ReadStubFontMap(const std::string& stubRoot, const std::vector<std::string>& fontFolders,
                            const GhostscriptResources& resources = InstalledGhostscriptResources());

// The same kind of map straight from fontconfig, for a caller given no stub tree: every installed outline
// face by its PostScript name (first faces of collections only), and the TrueType faces that cover Japanese,
// Chinese or Korean also as CIDFonts (any face of a collection). `fontFolders` lists the folders of the
// files.
StubFontMap ReadInstalledFontMap(const GhostscriptResources& resources = InstalledGhostscriptResources());

struct GhostscriptFontFiles {
    bool ok = false;
    std::string fontmapPath; // <folder>/Fontmap.xfont
    std::string cidfmapPath; // <folder>/cidfmap
    // Arguments for gsapi_init_with_args: -sFONTMAP=<fontmapPath>:Fontmap.GS, -I<folder> (where Ghostscript
    // finds the cidfmap) and --permit-file-read=<folder>/ for every font folder that holds a mapped file.
    std::vector<std::string> arguments;
};

// Writes the two map files into `folder` (made when missing). `inheritedCidfmap` (the system's, see
// GhostscriptResources), when it names a readable file, is copied in front of the stub entries: Ghostscript
// reads only the first cidfmap on its search path, and later entries of one file win. Never throws.
GhostscriptFontFiles WriteGhostscriptFontFiles(const StubFontMap& map, const std::string& folder,
                                               const std::string& inheritedCidfmap = {});

} // namespace BRASK::FONTMAP
