// Parsers of single comment values: %%PlateFile:, "%ImageData:", and the custom colour list.
#include "DSCNumbers.h"
#include "DSCReader.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace BRASK::PLUGIN {

namespace {

// Takes the next space-separated field from `pos`; false at the end of the value.
bool NextField(std::string_view value, std::size_t& pos, std::string_view& field) {
    while (pos < value.size() && value[pos] == ' ')
        ++pos;
    if (pos >= value.size())
        return false;
    const std::size_t start = pos;
    while (pos < value.size() && value[pos] != ' ')
        ++pos;
    field = value.substr(start, pos - start);
    return true;
}

std::int16_t ToInt16(std::int32_t value) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(value, std::numeric_limits<std::int16_t>::min(),
                                                              std::numeric_limits<std::int16_t>::max()));
}

} // namespace

DSCError DSCReader::ParsePlateFile(std::string_view value) {
    EPSInfo& info = *mRecord;
    // Field 1, the plate name, runs through the ")" that closes its first parenthesis.
    std::size_t pos = 0;
    int depth = 0;
    bool opened = false;
    for (; pos < value.size(); ++pos) {
        const char c = value[pos];
        if (c == '\\') {
            ++pos; // the escaped character does not count
            continue;
        }
        if (c == '(') {
            ++depth;
            opened = true;
        } else if (c == ')') {
            if (--depth < 0)
                return DSCBadFormat;
            if (depth == 0 && opened) {
                ++pos;
                break;
            }
        }
    }
    pos = std::min(pos, value.size());

    std::string_view kind;
    std::string_view location;
    if (!NextField(value, pos, kind) || !NextField(value, pos, location))
        return DSCBadFormat;

    const bool inThisFile = location.front() == '#';
    info.flags = inThisFile ? info.flags | EPSFlags::kPlatesInFile : info.flags & ~EPSFlags::kPlatesInFile;
    if (!inThisFile) {
        if (location != "Local") {
            info.flags |= EPSFlags::kPlatesElsewhere;
            return DSCNoError;
        }
        std::string_view rest;
        return NextField(value, pos, rest) ? DSCNoError : DSCBadFormat;
    }

    std::string_view offsetText = location.substr(1);
    if (offsetText.empty() && !NextField(value, pos, offsetText))
        return DSCBadFormat;
    if (!DSCNUMBERS::AllDigits(offsetText))
        return DSCBadFormat;
    std::int64_t offset = DSCNUMBERS::ReadDigits(offsetText);

    const DOSBinaryHeader& header = info.binaryHeader;
    if ((info.flags & EPSFlags::kBraskTavren) == 0 && header.postScriptOffset != 0 &&
        header.postScriptLength != 0) {
        // An offset that does not point at a "%!" line counts from the PostScript section.
        const std::int32_t saved = mProvider->GetPosition();
        std::uint8_t marker[2] = {};
        std::uint32_t got = sizeof marker;
        const bool read =
            mProvider->SetPosition(static_cast<std::int32_t>(offset), IO::IDataProvider::kFromStart) == kOK &&
            DSCLineSource::Read(*mProvider, marker, got) && got == sizeof marker;
        mProvider->SetPosition(saved, IO::IDataProvider::kFromStart);
        if (!read)
            return DSCBadFormat;
        if (marker[0] != '%' || marker[1] != '!')
            offset += header.postScriptOffset;
    }
    if (offset < info.postScriptEnd)
        info.postScriptEnd = static_cast<std::int32_t>(offset);

    std::string_view length;
    if (!NextField(value, pos, length) || !DSCNUMBERS::AllDigits(length))
        return DSCBadFormat;
    return DSCNoError;
}

void DSCReader::ParseImageData(std::string_view value) {
    EPSInfo& info = *mRecord;
    std::size_t pos = 0;
    for (int field = 1; field <= 7; ++field) {
        while (pos < value.size() && value[pos] == ' ')
            ++pos;
        if (pos >= value.size())
            return;
        const std::size_t start = pos;
        while (pos < value.size() && value[pos] != ' ' && value[pos] != '\r' && value[pos] != '"')
            ++pos;
        const std::int32_t number = DSCNUMBERS::ReadInteger(value.substr(start, pos - start));
        switch (field) {
        case 1:
            info.imageWidth = ToInt16(number);
            break;
        case 2:
            info.imageHeight = ToInt16(number);
            break;
        case 3: // bits per channel
            if (number != 8)
                return;
            break;
        case 4: // colour mode
            if (number != 4)
                return;
            break;
        case 5: // extra channels
            info.imageFlags =
                number != 0 ? info.imageFlags | kImageExtraChannels : info.imageFlags & ~kImageExtraChannels;
            break;
        case 6:
            info.imageBlockSize = ToInt16(number);
            if (number != 1 && number != info.imageWidth)
                return;
            break;
        case 7: // data format
            info.imageFlags =
                number == 1 ? info.imageFlags | kImageBinaryData : info.imageFlags & ~kImageBinaryData;
            if (number > 2)
                return;
            break;
        default:
            break;
        }
        if (pos < value.size() && value[pos] != ' ')
            return; // a carriage return or a double quote ends the fields
    }
}

bool DSCReader::AddCustomColor(std::u16string_view entry) {
    EPSInfo& info = *mRecord;
    constexpr std::size_t kMaxUnits = std::numeric_limits<std::uint16_t>::max();
    const std::size_t oldSize = info.CustomColorList ? info.customColorListSize : 0;
    const std::size_t newSize = oldSize == 0 ? entry.size() + 2 : oldSize + entry.size() + 1;
    if (newSize > kMaxUnits)
        return false;
    auto list = std::make_unique<std::uint16_t[]>(newSize);
    if (oldSize == 0) {
        list[0] = 1;
    } else {
        std::memcpy(list.get(), info.CustomColorList.get(), oldSize * sizeof(std::uint16_t));
        list[0] = static_cast<std::uint16_t>(info.CustomColorList[0] + 1);
    }
    const std::size_t at = oldSize == 0 ? 1 : oldSize;
    std::copy(entry.begin(), entry.end(), list.get() + at);
    list[at + entry.size()] = 0;
    info.CustomColorList = std::move(list);
    info.customColorListSize = static_cast<std::uint16_t>(newSize);
    return true;
}

} // namespace BRASK::PLUGIN
