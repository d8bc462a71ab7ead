// The texts of the stub tree: `_edir_` lines and the one-line stubs, read back into what they define.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace BRASK::FONTMAP {

struct EdirLine {
    std::string resource;
    std::string file; // relative to the folder of the _edir_
};

// The lines of an _edir_ text that have the form "/Name  (file)"; others are passed over.
std::vector<EdirLine> ParseEdir(std::string_view text);

struct StubDefinition {
    enum class Kind {
        kFontFile,    // name loads the file (TrueType/OpenType via definefont, Type 1 PFB or text form)
        kFontSetFile, // name is a FontSet: every face of the collection file
        kSetMember,   // name is the face of that name in FontSet `setName`
        kSetAlias,    // name is defined as resource `aliasOf` (after loading FontSet `setName`)
    };
    Kind kind = Kind::kFontFile;
    std::string name;
    std::string fileName; // the file on the %psfont% device (kFontFile, kFontSetFile)
    std::string setName;  // kSetMember, kSetAlias
    std::string aliasOf;  // kSetAlias
    std::string category; // "Font" or "CIDFont" (kSetMember, kSetAlias)
};

// Nullopt when the text is none of the stub forms the plug-in writes.
std::optional<StubDefinition> ParseStub(std::string_view text);

// How well a stub name names a face of PostScript name `psName`: 0 the same name, 1 the same once hyphens and
// commas are dropped (the plug-in's comma and joined variants), 2 a leading part of it so (the Arial aliases:
// "Arial,Bold" for "Arial-BoldMT"), -1 not at all.
int StubNameMatch(std::string_view stubName, std::string_view psName);

// True when `name` can stand as a PostScript name token (regular characters only).
bool IsPlainName(std::string_view name);

// `text` inside a PostScript string, with backslash and parentheses escaped.
std::string PostScriptString(std::string_view text);

} // namespace BRASK::FONTMAP
