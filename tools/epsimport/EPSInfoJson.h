// The JSON description of one scanned EPS file, as `epsimport --info` prints it.
#pragma once

#include "EPSVectorFileReader.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace BRASK::EPSIMPORT {

// Every field the scan filled: status, bounding box in points, texts as UTF-8, flags and their names,
// section, binary header, EPSF marker, image data, resolution, colour space, custom colours, block sizes.
nlohmann::ordered_json DescribeEPS(const std::string& file, PLUGIN::DSCError status,
                                   const PLUGIN::EPSVectorFileReader& reader);

// The entries of a custom colour list (count unit, then NUL-terminated UTF-16 entries), as UTF-8.
std::vector<std::string> CustomColorEntries(const std::uint16_t* list, std::uint16_t units);

// The names of the set bits of an EPSInfo flag word, lowest bit first.
std::vector<std::string> FlagNames(std::uint32_t flags);

} // namespace BRASK::EPSIMPORT
