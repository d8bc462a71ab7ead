// Result of every font stub operation.
#pragma once

#include <cstdint>

namespace BRASK::PLUGIN {

using FontStubError = std::int32_t;

constexpr FontStubError kFontStubOK = 0;
constexpr FontStubError kFontStubFileError = 2002;    // cannot create, no URI, or the stub exists already
constexpr FontStubError kFontStubNoEdirDir = 2003;    // MakeEdirEntry got an empty directory
constexpr FontStubError kFontStubNoEdirURI = 2004;    // no URI for _edir_
constexpr FontStubError kFontStubInvalidType = 2005;  // the font type has no stub form
constexpr FontStubError kFontStubDirError = 2006;     // a directory cannot be made
constexpr FontStubError kFontStubBadParameter = 2008; // null or empty input

} // namespace BRASK::PLUGIN
