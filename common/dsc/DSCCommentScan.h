// The single pass over the DSC comments that fills a DSCReader's record (internal to the reader). It reads
// the reader's line source and holds only the state of the keywords met so far.
#pragma once

#include "DSCReader.h"

#include <optional>
#include <string_view>

namespace BRASK::PLUGIN {

class DSCCommentScan {
public:
    explicit DSCCommentScan(DSCReader& reader)
        : mReader(reader), mLines(reader.Lines()), mInfo(reader.Info()) {}

    DSCError Run();

    enum class ScanState { Header, Deferred, Trailer };
    enum class Keyword {
        None,
        EndComments,
        SuppressDotGain,
        Creator,
        Title,
        CreationDate,
        BoundingBox,
        HiResBoundingBox,
        DocumentData,
        LanguageLevel,
        MarksAllSeparations,
        DocumentProcSets,
        BlackPlate,
        CyanPlate,
        MagentaPlate,
        YellowPlate,
        PlateFile,
        ImageData,
        DocumentNeededResources,
        DocumentSuppliedResources,
        ColorPlates,
        DocumentProcessColors,
        RGBProcessColor,
        CMYKProcessColor,
        DocumentCustomColors,
        RGBCustomColor,
        BRKLabCustomColor,
        CMYKCustomColor,
        BeginPhotoshop,
        PhotoshopData,
        ICCData,
    };

private:
    // How a scan ends: with a code, and whether the final adjustments run.
    struct Finish {
        DSCError code;
        bool adjust = true;
    };
    // What an action asks of the value extraction of its line.
    enum class Next { Value, LineDone };
    using Outcome = std::optional<Finish>;

    Outcome Classify(std::string_view line);
    Outcome ApplyKeyword(std::string_view line, std::size_t afterKeyword, Keyword keyword);
    Outcome ExtractValues(std::string_view line, std::size_t from, Keyword keyword);
    // The action for one value; LineDone stops the extraction of the line.
    Next ApplyValue(Keyword keyword, std::string_view value, Outcome& finish);
    // "(atend)": defers in the header, is malformed in the trailer.
    Next DeferValue(bool customColour, Outcome& finish);

    void ApplyCreator(std::string_view value);
    Next ApplyBoundingBox(std::string_view value, bool hiRes, Outcome& finish);
    void ApplyPlateLetter(std::string_view token);
    Next ApplyProcessColor(std::string_view token, Outcome& finish);
    Next ApplyCustomColor(Keyword keyword, std::string_view value, Outcome& finish);
    void BeginPhotoshop(std::string_view value);
    // Hex data lines; `value` is the line's text after its first character, blanks and commas skipped.
    void PhotoshopDataLine(std::string_view value);
    Outcome EndPhotoshop();
    void BeginICCProfile();
    void ICCDataLine(std::string_view value);
    // The value that starts at `from`: spaces and commas skipped, up to the carriage return.
    static std::string_view RestOfLine(std::string_view line, std::size_t from);

    void FinalAdjustments();

    DSCReader& mReader;
    DSCLineSource& mLines;
    EPSInfo& mInfo;
    ScanState mState = ScanState::Header;
    Keyword mCurrentKeyword = Keyword::None;
    bool mEndCommentsSeen = false;
    bool mHiResTaken = false;
    bool mHeaderBoxTaken = false; // a box with numbers came before %%EndComments
    bool mCreatorIsPhotoshop = false;
    bool mCyanSeen = false;
    bool mMagentaSeen = false;
    bool mYellowSeen = false;
    bool mBlackSeen = false;
    int mEmbeddedDepth = 0; // nesting of %%BeginDocument sections, whose comments describe other files
    std::uint32_t mPhotoshopBytes = 0;
    std::uint32_t mICCBytes = 0;
    DSCError mResult = DSCNoError;
};

} // namespace BRASK::PLUGIN
