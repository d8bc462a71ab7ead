#include "Windows1252.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <memory>

namespace BRASK::TEXT {

namespace {

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// ICU converters keep state and must not be shared between threads: one per thread.
UConverter* ThreadConverter() {
    thread_local ConverterPtr converter = [] {
        UErrorCode status = U_ZERO_ERROR;
        ConverterPtr made(ucnv_open("windows-1252", &status));
        if (U_FAILURE(status))
            return ConverterPtr();
        return made;
    }();
    return converter.get();
}

} // namespace

std::u16string Windows1252ToUTF16(std::string_view bytes) {
    std::u16string result;
    result.reserve(bytes.size());
    UConverter* converter = ThreadConverter();
    if (converter == nullptr) {
        for (char c : bytes)
            result.push_back(static_cast<unsigned char>(c));
        return result;
    }
    // ICU's table maps all 256 bytes (the undefined ones to the C1 controls of the same value), one unit
    // each.
    result.resize(bytes.size());
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(converter);
    const int32_t produced =
        ucnv_toUChars(converter, reinterpret_cast<UChar*>(result.data()), static_cast<int32_t>(result.size()),
                      bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if ((U_FAILURE(status) && status != U_BUFFER_OVERFLOW_ERROR) ||
        produced != static_cast<int32_t>(bytes.size())) {
        result.clear();
        for (char c : bytes)
            result.push_back(static_cast<unsigned char>(c));
    }
    return result;
}

std::string Windows1252ToUTF8(std::string_view bytes) {
    const std::u16string utf16 = Windows1252ToUTF16(bytes);
    std::string out;
    out.reserve(utf16.size() * 2);
    for (char16_t unit : utf16) {
        // Windows-1252 maps to the Basic Multilingual Plane only, never to surrogates.
        if (unit < 0x80) {
            out.push_back(static_cast<char>(unit));
        } else if (unit < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (unit >> 6)));
            out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (unit >> 12)));
            out.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
        }
    }
    return out;
}

} // namespace BRASK::TEXT
