// DSCReader: reads the Document Structuring Convention comments of one EPS file through a host data provider
// into an EPSInfo record: it finds the PostScript section (plain, or inside a DOS binary EPS) and has a
// DSCCommentScan read the section's lines from a DSCLineSource.
#pragma once

#include "DSCError.h"
#include "DSCLineSource.h"
#include "EPSInfo.h"

#include "brask/IO.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace BRASK::PLUGIN {

class DSCReader {
public:
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

    // Finds the PostScript section (plain, or inside a DOS binary EPS) and starts the line source there.
    DSCError SetUpFileParsing();
    // Reads and checks the binary header and the first line (EPSF marker); true for a valid binary header.
    bool ReadDOSHeader();

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

    const EPSInfo& Info() const { return *mRecord; }
    EPSInfo& Info() { return *mRecord; }
    // The lines of the PostScript section, once SetUpFileParsing found it.
    DSCLineSource& Lines() { return mLines; }

private:
    IO::IDataProvider* mProvider = nullptr;
    std::unique_ptr<EPSInfo> mRecord;
    DSCLineSource mLines;
};

} // namespace BRASK::PLUGIN
