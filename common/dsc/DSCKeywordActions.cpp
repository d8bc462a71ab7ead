// What each DSC comment value does to the record, the Photoshop and ICC data sections, and the final
// adjustments of a scan.
#include "DSCCommentScan.h"

#include "DSCLog.h"
#include "DSCNumbers.h"

#include "Windows1252.h"
#include "brask/Logger.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace BRASK::PLUGIN {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string_view TrimTrailingSpaces(std::string_view text) {
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// Stores `value` as NUL-terminated text, cut to the field's 255 characters.
void CopyText(char (&field)[EPSInfo::kTextSize], std::string_view value) {
    const std::size_t n = std::min<std::size_t>(value.size(), EPSInfo::kTextSize - 1);
    std::memcpy(field, value.data(), n);
    field[n] = 0;
}

std::uint8_t HexValue(char c) {
    if (c <= '9')
        return static_cast<std::uint8_t>(c - '0');
    if (c <= 'F')
        return static_cast<std::uint8_t>(c - 'A' + 10);
    return static_cast<std::uint8_t>(c - 'a' + 10);
}

// Decodes hex pairs of `value` into `block` from `counter`, no further than `limit` bytes.
void DecodeHex(std::string_view value, MEMFIX::Handle block, std::uint32_t& counter, std::uint32_t limit) {
    char* data = *block;
    for (std::size_t k = 0; k + 1 < value.size() && counter < limit; k += 2)
        data[counter++] = static_cast<char>((HexValue(value[k]) << 4) + HexValue(value[k + 1]));
}

} // namespace

DSCCommentScan::Next DSCCommentScan::ApplyValue(Keyword keyword, std::string_view value, Outcome& finish) {
    switch (keyword) {
    case Keyword::Creator:
        ApplyCreator(value);
        break;
    case Keyword::Title:
        if (!mEndCommentsSeen || mInfo.title[0] == 0)
            CopyText(mInfo.title, value);
        break;
    case Keyword::CreationDate:
        CopyText(mInfo.creationDate, value);
        break;
    case Keyword::BoundingBox:
    case Keyword::HiResBoundingBox:
        // Between %%EndComments and the trailer a box only counts when the header gave none: after a header
        // box it describes some other, wrapped document.
        if (mEndCommentsSeen && mState != ScanState::Trailer && mHeaderBoxTaken)
            break;
        if (keyword == Keyword::BoundingBox && mHiResTaken)
            break;
        return ApplyBoundingBox(value, keyword == Keyword::HiResBoundingBox, finish);
    case Keyword::DocumentData: {
        const std::string_view kind = TrimTrailingSpaces(value);
        if (kind == "Binary")
            mInfo.documentData = kDocumentDataBinary;
        else if (kind == "Clean8Bit")
            mInfo.documentData = kDocumentDataClean8Bit;
        else if (kind == "Clean7Bit")
            mInfo.documentData = kDocumentDataClean7Bit;
        break;
    }
    case Keyword::LanguageLevel: {
        const Fixed level = DSCNUMBERS::FloatToFixed(DSCNUMBERS::ReadFloat(TrimTrailingSpaces(value)));
        if (level > kFixedOne)
            mInfo.languageLevel = static_cast<std::int16_t>(level >> 16);
        break;
    }
    case Keyword::MarksAllSeparations:
        if (StartsWith(value, "true"))
            mInfo.flags |= EPSFlags::kMarksAllSeparations;
        break;
    case Keyword::BlackPlate:
        mInfo.flags |= EPSFlags::kDCS1 | EPSFlags::kBlackPlate;
        break;
    case Keyword::CyanPlate:
        mInfo.flags |= EPSFlags::kDCS1 | EPSFlags::kCyanPlate;
        break;
    case Keyword::MagentaPlate:
        mInfo.flags |= EPSFlags::kDCS1 | EPSFlags::kMagentaPlate;
        break;
    case Keyword::YellowPlate:
        mInfo.flags |= EPSFlags::kDCS1 | EPSFlags::kYellowPlate;
        break;
    case Keyword::PlateFile: {
        mInfo.flags |= EPSFlags::kDCS2;
        const DSCError result = mReader.ParsePlateFile(value);
        if (result != DSCNoError) {
            finish = Finish{result};
            return Next::LineDone;
        }
        break;
    }
    case Keyword::ImageData:
        mReader.ParseImageData(value);
        break;
    case Keyword::ColorPlates:
        ApplyPlateLetter(value);
        break;
    case Keyword::DocumentProcessColors:
        return ApplyProcessColor(value, finish);
    case Keyword::RGBCustomColor:
    case Keyword::BRKLabCustomColor:
    case Keyword::CMYKCustomColor:
        return ApplyCustomColor(keyword, value, finish);
    case Keyword::BeginPhotoshop:
        BeginPhotoshop(value);
        break;
    case Keyword::ICCData:
        ICCDataLine(value);
        break;
    default: // DocumentProcSets, DocumentCustomColors: no action
        break;
    }
    return Next::Value;
}

