// The name forms under which a font's stubs are written.
#pragma once

#include <string>

namespace BRASK::PLUGIN {

// "Arial", "Arial,Bold", "Arial,BoldItalic" or "Arial,Italic" for names beginning "ArialMT", "Arial-BoldMT",
// "Arial-BoldItalicMT" or "Arial-ItalicMT"; null for any other name.
const char* GetArialAlias(const char* name);

// Every character outside "!".."~" and each PostScript delimiter % ( ) / < > [ ] { } becomes "-".
std::string MakePostScriptSafe(std::string name);

// Every "-" replaced by ","; `changed` tells whether there was any.
std::string CommaForm(std::string name, bool& changed);

// The commas removed. After a removal the scan goes on at the next position, so of two adjacent commas the
// second one stays. `changed` tells whether any was removed.
std::string JoinedForm(std::string name, bool& changed);

} // namespace BRASK::PLUGIN
