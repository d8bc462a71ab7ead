#include "brask/CoreString.h"

#include <ostream>

namespace BRASK::STRING {

namespace {
constexpr char32_t kReplacement = 0xFFFD;

void AppendUTF8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one code point at `i` (advancing it); malformed sequences give U+FFFD and skip one byte.
char32_t NextUTF8(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    int extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (b0 < 0x80) {
        ++i;
        return b0;
    } else if ((b0 & 0xE0) == 0xC0) {
        extra = 1, cp = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, cp = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, cp = b0 & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + extra >= s.size()) {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        cp = cp << 6 | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += extra + 1;
    return cp;
}

// Decodes one code point of UTF-16 at `i` (advancing it); unpaired surrogates give U+FFFD.
char32_t NextUTF16(std::u16string_view s, std::size_t& i) {
    const char16_t u = s[i++];
    if (u < 0xD800 || u > 0xDFFF)
        return u;
    if (u <= 0xDBFF && i < s.size() && s[i] >= 0xDC00 && s[i] <= 0xDFFF)
        return 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (s[i++] - 0xDC00);
    return kReplacement;
}
} // namespace

std::u16string UTF8ToUTF16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t cp = NextUTF8(utf8, i);
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string UTF16ToUTF8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size();)
        AppendUTF8(out, NextUTF16(utf16, i));
    return out;
}

CoreString::CoreString(const char16_t* text) : mText(text == nullptr ? u"" : text) {}

CoreString::CoreString(const char16_t* text, std::size_t units)
    : mText(text == nullptr ? std::u16string() : std::u16string(text, units)) {}

CoreString CoreString::FromUTF8(std::string_view utf8) {
    return CoreString(UTF8ToUTF16(utf8));
}

std::string CoreString::GetUTF8String() const {
    return UTF16ToUTF8(mText);
}

std::wostream& operator<<(std::wostream& out, const CoreString& text) {
    std::u16string_view units(text.str());
    for (std::size_t i = 0; i < units.size();)
        out << static_cast<wchar_t>(NextUTF16(units, i));
    return out;
}

} // namespace BRASK::STRING
