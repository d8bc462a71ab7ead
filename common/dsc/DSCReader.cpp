// DSCReader set-up: the record, the PostScript section of plain and DOS binary EPS files, the EPSF marker.
#include "DSCReader.h"

#include "DSCCommentScan.h"
#include "DSCLog.h"

#include "brask/Logger.h"

#include <algorithm>
#include <cstring>

namespace BRASK::PLUGIN {

namespace {

std::uint32_t LittleEndian32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::uint16_t LittleEndian16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

DOSBinaryHeader DecodeHeader(const std::uint8_t* raw) {
    DOSBinaryHeader header;
    header.magic = LittleEndian32(raw);
    header.postScriptOffset = LittleEndian32(raw + 4);
    header.postScriptLength = LittleEndian32(raw + 8);
    header.wmfOffset = LittleEndian32(raw + 12);
    header.wmfLength = LittleEndian32(raw + 16);
    header.tiffOffset = LittleEndian32(raw + 20);
    header.tiffLength = LittleEndian32(raw + 24);
    header.checksum = LittleEndian16(raw + 28);
    header.spare = LittleEndian16(raw + 30);
    return header;
}

} // namespace

DSCReader::DSCReader(IO::IDataProvider* provider)
    : mProvider(provider), mRecord(std::make_unique<EPSInfo>()), mLines(provider) {}

DSCReader::~DSCReader() = default;

std::uint16_t DSCReader::GetCustomColorListSize() const {
    return mRecord->customColorListSize;
}

const std::uint16_t* DSCReader::GetCustomColorList() const {
    return mRecord->CustomColorList.get();
}

std::uint32_t DSCReader::GetTIFFOffset() const {
    return mRecord->binaryHeader.tiffOffset;
}

DSCError DSCReader::GetEPSInfo(std::uint8_t*, std::int16_t, ParseDSCCommentsFlags) {
    DSCCommentScan scan(*this);
    return scan.Run();
}

DSCError DSCReader::SetUpFileParsing() {
    EPSInfo& info = *mRecord;
    const std::int32_t size = mProvider != nullptr ? mProvider->GetSize() : 0;
    info.postScriptEnd = size;
    if (size < 1) {
        BRASK_LOG_ERROR(DSCLOG::kSource, DSCLOG::kSetUpFileParsing,
                        "Data provider holds " << size << " bytes which means there are no comments");
        return DSCSetUpFailed;
    }
    if (ReadDOSHeader()) {
        // The header's offset and length are untrusted: the section is kept inside the file.
        const std::int64_t start = std::min<std::int64_t>(info.binaryHeader.postScriptOffset, size);
        const std::int64_t end =
            std::min<std::int64_t>(static_cast<std::int64_t>(info.binaryHeader.postScriptOffset) +
                                       info.binaryHeader.postScriptLength,
                                   size);
        info.postScriptStart = static_cast<std::int32_t>(start);
        info.postScriptEnd = static_cast<std::int32_t>(end);
    }
    mLines.Start(info.postScriptStart, info.postScriptEnd);
    return DSCNoError;
}

bool DSCReader::ReadDOSHeader() {
    EPSInfo& info = *mRecord;
    std::uint8_t raw[DOSBinaryHeader::kSize] = {};
    std::uint32_t count = sizeof raw;
    bool valid = mProvider->SetPosition(0, IO::IDataProvider::kFromStart) == kOK &&
                 DSCLineSource::Read(*mProvider, raw, count) && count == sizeof raw;
    DOSBinaryHeader header = DecodeHeader(raw);
    valid = valid && header.magic == DOSBinaryHeader::kMagic;
    if (valid && header.tiffOffset == DOSBinaryHeader::kSize)
        header.checksum = DOSBinaryHeader::kNoChecksum;
    if (valid && header.checksum != DOSBinaryHeader::kNoChecksum) {
        std::uint16_t sum = 0;
        for (int i = 0; i < 28; ++i)
            sum ^= raw[i];
        valid = sum == header.checksum;
    }
    info.binaryHeader = valid ? header : DOSBinaryHeader{};

    info.epsfHeader = 1;
    info.firstLineLength = 0;
    std::uint8_t first[256] = {};
    std::uint32_t got = 255;
    const std::uint32_t offset = info.binaryHeader.postScriptOffset;
    if (offset > 0x7FFFFFFFu ||
        mProvider->SetPosition(static_cast<std::int32_t>(offset), IO::IDataProvider::kFromStart) != kOK)
        return valid;
    if (!DSCLineSource::Read(*mProvider, first, got))
        return valid;
    if (got < 2 || first[0] != '%' || first[1] != '!')
        return valid;
    info.epsfHeader = 0;
    const std::int64_t n = got;
    for (std::int64_t i = 0; i < n - 1; ++i) {
        const std::uint8_t c = first[i];
        if (c == '\r' || c == '\n' || (c == '%' && i > 3)) {
            info.firstLineLength = static_cast<std::uint32_t>(i);
            break;
        }
        if (i < n - 5 && std::memcmp(first + i, " EPSF-", 6) == 0) {
            info.epsfHeader = 1;
            break;
        }
    }
    return valid;
}

} // namespace BRASK::PLUGIN