void DSCCommentScan::ApplyCreator(std::string_view value) {
    CopyText(mInfo.creator, value);
    if (StartsWith(value, "Photoshop") || StartsWith(value, "Adobe Photoshop")) {
        mInfo.flags |= EPSFlags::kRasterCreator;
        mCreatorIsPhotoshop = true;
    } else if (StartsWith(value, "BraskTavren")) {
        mInfo.flags |= EPSFlags::kBraskTavren;
        std::string_view version;
        if (const std::size_t windows = value.find("Windows "); windows != std::string_view::npos)
            version = value.substr(windows + 8);
        else if (const std::size_t space = value.find(' '); space != std::string_view::npos)
            version = value.substr(space + 1);
        else
            return;
        int major = 0;
        for (std::size_t k = 0; k < 4 && k < version.size(); ++k) {
            const char c = version[k];
            if (c == '.')
                break;
            if (c >= '0' && c <= '9') {
                major = major * 10 + (c - '0');
            } else if (c != ' ' || major != 0) {
                BRASK_LOG_ERROR(DSCLOG::kSource, DSCLOG::kGetEPSInfo,
                                "Non-digit char found in the version string");
                return;
            }
        }
        if (major >= 7)
            mInfo.flags |= EPSFlags::kBraskTavren7OrLater;
    } else if (StartsWith(value, "Sampler")) {
        mInfo.flags |= EPSFlags::kRasterCreator;
    }
}

DSCCommentScan::Next DSCCommentScan::ApplyBoundingBox(std::string_view value, bool hiRes, Outcome& finish) {
    if (StartsWith(value, "(atend)"))
        return DeferValue(false, finish);
    float numbers[4] = {};
    std::size_t pos = 0;
    for (float& number : numbers) {
        while (pos < value.size() && value[pos] == ' ')
            ++pos;
        const std::size_t start = pos;
        while (pos < value.size() && value[pos] != ' ' && value[pos] != '\r')
            ++pos;
        number = DSCNUMBERS::ReadFloat(value.substr(start, pos - start));
    }
    mInfo.boundingBox.Set(numbers);
    if (hiRes)
        mHiResTaken = true;
    if (!mEndCommentsSeen)
        mHeaderBoxTaken = true;
    return Next::Value;
}

void DSCCommentScan::ApplyPlateLetter(std::string_view token) {
    switch (token.empty() ? '\0' : token.front()) {
    case 'c':
    case 'C':
        mInfo.flags |= EPSFlags::kCyanPlate;
        mCyanSeen = true;
        break;
    case 'm':
    case 'M':
        mInfo.flags |= EPSFlags::kMagentaPlate;
        mMagentaSeen = true;
        break;
    case 'y':
    case 'Y':
        mInfo.flags |= EPSFlags::kYellowPlate;
        mYellowSeen = true;
        break;
    default: // b, B, k, K and anything else
        mInfo.flags |= EPSFlags::kBlackPlate;
        mBlackSeen = true;
        break;
    }
}

DSCCommentScan::Next DSCCommentScan::ApplyProcessColor(std::string_view token, Outcome& finish) {
    if (StartsWith(token, "(atend)"))
        return DeferValue(false, finish);
    if (!token.empty() && token.front() == '(') {
        // "(Process Cyan)" names Cyan; a shorter "(" token leaves nothing to name a plate by.
        if (token.size() <= 10)
            return Next::Value;
        token = token.substr(9, token.size() - 10);
    }
    ApplyPlateLetter(token);
    return Next::Value;
}

