// The CMap name suffixes by which composite-font names are recognised.
#pragma once

#include <array>
#include <string_view>

namespace BRASK::PLUGIN {

constexpr std::size_t kCMapSuffixCount = 91;
extern const std::array<const char*, kCMapSuffixCount> kCMapSuffixes;

// The first entry of the list, in list order, that occurs anywhere in `name`; null when none does.
const char* FindCMapSuffix(std::string_view name);

} // namespace BRASK::PLUGIN
