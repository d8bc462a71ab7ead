// DSCLineSource: the lines of an EPS file's PostScript section, read through one buffer of at most 64 KiB.
// It owns the buffer and the read position; the "%%Trailer" line is found by reading the section backward
// from its end, so the cost of a scan does not grow with the file.
#pragma once

#include "DSCError.h"

#include "brask/IO.h"

#include <array>
#include <cstdint>
#include <memory>

namespace BRASK::PLUGIN {

class DSCLineSource {
public:
    static constexpr std::int32_t kBufferSize = 65536;
    // A comment line holds at most 1198 characters, then a carriage return and a NUL.
    static constexpr int kLineSize = 1200;
    static constexpr int kMaxLineChars = kLineSize - 2;
    using LineBuffer = std::array<std::uint8_t, kLineSize>;

    // Reads `provider` (borrowed; may be null until Start) in fills of at most `fillSize` bytes.
    explicit DSCLineSource(IO::IDataProvider* provider, std::int32_t fillSize = kBufferSize);

    // Reads from `start` up to `end`, the section's bounds in the file, with an empty buffer.
    void Start(std::int32_t start, std::int32_t end);
    // Puts the provider back at the section's start.
    void Rewind();

    // The next line that is not blank and whose second character is not "!", through `line` (a carriage
    // return and a NUL follow its text). `byteCount` receives the bytes consumed (blank and skipped lines and
    // the line end included), negated when the line does not begin with "%" or the read failed; only a
    // comment line moves the position past it. With `skipNonComments`, lines not beginning with "%" are
    // passed over.
    DSCError NextLine(bool skipNonComments, LineBuffer& line, std::int32_t& byteCount);
    // Finds the "%%Trailer" line by reading backward from the section's end, no further back than the
    // position. On success `line` holds it, the position is just after it and NextLine reads on from there.
    DSCError SeekTrailer(LineBuffer& line);

    // The offset of the next line's start.
    std::int32_t Position() const { return mPosition; }
    std::int32_t End() const { return mEnd; }

    // Reads up to `count` bytes at the provider's position; false only when the provider failed and
    // delivered nothing.
    static bool Read(IO::IDataProvider& provider, std::uint8_t* destination, std::uint32_t& count);

private:
    IO::IDataProvider* mProvider;
    std::unique_ptr<std::array<std::uint8_t, kBufferSize>> mBuffer;
    std::int32_t mFillSize;
    std::int32_t mStart = 0;
    std::int32_t mEnd = 0;
    std::int32_t mPosition = 0;
    std::int32_t mLength = 0; // bytes of the last fill
    std::int32_t mIndex = 0;  // next byte of the buffer
};

} // namespace BRASK::PLUGIN
