#include "PlaceJson.h"

#include "EPSInfoJson.h"

#include "brask/ClassIds.h"

#include <vector>

namespace BRASK::EPSIMPORT {

namespace {

bool HasKey(const IDictionary& dictionary, std::int32_t key) {
    return dictionary.GetType(key) != IDictionary::kNone;
}

float FloatKey(const IDictionary& dictionary, std::int32_t key) {
    float value = 0;
    dictionary.GetFloat(key, value);
    return value;
}

bool FlagKey(const IDictionary& dictionary, std::int32_t key) {
    std::uint8_t value = 0;
    dictionary.GetUInt8(key, value);
    return value != 0;
}

nlohmann::ordered_json ClippingPath(GRAPHICS::ICompositeGraphic& graphic) {
    auto* path = FindAttached<GRAPHICS::IPathCollection>(graphic, CLSID::ClippingPathKey);
    if (path == nullptr)
        return nullptr;
    std::uint32_t points = 0;
    for (std::uint32_t i = 0; i < path->GetSubpathCount(); ++i)
        points += path->GetKnotCount(i);
    return {{"subpaths", path->GetSubpathCount()}, {"points", points}};
}

void DescribeFilterInfo(nlohmann::ordered_json& out, const IDictionary& dictionary, bool eps) {
    if (HasKey(dictionary, 14) || HasKey(dictionary, 15))
        out["size"] = {{"width", FloatKey(dictionary, 14)}, {"height", FloatKey(dictionary, 15)}};
    else
        out["size"] = nullptr;
    // A placement that failed before the box was read leaves the keys unwritten: no box, rather than zeros.
    if (eps && HasKey(dictionary, 2001) && HasKey(dictionary, 2002) && HasKey(dictionary, 2003) &&
        HasKey(dictionary, 2004))
        out["boundingBox"] = {{"left", FloatKey(dictionary, 2001)},
                              {"bottom", FloatKey(dictionary, 2003)},
                              {"right", FloatKey(dictionary, 2002)},
                              {"top", FloatKey(dictionary, 2004)}};
    else if (eps)
        out["boundingBox"] = nullptr;
    const std::uint8_t* spaces = nullptr;
    std::uint32_t spaceCount = 0;
    dictionary.GetBytes(27, &spaces, &spaceCount);
    out["colorSpaces"] = std::vector<int>(spaces, spaces + spaceCount);
    const char16_t* colors = nullptr;
    std::uint32_t colorUnits = 0;
    dictionary.GetWString(28, &colors, &colorUnits);
    out["customColors"] = CustomColorEntries(reinterpret_cast<const std::uint16_t*>(colors),
                                             static_cast<std::uint16_t>(colorUnits));
    const std::uint8_t* profile = nullptr;
    std::uint32_t profileBytes = 0;
    dictionary.GetBytes(16, &profile, &profileBytes);
    out["iccProfileBytes"] = profileBytes;
    out["dcs"] = FlagKey(dictionary, 2008);
    out["duotone"] = FlagKey(dictionary, 2005);
    out["vectorMaskedImagery"] = FlagKey(dictionary, 2007);
    out["imageResolution"] = FlagKey(dictionary, 2006);
}

} // namespace

void DescribePlacedGraphic(nlohmann::ordered_json& out, GRAPHICS::ICompositeGraphic& graphic, bool eps) {
    if (const auto* dictionary = FindAttached<IDictionary>(graphic, CLSID::FilterDictionaryKey))
        DescribeFilterInfo(out, *dictionary, eps);
    out["clippingPath"] = ClippingPath(graphic);
}

nlohmann::ordered_json FailedPictureLine(const std::string& file, const std::string& error) {
    nlohmann::ordered_json line;
    line["file"] = file;
    line["status"] = 1;
    line["error"] = error;
    return line;
}

std::string DumpLine(const nlohmann::ordered_json& json) {
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace BRASK::EPSIMPORT
