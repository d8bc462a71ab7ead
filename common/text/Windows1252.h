// Windows-1252 text conversion, through ICU's code-page converter.
#pragma once

#include <string>
#include <string_view>

namespace BRASK::TEXT {

// Converts Windows-1252 bytes to UTF-16. Every byte yields one UTF-16 unit; a NUL byte is kept.
// The five bytes that Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 control
// characters of the same value, so no byte is lost. Never throws; an unavailable converter gives the
// Latin-1 reading of the bytes.
std::u16string Windows1252ToUTF16(std::string_view bytes);

// Windows-1252 bytes as UTF-8 (through Windows1252ToUTF16).
std::string Windows1252ToUTF8(std::string_view bytes);

} // namespace BRASK::TEXT
