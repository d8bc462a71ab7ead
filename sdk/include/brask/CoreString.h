// CoreString: the host's UTF-16 string; BXString: a CoreString made from UTF-8 text.
#pragma once

#include "brask/Export.h"

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

namespace BRASK::STRING {

class BRASK_SDK_API CoreString {
public:
    static constexpr std::size_t npos = std::u16string::npos;

    CoreString() = default;
    CoreString(const char16_t* text);
    CoreString(const char16_t* text, std::size_t units);
    explicit CoreString(std::u16string text) : mText(std::move(text)) {}

    static CoreString FromUTF8(std::string_view utf8);

    const char16_t* c_str() const { return mText.c_str(); }
    std::size_t length() const { return mText.length(); }
    bool empty() const { return mText.empty(); }
    char16_t operator[](std::size_t i) const { return mText[i]; }
    const std::u16string& str() const { return mText; }

    CoreString& append(const CoreString& other) {
        mText += other.mText;
        return *this;
    }
    CoreString& operator+=(const CoreString& other) { return append(other); }
    CoreString& operator+=(char16_t unit) {
        mText += unit;
        return *this;
    }

    std::size_t find(const CoreString& what, std::size_t pos = 0) const {
        return mText.find(what.mText, pos);
    }
    std::size_t find(char16_t unit, std::size_t pos = 0) const { return mText.find(unit, pos); }
    std::size_t rfind(const CoreString& what, std::size_t pos = npos) const {
        return mText.rfind(what.mText, pos);
    }
    std::size_t rfind(char16_t unit, std::size_t pos = npos) const { return mText.rfind(unit, pos); }
    CoreString substr(std::size_t pos, std::size_t count = npos) const {
        return CoreString(mText.substr(pos, count));
    }

    // UTF-8 form; unpaired surrogates become U+FFFD.
    std::string GetUTF8String() const;

    friend bool operator==(const CoreString& a, const CoreString& b) { return a.mText == b.mText; }
    friend bool operator!=(const CoreString& a, const CoreString& b) { return !(a == b); }
    friend CoreString operator+(CoreString a, const CoreString& b) { return a.append(b); }

private:
    std::u16string mText;
};

class BRASK_SDK_API BXString : public CoreString {
public:
    BXString(const char* utf8) : CoreString(FromUTF8(utf8 == nullptr ? "" : utf8)) {}
    BXString(std::string_view utf8) : CoreString(FromUTF8(utf8)) {}
};

// UTF-8 ⇄ UTF-16 helpers shared by the SDK, host and tools; invalid input becomes U+FFFD.
BRASK_SDK_API std::u16string UTF8ToUTF16(std::string_view utf8);
BRASK_SDK_API std::string UTF16ToUTF8(std::u16string_view utf16);

// Writes the text into a wide log stream.
BRASK_SDK_API std::wostream& operator<<(std::wostream& out, const CoreString& text);

} // namespace BRASK::STRING

namespace BRASK {
using STRING::BXString;
using STRING::CoreString;
} // namespace BRASK
