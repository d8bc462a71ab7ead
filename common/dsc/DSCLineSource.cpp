#include "DSCLineSource.h"

#include "DSCLog.h"

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

DSCLineSource::DSCLineSource(IO::IDataProvider* provider, std::int32_t fillSize)
    : mProvider(provider), mBuffer(std::make_unique<std::array<std::uint8_t, kBufferSize>>()),
      mFillSize(std::clamp<std::int32_t>(fillSize, 1, kBufferSize)) {}

bool DSCLineSource::Read(IO::IDataProvider& provider, std::uint8_t* destination, std::uint32_t& count) {
    const std::uint32_t requested = count;
    const Status status = provider.Read(destination, count);
    count = std::min(count, requested);
    return status == kOK || count > 0;
}

void DSCLineSource::Start(std::int32_t start, std::int32_t end) {
    mStart = start;
    mEnd = end;
    mPosition = start;
    mLength = mFillSize;
    mIndex = mFillSize;
    Rewind();
}

void DSCLineSource::Rewind() {
    mProvider->SetPosition(mStart, IO::IDataProvider::kFromStart);
}

DSCError DSCLineSource::NextLine(bool skipNonComments, LineBuffer& line, std::int32_t& byteCount) {
    byteCount = 0;
    int stored = 0;
    bool skipLine = false;
    DSCError result = DSCNoError;
    std::uint8_t* const buffer = mBuffer->data();

    for (;;) {
        if (mIndex >= mLength) {
            // A refill asks for no more than the previous fill and never reads past the section's end.
            const std::int64_t fileOffset = mProvider->GetPosition();
            const std::int64_t request = std::min<std::int64_t>(mLength, mEnd - fileOffset);
            if (request < 1) {
                // The data ends here: a last line without a line end is still a line.
                if (stored == 0 || skipLine)
                    result = DSCEndOfData;
                break;
            }
            auto count = static_cast<std::uint32_t>(request);
            if (!Read(*mProvider, buffer, count)) {
                BRASK_LOG_ERROR(DSCLOG::kSource, DSCLOG::kReadDSCComment,
                                "Unable to read from EPS file data provider.");
                result = DSCReadError;
                break;
            }
            // The new bytes are taken into the buffer before anything else, so none of them is lost.
            mLength = static_cast<std::int32_t>(count);
            mIndex = 0;
            if (stored >= 9 && std::memcmp(line.data(), "%%Trailer", 9) == 0)
                break;
            continue;
        }
        const std::uint8_t c = buffer[mIndex++];
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
    if (mIndex < mLength && buffer[mIndex] == kLF) {
        ++mIndex;
        ++byteCount;
    }
    if (result != DSCNoError || line[0] != '%')
        byteCount = -byteCount;
    else
        mPosition += byteCount;
    return result;
}

DSCError DSCLineSource::SeekTrailer(LineBuffer& line) {
    if (mPosition >= mEnd)
        return DSCEndOfData;

    std::vector<std::uint8_t> block(kBufferSize);
    auto readBlock = [&](std::int64_t from, std::int64_t& n) {
        auto count = static_cast<std::uint32_t>(n);
        if (mProvider->SetPosition(static_cast<std::int32_t>(from), IO::IDataProvider::kFromStart) != kOK)
            count = 0;
        else if (!Read(*mProvider, block.data(), count)) {
            BRASK_LOG_ERROR(DSCLOG::kSource, DSCLOG::kSearchForTrailer,
                            "Unable to read from EPS file data provider.");
            return false;
        }
        n = count;
        return true;
    };

    std::int64_t n = std::min<std::int64_t>(kBufferSize, mEnd - mPosition);
    if (!readBlock(mEnd - n, n))
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
        n = std::min<std::int64_t>(n, mEnd - mPosition - scanned);
        if (n < 1)
            return DSCEndOfData;
        if (!readBlock(mEnd - scanned - n, n))
            return DSCReadError;
        if (n < 1)
            return DSCEndOfData;
    }

    // The line break in front of the marker line: read from there, passing it as an empty line.
    const auto lineBreak = static_cast<std::int32_t>(mEnd - scanned);
    mProvider->SetPosition(lineBreak, IO::IDataProvider::kFromStart);
    mIndex = mLength;
    mPosition = lineBreak;
    std::int32_t byteCount = 0;
    const DSCError result = NextLine(false, line, byteCount);
    if (byteCount < 0)
        mPosition = lineBreak - byteCount;
    return result;
}

} // namespace BRASK::PLUGIN
