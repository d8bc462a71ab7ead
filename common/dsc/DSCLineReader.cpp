// Line reading through the 64 KiB buffer, and the backward search for the "%%Trailer" line.
#include "DSCLog.h"
#include "DSCReader.h"

#include "brask/Logger.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace BRASK::PLUGIN {

namespace {

constexpr std::uint8_t kCR = '\r';
constexpr std::uint8_t kLF = '\n';

bool IsLineEnd(std::uint8_t c) {
    return c == kCR || c == kLF;
}

} // namespace

DSCError DSCReader::ReadDSCComment(std::int32_t position, bool skipNonComments, LineBuffer& line,
                                   std::uint8_t* buffer, std::int32_t& bufferLength,
                                   std::int32_t& bufferIndex, std::int32_t& byteCount) {
    (void)
        position; // refills are bounded by the provider's own offset, which never lies before the line start
    byteCount = 0;
    int stored = 0;
    bool skipLine = false;
    DSCError result = DSCNoError;
    const std::int64_t end = mRecord->postScriptEnd;

    for (;;) {
        if (bufferIndex >= bufferLength) {
            // A refill asks for no more than the previous fill and never reads past the section's end.
            const std::int64_t fileOffset = mProvider->GetPosition();
            std::int64_t request = bufferLength;
            if (fileOffset + request > end)
                request = end - fileOffset;
            if (request < 1) {
                // The data ends here: a last line without a line end is still a line.
                if (stored == 0 || skipLine)
                    result = DSCEndOfData;
                break;
            }
            auto count = static_cast<std::uint32_t>(request);
            if (!ReadProvider(buffer, count)) {
                BRASK_LOG_ERROR(DSCLOG::kSource, DSCLOG::kReadDSCComment,
                                "Unable to read from EPS file data provider.");
                result = DSCReadError;
                break;
            }
            // The new bytes are taken into the buffer before anything else, so none of them is lost.
            bufferLength = static_cast<std::int32_t>(count);
            bufferIndex = 0;
            if (stored >= 9 && std::memcmp(line.data(), "%%Trailer", 9) == 0)
                break;
            continue;
        }
        const std::uint8_t c = buffer[bufferIndex++];
        ++byteCount;
        if (IsLineEnd(c)) {
            if (stored > 0 && !skipLine)
                break;
            stored = 0;
            skipLine = false;
            continue;
        }
        if (skipLine)
            continue;
        const bool leadingBlank = stored == 0 && (c == ' ' || c == '\t');
        if (!leadingBlank && stored < kMaxLineChars)
            line[stored++] = c;
        if (skipNonComments && stored == 1 && c != '%')
            skipLine = true;
        if (stored == 2 && c == '!')
            skipLine = true;
    }

    line[stored] = kCR;
    line[stored + 1] = 0;
    if (bufferIndex < bufferLength && buffer[bufferIndex] == kLF) {
        ++bufferIndex;
        ++byteCount;
    }
    if (result != DSCNoError || line[0] != '%')
        byteCount = -byteCount;
    return result;
}

DSCError DSCReader::SearchForTrailer(std::int32_t& position, LineBuffer& line, std::uint8_t* buffer,
                                     std::int32_t& bufferLength, std::int32_t& bufferIndex) {
    const std::int64_t end = mRecord->postScriptEnd;
    if (position >= end)
        return DSCEndOfData;

    std::vector<std::uint8_t> block(kBufferSize);
    auto readBlock = [&](std::int64_t from, std::int64_t& n) {
        auto count = static_cast<std::uint32_t>(n);
        if (mProvider->SetPosition(static_cast<std::int32_t>(from), IO::IDataProvider::kFromStart) != kOK)
            count = 0;
        else if (!ReadProvider(block.data(), count)) {
            BRASK_LOG_ERROR(DSCLOG::kSource, DSCLOG::kSearchForTrailer,
                            "Unable to read from EPS file data provider.");
            return false;
        }
        n = count;
        return true;
    };

    std::int64_t n = std::min<std::int64_t>(kBufferSize, end - position);
    if (!readBlock(end - n, n))
        return DSCReadError;

    // The current line, collected backward, trailing blanks aside.
    std::uint8_t reversed[255];
    int collected = 0;
    std::int64_t scanned = 0;
    bool found = false;
    while (!found) {
        for (std::int64_t i = n - 1; i >= 0; --i) {
            const std::uint8_t c = block[static_cast<std::size_t>(i)];
            ++scanned;
            if (IsLineEnd(c)) {
                if (collected >= 9 && std::memcmp(reversed, "reliarT%%", 9) == 0) {
                    found = true;
                    break;
                }
                collected = 0;
                continue;
            }
            if (collected == 0 && (c == ' ' || c == '\t'))
                continue;
            if (collected < static_cast<int>(sizeof reversed))
                reversed[collected++] = c;
        }
        if (found)
            break;
        n = std::min<std::int64_t>(n, end - position - scanned);
        if (n < 1)
            return DSCEndOfData;
        if (!readBlock(end - scanned - n, n))
            return DSCReadError;
        if (n < 1)
            return DSCEndOfData;
    }

    // The line break in front of the marker line: read from there, passing it as an empty line.
    const std::int64_t lineBreak = end - scanned;
    mProvider->SetPosition(static_cast<std::int32_t>(lineBreak), IO::IDataProvider::kFromStart);
    position = static_cast<std::int32_t>(lineBreak);
    bufferIndex = bufferLength;
    std::int32_t byteCount = 0;
    const DSCError result =
        ReadDSCComment(position, false, line, buffer, bufferLength, bufferIndex, byteCount);
    if (result == DSCNoError && line[0] == '%')
        position += byteCount;
    else
        position -= byteCount;
    return result;
}

} // namespace BRASK::PLUGIN
