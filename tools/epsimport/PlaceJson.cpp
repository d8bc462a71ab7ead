#include "PlaceJson.h"

#include "EPSInfoJson.h"

#include "brask/ClassIds.h"
#include "brask/FilterKeys.h"

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
    if (HasKey(dictionary, FILTERKEY::kWidth) || HasKey(dictionary, FILTERKEY::kHeight))
        out["size"] = {{"width", FloatKey(dictionary, FILTERKEY::kWidth)},
                       {"height", FloatKey(dictionary, FILTERKEY::kHeight)}};
    else
        out["size"] = nullptr;
    // A placement that failed before the box was read leaves the keys unwritten: no box, rather than zeros.
    if (eps && HasKey(dictionary, FILTERKEY::kLeft) && HasKey(dictionary, FILTERKEY::kRight) &&
        HasKey(dictionary, FILTERKEY::kBottom) && HasKey(dictionary, FILTERKEY::kTop))
        out["boundingBox"] = {{"left", FloatKey(dictionary, FILTERKEY::kLeft)},
                              {"bottom", FloatKey(dictionary, FILTERKEY::kBottom)},
                              {"right", FloatKey(dictionary, FILTERKEY::kRight)},
                              {"top", FloatKey(dictionary, FILTERKEY::kTop)}};
    else if (eps)
        out["boundingBox"] = nullptr;
    const std::uint8_t* spaces = nullptr;
    std::uint32_t spaceCount = 0;
    dictionary.GetBytes(FILTERKEY::kColorSpaces, &spaces, &spaceCount);
    out["colorSpaces"] = std::vector<int>(spaces, spaces + spaceCount);
    const char16_t* colors = nullptr;
    std::uint32_t colorUnits = 0;
    dictionary.GetWString(FILTERKEY::kCustomColors, &colors, &colorUnits);
    out["customColors"] = CustomColorEntries(reinterpret_cast<const std::uint16_t*>(colors),
                                             static_cast<std::uint16_t>(colorUnits));
    const std::uint8_t* profile = nullptr;
    std::uint32_t profileBytes = 0;
    dictionary.GetBytes(FILTERKEY::kICCProfile, &profile, &profileBytes);
    out["iccProfileBytes"] = profileBytes;
    out["dcs"] = FlagKey(dictionary, FILTERKEY::kDCS);
    out["duotone"] = FlagKey(dictionary, FILTERKEY::kDuotone);
    out["vectorMaskedImagery"] = FlagKey(dictionary, FILTERKEY::kVectorMasked);
    out["imageResolution"] = FlagKey(dictionary, FILTERKEY::kImageResolution);
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
