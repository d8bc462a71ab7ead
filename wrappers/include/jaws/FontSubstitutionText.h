// The text in which both wrappers report a font substitution (log kind kJawsLogWarning): the plug-in logs it
// as a warning and a host can read the two names back from it.
#pragma once

#include <string>
#include <string_view>

namespace BRASK::JAWS {

inline constexpr std::string_view kFontSubstitutionPrefix = "Font substitution: ";
inline constexpr std::string_view kFontSubstitutionInfix = " replaced by ";

// "Font substitution: <requested> replaced by <used>"
inline std::string FontSubstitutionText(std::string_view requested, std::string_view used) {
    std::string text(kFontSubstitutionPrefix);
    text.append(requested).append(kFontSubstitutionInfix).append(used);
    return text;
}

// The two names of a substitution text; false for any other text.
inline bool ParseFontSubstitutionText(std::string_view text, std::string& requested, std::string& used) {
    if (text.substr(0, kFontSubstitutionPrefix.size()) != kFontSubstitutionPrefix)
        return false;
    text.remove_prefix(kFontSubstitutionPrefix.size());
    const std::size_t infix = text.rfind(kFontSubstitutionInfix);
    if (infix == std::string_view::npos || infix == 0 || infix + kFontSubstitutionInfix.size() == text.size())
        return false;
    requested = std::string(text.substr(0, infix));
    used = std::string(text.substr(infix + kFontSubstitutionInfix.size()));
    return true;
}

} // namespace BRASK::JAWS
