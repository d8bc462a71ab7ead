// VectorFileReader: the questions a graphic processor asks about a vector picture file. The base answers
// each with an empty value; a reader for a format (EPSVectorFileReader) answers from the file.
#pragma once

#include "DSCError.h"
#include "EPSInfo.h"

#include "brask/IO.h"

#include <cstdint>

namespace BRASK::PLUGIN {

class VectorFileReader {
public:
    VectorFileReader() = default;
    VectorFileReader(const VectorFileReader&) = delete;
    VectorFileReader& operator=(const VectorFileReader&) = delete;
    virtual ~VectorFileReader() = default;

    // Reads the file behind `source` (borrowed; keep it alive while the reader lives).
    virtual DSCError Init(IO::IDataProvider* source) {
        (void)source;
        return DSCNoError;
    }
    // Size and box in 16.16 fixed-point points.
    virtual Fixed GetFixedWidth() const { return 0; }
    virtual Fixed GetFixedHeight() const { return 0; }
    // Size in points from the box exactly as read.
    virtual float GetWidth() const { return 0.0f; }
    virtual float GetHeight() const { return 0.0f; }
    // Offsets of the PostScript section in the file.
    virtual std::int32_t GetPostScriptEnd() const { return 0; }
    virtual std::int32_t GetPostScriptStart() const { return 0; }
    virtual Fixed GetLeft() const { return 0; }
    virtual Fixed GetRight() const { return 0; }
    virtual Fixed GetBottom() const { return 0; }
    virtual Fixed GetTop() const { return 0; }
    // Pixels per inch of an embedded Photoshop image, 16.16; 0 when unknown.
    virtual Fixed GetImageResolution() const { return 0; }
    virtual bool HasDuotoneInks() const { return false; }
    virtual bool HasVectorMaskedImagery() const { return false; }
    // The host's graphics colour-space code (COLORSPACE of brask/FilterKeys.h); 0 when unknown.
    virtual std::int32_t GetColorSpace() const { return 0; }
    // Memory-manager blocks owned by the reader (null when absent).
    virtual MEMFIX::Handle GetPhotoshopResources() const { return nullptr; }
    // Custom colours: one count unit, then NUL-terminated UTF-16 entries; the size counts every unit.
    virtual std::uint16_t GetCustomColorListSize() const { return 0; }
    virtual const std::uint16_t* GetCustomColorList() const { return nullptr; }
    virtual MEMFIX::Handle GetICCProfile() const { return nullptr; }
    // The TIFF preview of a DOS binary EPS; 0 without one.
    virtual std::uint32_t GetTIFFOffset() const { return 0; }
    virtual std::uint32_t GetTIFFLength() const { return 0; }
    // False when the first line begins with "%!" but lacks the " EPSF-" marker (the file needs repair);
    // GetHeaderLineLength then gives that first line's length.
    virtual bool HasEPSFHeaderLine() const { return true; }
    virtual std::uint32_t GetHeaderLineLength() const { return 0; }
};

} // namespace BRASK::PLUGIN
