#include "EPSInfoJson.h"

#include "Windows1252.h"
#include "brask/CoreString.h"
#include "brask/FilterKeys.h"

#include <unicode/utf8.h>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace BRASK::EPSIMPORT {

namespace {

using nlohmann::ordered_json;

bool IsUTF8(const std::uint8_t* bytes, std::int32_t length) {
    for (std::int32_t i = 0; i < length;) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0)
            return false;
    }
    return true;
}

// A DSC text as UTF-8: as it is when it is valid UTF-8, else read as Windows-1252. A UTF-8 text cut at the
// field's size may end inside a character: that piece is dropped, when the rest holds UTF-8 characters,
// rather than reading the whole text as Windows-1252.
std::string Text(const char* field) {
    const std::string_view bytes(field, ::strnlen(field, PLUGIN::EPSInfo::kTextSize));
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const auto length = static_cast<std::int32_t>(bytes.size());
    if (IsUTF8(data, length))
        return std::string(bytes);
    std::int32_t kept = length;
    if (bytes.size() + 1 == PLUGIN::EPSInfo::kTextSize)
        U8_TRUNCATE_IF_INCOMPLETE(data, 0, kept);
    const std::string_view whole = bytes.substr(0, static_cast<std::size_t>(kept));
    const bool multiByte = std::any_of(whole.begin(), whole.end(), [](char c) { return (c & 0x80) != 0; });
    if (kept < length && multiByte && IsUTF8(data, kept))
        return std::string(whole);
    return TEXT::Windows1252ToUTF8(bytes);
}

std::uint32_t BlockSize(MEMFIX::Handle block) {
    return block != nullptr ? MEMFIX::GetHandleSize(block) : 0;
}

} // namespace

std::vector<std::string> CustomColorEntries(const std::uint16_t* list, std::uint16_t units) {
    std::vector<std::string> entries;
    if (list == nullptr || units < 1)
        return entries;
    std::size_t pos = 1;
    for (std::uint16_t n = 0; n < list[0] && pos < units; ++n) {
        std::u16string entry;
        while (pos < units && list[pos] != 0)
            entry.push_back(static_cast<char16_t>(list[pos++]));
        ++pos; // the terminator
        entries.push_back(STRING::UTF16ToUTF8(entry));
    }
    return entries;
}

std::vector<std::string> FlagNames(std::uint32_t flags) {
    std::vector<std::string> names;
    for (int bit = 0; bit < 32; ++bit) {
        if ((flags & (1u << bit)) == 0)
            continue;
        const char* name = PLUGIN::EPSFlags::FlagName(bit);
        names.emplace_back(name != nullptr ? name : "bit" + std::to_string(bit));
    }
    return names;
}

ordered_json DescribeEPS(const std::string& file, PLUGIN::DSCError status,
                         const PLUGIN::EPSVectorFileReader& reader) {
    ordered_json out;
    out["file"] = file;
    out["status"] = static_cast<int>(status);
    const PLUGIN::EPSInfo* info = reader.GetEPSInfo();
    if (info == nullptr)
        return out;
    out["boundingBox"] = {{"llx", FixedToPoints(reader.GetLeft())},
                          {"lly", FixedToPoints(reader.GetBottom())},
                          {"urx", FixedToPoints(reader.GetRight())},
                          {"ury", FixedToPoints(reader.GetTop())}};
    out["creator"] = Text(info->creator);
    out["title"] = Text(info->title);
    out["creationDate"] = Text(info->creationDate);
    out["languageLevel"] = info->languageLevel;
    out["documentData"] = info->documentData;
    out["flags"] = info->flags;
    out["flagNames"] = FlagNames(info->flags);
    out["postScript"] = {{"start", reader.GetPostScriptStart()}, {"end", reader.GetPostScriptEnd()}};
    const PLUGIN::DOSBinaryHeader& header = info->binaryHeader;
    if (header.IsPresent())
        out["binaryHeader"] = {{"wmfOffset", header.wmfOffset},
                               {"wmfLength", header.wmfLength},
                               {"tiffOffset", header.tiffOffset},
                               {"tiffLength", header.tiffLength}};
    else
        out["binaryHeader"] = nullptr;
    out["epsfHeader"] = reader.HasEPSFHeaderLine();
    out["firstLineLength"] = reader.GetHeaderLineLength();
    if (info->imageWidth != 0 || info->imageHeight != 0 || info->imageBlockSize != 0 || info->imageFlags != 0)
        out["image"] = {{"width", info->imageWidth},
                        {"height", info->imageHeight},
                        {"blockSize", info->imageBlockSize},
                        {"flags", info->imageFlags}};
    else
        out["image"] = nullptr;
    out["imageResolution"] = FixedToPoints(reader.GetImageResolution());
    out["colorSpace"] = reader.GetColorSpace();
    out["customColors"] = CustomColorEntries(reader.GetCustomColorList(), reader.GetCustomColorListSize());
    out["photoshopResourceBytes"] = BlockSize(reader.GetPhotoshopResources());
    out["iccProfileBytes"] = BlockSize(reader.GetICCProfile());
    return out;
}

} // namespace BRASK::EPSIMPORT
