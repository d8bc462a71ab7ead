#include "URI.h"

#include "brask_host/HostStatus.h"

#include <optional>
#include <string>

namespace BRASK::HOST {

namespace {

bool IsAsciiAlpha(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool IsAsciiDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Length of an RFC 3986 scheme at the start of `text` when a ':' follows it, else 0.
std::size_t SchemeLength(const std::u16string& text) {
    if (text.empty() || !IsAsciiAlpha(text[0]))
        return 0;
    std::size_t i = 1;
    while (i < text.size() && (IsAsciiAlpha(text[i]) || IsAsciiDigit(text[i]) || text[i] == u'+' ||
                               text[i] == u'-' || text[i] == u'.'))
        ++i;
    return i < text.size() && text[i] == u':' ? i : 0;
}

int HexDigit(char16_t c) {
    if (IsAsciiDigit(c))
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// Decodes %XX escapes (as UTF-8 bytes); a '%' not followed by two hex digits stays as it is.
std::u16string PercentDecode(const std::u16string& text) {
    if (text.find(u'%') == std::u16string::npos)
        return text;
    std::string utf8 = STRING::UTF16ToUTF8(text);
    std::string decoded;
    decoded.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '%' && i + 2 < utf8.size()) {
            const int hi = HexDigit(static_cast<unsigned char>(utf8[i + 1]));
            const int lo = HexDigit(static_cast<unsigned char>(utf8[i + 2]));
            if (hi >= 0 && lo >= 0) {
                decoded += static_cast<char>(hi << 4 | lo);
                i += 2;
                continue;
            }
        }
        decoded += utf8[i];
    }
    return STRING::UTF8ToUTF16(decoded);
}

// The absolute path of the part of a "file:" URI after the scheme, or nothing.
std::optional<std::u16string> FilePath(const std::u16string& rest) {
    std::u16string path;
    if (rest.rfind(u"//", 0) == 0) {
        const std::size_t slash = rest.find(u'/', 2);
        const std::u16string authority =
            rest.substr(2, slash == std::u16string::npos ? std::u16string::npos : slash - 2);
        if (!authority.empty() && authority != u"localhost")
            return std::nullopt;
        if (slash == std::u16string::npos)
            return std::nullopt;
        path = rest.substr(slash);
    } else {
        path = rest;
    }
    if (path.empty() || path[0] != u'/')
        return std::nullopt;
    path = PercentDecode(path);
    if (path.find(u'\0') != std::u16string::npos)
        return std::nullopt;
    return path;
}

} // namespace

Status URI::SetText(const CoreString& text) {
    const std::u16string& units = text.str();
    if (units.empty())
        return kBadArgument;
    if (units[0] == u'/') {
        if (units.find(u'\0') != std::u16string::npos)
            return kBadArgument;
        mText = text;
        mScheme = CoreString(u"file");
        mPath = text;
        return kOK;
    }
    const std::size_t schemeLength = SchemeLength(units);
    if (schemeLength == 0)
        return kBadArgument;
    std::u16string scheme = units.substr(0, schemeLength);
    for (char16_t& c : scheme) {
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    }
    const std::u16string rest = units.substr(schemeLength + 1);
    if (scheme == u"file") {
        const std::optional<std::u16string> path = FilePath(rest);
        if (!path)
            return kBadArgument;
        mPath = CoreString(*path);
    } else {
        mPath = CoreString(rest);
    }
    mText = text;
    mScheme = CoreString(scheme);
    return kOK;
}

} // namespace BRASK::HOST