DSCCommentScan::Next DSCCommentScan::ApplyCustomColor(Keyword keyword, std::string_view value,
                                                      Outcome& finish) {
    mInfo.flags |= keyword == Keyword::RGBCustomColor ? EPSFlags::kRGB : EPSFlags::kCMYK;
    if (StartsWith(value, "(atend)"))
        return DeferValue(true, finish);

    std::string text(value);
    while (!text.empty() && text.back() != ')')
        text.pop_back();
    std::size_t open = text.find('(');
    if (open == std::string::npos)
        open = text.size();
    std::vector<std::uint8_t> name(text.size() - open + 1);
    mReader.UndoPSStr(reinterpret_cast<const std::uint8_t*>(text.data()) + open, text.size() - open,
                      name.data());

    // The name is written back as a PostScript string with every special or non-printable byte escaped.
    std::string entry = text.substr(0, open);
    entry += '(';
    for (const std::uint8_t* b = name.data(); *b != 0; ++b) {
        if (*b == '(' || *b == ')' || *b == '\\') {
            entry += '\\';
            entry += static_cast<char>(*b);
        } else if (*b < 0x20 || *b > 0x7E) {
            entry += '\\';
            entry += static_cast<char>('0' + ((*b >> 6) & 7));
            entry += static_cast<char>('0' + ((*b >> 3) & 7));
            entry += static_cast<char>('0' + (*b & 7));
        } else {
            entry += static_cast<char>(*b);
        }
    }
    entry += ')';
    if (keyword == Keyword::BRKLabCustomColor)
        entry += '#';
    mReader.AddCustomColor(TEXT::Windows1252ToUTF16(entry));
    return Next::Value;
}

void DSCCommentScan::BeginPhotoshop(std::string_view value) {
    // Hex data takes two characters a byte, so no honest count exceeds half the section.
    const std::int64_t sectionBytes = static_cast<std::int64_t>(mInfo.postScriptEnd) - mInfo.postScriptStart;
    const std::int64_t declared = std::clamp<std::int64_t>(DSCNUMBERS::ReadInteger(value), 0,
                                                           std::max<std::int64_t>(sectionBytes / 2, 0));
    mInfo.PhotoshopResources.Reset(MEMFIX::NewHandle(static_cast<std::uint32_t>(declared)));
    mPhotoshopBytes = 0;
    mCurrentKeyword = Keyword::PhotoshopData;
}

void DSCCommentScan::PhotoshopDataLine(std::string_view value) {
    const MEMFIX::Handle block = mInfo.PhotoshopResources.Get();
    if (block == nullptr)
        return;
    // Bytes beyond the declared count are dropped: the block keeps exactly the declared size.
    DecodeHex(value, block, mPhotoshopBytes, MEMFIX::GetHandleSize(block));
}

DSCCommentScan::Outcome DSCCommentScan::EndPhotoshop() {
    const MEMFIX::Handle block = mInfo.PhotoshopResources.Get();
    if (block != nullptr && MEMFIX::GetHandleSize(block) != mPhotoshopBytes &&
        MEMFIX::SetHandleSizeChecked(block, mPhotoshopBytes) != MEMFIX::noErr)
        return Finish{mResult, false};
    mCurrentKeyword = Keyword::None;
    return std::nullopt;
}

void DSCCommentScan::BeginICCProfile() {
    if (!mInfo.ICCProfileData)
        mInfo.ICCProfileData.Reset(MEMFIX::NewHandle(0));
    else
        MEMFIX::SetHandleSize(mInfo.ICCProfileData.Get(), 0); // a repeated section replaces the profile
    mICCBytes = 0;
    mCurrentKeyword = Keyword::ICCData;
}

void DSCCommentScan::ICCDataLine(std::string_view value) {
    const MEMFIX::Handle block = mInfo.ICCProfileData.Get();
    const auto grow = static_cast<std::uint32_t>(value.size() / 2);
    if (block == nullptr || grow == 0)
        return;
    const std::uint32_t size = MEMFIX::GetHandleSize(block);
    if (MEMFIX::SetHandleSizeChecked(block, size + grow) != MEMFIX::noErr)
        return;
    DecodeHex(value, block, mICCBytes, size + grow);
}

void DSCCommentScan::FinalAdjustments() {
    mInfo.boundingBox.WidenThinExtents();

    std::uint32_t& flags = mInfo.flags;
    if ((flags & (EPSFlags::kDCS1 | EPSFlags::kDCS2)) != 0) {
        flags &= ~EPSFlags::kPlateBits;
        flags |= (mCyanSeen ? EPSFlags::kCyanPlate : 0) | (mMagentaSeen ? EPSFlags::kMagentaPlate : 0) |
                 (mYellowSeen ? EPSFlags::kYellowPlate : 0) | (mBlackSeen ? EPSFlags::kBlackPlate : 0);
    }
    if ((flags & EPSFlags::kColorModelBits) == 0 ||
        (flags & (EPSFlags::kPlateBits | EPSFlags::kColorModel18 | EPSFlags::kColorModel19)) != 0)
        flags |= EPSFlags::kCMYK;
    if (mCreatorIsPhotoshop && (flags & EPSFlags::kDCS1) != 0)
        flags |= EPSFlags::kPhotoshopDCS1;
    if (!mEndCommentsSeen && mResult == DSCNoError && mLines.Position() >= mInfo.postScriptEnd)
        mResult = DSCEndOfData;
    mLines.Rewind();
}

} // namespace BRASK::PLUGIN
