// DSCReader: reads the Document Structuring Convention comments of one EPS file through a host data provider
// into an EPSInfo record. All reading goes through one 64 KiB buffer; deferred "(atend)" values are found by
// reading the PostScript section backward from its end, so the cost of a scan does not grow with the file.
#pragma once

#include "DSCError.h"
#include "EPSInfo.h"

#include "brask/IO.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace BRASK::PLUGIN {

class DSCCommentScan;

class DSCReader {
public:
    static constexpr std::int32_t kBufferSize = 65536;
    // A comment line holds at most 1198 characters, then a carriage return and a NUL.
    static constexpr int kLineSize = 1200;
    static constexpr int kMaxLineChars = kLineSize - 2;
    using LineBuffer = std::array<std::uint8_t, kLineSize>;

    enum ParseDSCCommentsFlags : std::uint32_t { kParseDefault = 0x20 };

    // `provider` is borrowed: the caller keeps it alive for the reader's life. The record starts with its
    // defaults (language level 1, document data 1, reserved -1).
    explicit DSCReader(IO::IDataProvider* provider);
    DSCReader(const DSCReader&) = delete;
    DSCReader& operator=(const DSCReader&) = delete;
    virtual ~DSCReader();

    // The custom colour list: one count unit, then NUL-terminated UTF-16 entries; size in units.
    virtual std::uint16_t GetCustomColorListSize() const;
    virtual const std::uint16_t* GetCustomColorList() const;
    // TIFF preview offset of the binary header; 0 without a valid header.
    virtual std::uint32_t GetTIFFOffset() const;

    // Scans the comments once and fills the record. Leaves the provider at PostScript start (except when the
    // set-up failed). The arguments are carried for callers that pass them; the scan does not consult them.
    DSCError GetEPSInfo(std::uint8_t* unused = nullptr, std::int16_t unusedCount = 118,
                        ParseDSCCommentsFlags unusedFlags = kParseDefault);

    // Finds the PostScript section (plain, or inside a DOS binary EPS), seeks the provider to its start
    // and resets the buffer.
    DSCError SetUpFileParsing();
    // Reads and checks the binary header and the first line (EPSF marker); true for a valid binary header.
    bool ReadDOSHeader();

    // Delivers the next line of the section that is not blank and whose second character is not "!",
    // through `buffer`. `position` is the file offset of the line's start. `byteCount` receives the bytes
    // consumed (blank and skipped lines and the line end included), negated when the line does not begin
    // with "%" or the read failed. With `skipNonComments`, lines not beginning with "%" are passed over.
    DSCError ReadDSCComment(std::int32_t position, bool skipNonComments, LineBuffer& line,
                            std::uint8_t* buffer, std::int32_t& bufferLength, std::int32_t& bufferIndex,
                            std::int32_t& byteCount);
    // Finds the "%%Trailer" line by reading the section backward from its end, no further back than
    // `position`. On success `position` is just after that line and the next ReadDSCComment reads on from
    // there.
    DSCError SearchForTrailer(std::int32_t& position, LineBuffer& line, std::uint8_t* buffer,
                              std::int32_t& bufferLength, std::int32_t& bufferIndex);
    // Decodes the PostScript string literal found in the first `length` bytes of `text` into `out`
    // (NUL-terminated; `out` must hold length + 1 bytes; the result is never longer than the input).
    void UndoPSStr(const std::uint8_t* text, std::size_t length, std::uint8_t* out);

    // Fills the record from a %%PlateFile: value (DCS 2 plate location).
    DSCError ParsePlateFile(std::string_view value);
    // Fills the image fields from a "%ImageData:" value.
    void ParseImageData(std::string_view value);
    // Appends one UTF-16 entry to the custom colour list. An entry that would take the list past 65535
    // units is refused (false) and the list stays as it was.
    bool AddCustomColor(std::u16string_view entry);

    // The record and the bounding box exactly as read, in points.
    const EPSInfo& Info() const { return *mRecord; }
    EPSInfo& Info() { return *mRecord; }
    float LowerLeftX() const { return mLowerLeftX; }
    float LowerLeftY() const { return mLowerLeftY; }
    float UpperRightX() const { return mUpperRightX; }
    float UpperRightY() const { return mUpperRightY; }
    // Offset of the start of the line being read.
    std::int32_t Position() const { return mPosition; }

private:
    friend class DSCCommentScan;

    // Reads up to `count` bytes at the provider's position; false only when the provider failed and
    // delivered nothing.
    bool ReadProvider(std::uint8_t* destination, std::uint32_t& count);

    IO::IDataProvider* mProvider = nullptr;
    std::unique_ptr<std::array<std::uint8_t, kBufferSize>> mBuffer;
    std::unique_ptr<EPSInfo> mRecord;
    std::int32_t mPosition = 0;
    std::int32_t mBufferLength = 0;
    std::int32_t mBufferIndex = 0;
    std::uint8_t* mBufferPointer = nullptr;
    float mLowerLeftX = 0;
    float mLowerLeftY = 0;
    float mUpperRightX = 0;
    float mUpperRightY = 0;
};

} // namespace BRASK::PLUGIN
