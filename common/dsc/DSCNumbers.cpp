#include "DSCNumbers.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace BRASK::PLUGIN::DSCNUMBERS {

namespace {
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
} // namespace

float ReadFloat(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '+' || text.front() == '-'))
            return 0.0f;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        // from_chars leaves the value unset: an overflowing magnitude saturates, an underflowing one is 0.
        value = 0.0;
        for (char c : text) {
            if (c >= '1' && c <= '9') {
                value = std::numeric_limits<double>::max();
                break;
            }
            if (c == 'e' || c == 'E')
                break;
        }
    } else if (error != std::errc()) {
        return 0.0f;
    }
    if (!std::isfinite(value))
        return 0.0f;
    if (value > std::numeric_limits<float>::max())
        value = std::numeric_limits<float>::max();
    const float f = static_cast<float>(value);
    return negative ? -f : f;
}

Fixed FloatToFixed(float f) {
    if (std::isnan(f))
        return 0;
    double scaled = static_cast<double>(f) * 65536.0;
    scaled += f >= 0 ? 0.5 : -0.5;
    scaled = std::trunc(scaled);
    if (scaled >= static_cast<double>(kInt32Max))
        return static_cast<Fixed>(kInt32Max);
    if (scaled <= static_cast<double>(kInt32Min))
        return static_cast<Fixed>(kInt32Min);
    return static_cast<Fixed>(scaled);
}

std::int32_t ReadInteger(std::string_view text) {
    bool negative = false;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kInt32Max + 1)
            value = kInt32Max + 1;
    }
    value = negative ? -value : value;
    if (value > kInt32Max)
        value = kInt32Max;
    return static_cast<std::int32_t>(value);
}

bool AllDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::int64_t ReadDigits(std::string_view digits) {
    std::int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
        if (value > kInt32Max)
            return kInt32Max;
    }
    return value;
}

} // namespace BRASK::PLUGIN::DSCNUMBERS
