// EPSVectorFileReader: answers every VectorFileReader question for an EPS file from the EPSInfo record that
// its DSCReader fills.
//
//     EPSVectorFileReader reader;
//     DSCError status = reader.Init(provider);       // provider: IO::IDataProvider*, borrowed
//     Fixed width = reader.GetFixedWidth();          // queries are valid whatever the status
//     std::uint32_t flags = reader.GetFlags();
#pragma once

#include "DSCReader.h"
#include "VectorFileReader.h"

#include <memory>

namespace BRASK::PLUGIN {

class EPSVectorFileReader : public VectorFileReader {
public:
    EPSVectorFileReader() = default;
    ~EPSVectorFileReader() override;

    // Creates the DSCReader on `source` and scans its comments; returns the scan's result. The record can
    // be queried even when the result is not DSCNoError (whatever the scan filled is reported).
    DSCError Init(IO::IDataProvider* source) override;

    Fixed GetFixedWidth() const override;
    Fixed GetFixedHeight() const override;
    float GetWidth() const override;
    float GetHeight() const override;
    std::int32_t GetPostScriptEnd() const override;
    std::int32_t GetPostScriptStart() const override;
    Fixed GetLeft() const override;
    Fixed GetRight() const override;
    Fixed GetBottom() const override;
    Fixed GetTop() const override;
    Fixed GetImageResolution() const override;
    bool HasDuotoneInks() const override;
    bool HasVectorMaskedImagery() const override;
    std::int32_t GetColorSpace() const override;
    MEMFIX::Handle GetPhotoshopResources() const override;
    std::uint16_t GetCustomColorListSize() const override;
    const std::uint16_t* GetCustomColorList() const override;
    MEMFIX::Handle GetICCProfile() const override;
    std::uint32_t GetTIFFOffset() const override;
    std::uint32_t GetTIFFLength() const override;
    bool HasEPSFHeaderLine() const override;
    std::uint32_t GetHeaderLineLength() const override;

    // The record's flag word (EPSFlags bits); 0 before Init.
    std::uint32_t GetFlags() const;
    // The whole record and its reader; null before Init.
    const EPSInfo* GetEPSInfo() const { return mFileReader ? &mFileReader->Info() : nullptr; }
    const DSCReader* GetDSCReader() const { return mFileReader.get(); }

private:
    std::unique_ptr<DSCReader> mFileReader;
};

} // namespace BRASK::PLUGIN
