// The comment scan: reads lines, follows the header/deferred/trailer states and classifies each comment.
#include "DSCCommentScan.h"

#include "DSCLog.h"

#include "brask/Logger.h"

#include <cstring>

namespace BRASK::PLUGIN {

namespace {

using Keyword = DSCCommentScan::Keyword;

struct KeywordEntry {
    std::string_view text;
    std::size_t at; // index of the first compared character
    Keyword keyword;
};

// In the order in which they are tried.
constexpr KeywordEntry kKeywords[] = {
    {"SuppressDotGainCompensation", 2, Keyword::SuppressDotGain},
    {"Creator:", 2, Keyword::Creator},
    {"Title:", 2, Keyword::Title},
    {"CreationDate:", 2, Keyword::CreationDate},
    {"BoundingBox:", 2, Keyword::BoundingBox},
    {"HiResBoundingBox:", 2, Keyword::HiResBoundingBox},
    {"DocumentData:", 2, Keyword::DocumentData},
    {"LanguageLevel:", 2, Keyword::LanguageLevel},
    {"MarksAllSeparations:", 2, Keyword::MarksAllSeparations},
    {"DocumentProcSets:", 2, Keyword::DocumentProcSets},
    {"BlackPlate:", 2, Keyword::BlackPlate},
    {"CyanPlate:", 2, Keyword::CyanPlate},
    {"MagentaPlate:", 2, Keyword::MagentaPlate},
    {"YellowPlate:", 2, Keyword::YellowPlate},
    {"PlateFile:", 2, Keyword::PlateFile},
    {"%ImageData:", 0, Keyword::ImageData},
    {"DocumentNeededResources:", 2, Keyword::DocumentNeededResources},
    {"DocumentSuppliedResources:", 2, Keyword::DocumentSuppliedResources},
    {"ColorPlates:", 2, Keyword::ColorPlates},
    {"DocumentProcessColors:", 2, Keyword::DocumentProcessColors},
    {"RGBProcessColor:", 2, Keyword::RGBProcessColor},
    {"CMYKProcessColor:", 2, Keyword::CMYKProcessColor},
    {"DocumentCustomColors:", 2, Keyword::DocumentCustomColors},
    {"RGBCustomColor:", 2, Keyword::RGBCustomColor},
    {"BRKLabCustomColor:", 2, Keyword::BRKLabCustomColor},
    {"CMYKCustomColor:", 2, Keyword::CMYKCustomColor},
    {"%BeginPhotoshop:", 0, Keyword::BeginPhotoshop},
};

bool Matches(std::string_view line, std::size_t at, std::string_view keyword) {
    return line.size() >= at + keyword.size() && line.compare(at, keyword.size(), keyword) == 0;
}

bool IsResourceKeyword(Keyword keyword) {
    return keyword == Keyword::DocumentNeededResources || keyword == Keyword::DocumentSuppliedResources;
}

bool IsCustomColorKeyword(Keyword keyword) {
    return keyword == Keyword::DocumentCustomColors || keyword == Keyword::RGBCustomColor ||
           keyword == Keyword::BRKLabCustomColor || keyword == Keyword::CMYKCustomColor;
}

// Extraction modes: -1 no value, 0 the rest of the line, n > 0 tokens keeping n - 1 leading fields.
int ExtractionMode(Keyword keyword) {
    switch (keyword) {
    case Keyword::None:
    case Keyword::EndComments:
    case Keyword::SuppressDotGain:
    case Keyword::DocumentNeededResources:
    case Keyword::DocumentSuppliedResources:
    case Keyword::RGBProcessColor:
    case Keyword::CMYKProcessColor:
    case Keyword::PhotoshopData:
        return -1;
    case Keyword::ColorPlates:
    case Keyword::DocumentProcessColors:
    case Keyword::DocumentCustomColors:
        return 1;
    case Keyword::RGBCustomColor:
    case Keyword::BRKLabCustomColor:
        return 4;
    case Keyword::CMYKCustomColor:
        return 5;
    default:
        return 0;
    }
}

} // namespace

DSCError DSCCommentScan::Run() {
    const DSCError setUp = mReader.SetUpFileParsing();
    if (setUp != DSCNoError) {
        BRASK_LOG_ERROR(DSCLOG::kSource, DSCLOG::kGetEPSInfo, "SetUpFileParsing failed");
        return setUp;
    }

    DSCLineSource::LineBuffer line{};
    bool skipNonComments = false;
    Finish finish{DSCNoError};
    for (;;) {
        std::int32_t count = 0;
        const DSCError read = mLines.NextLine(skipNonComments, line, count);
        skipNonComments = false;
        const bool pastEnd = read == DSCNoError && count > 0 && mState == ScanState::Header &&
                             mLines.Position() > mLines.End();
        if (read != DSCNoError || pastEnd) {
            const DSCError code = pastEnd ? DSCEndOfData : read;
            if (code != DSCEndOfData) {
                finish = {code};
            } else if (mState == ScanState::Trailer) {
                finish = {DSCNoError};
            } else if (mEndCommentsSeen) {
                mInfo.flags |= EPSFlags::kNoCompositeMaster;
                finish = {DSCNoError};
            } else {
                BRASK_LOG_ERROR(DSCLOG::kSource, DSCLOG::kGetEPSInfo, "DSC comments error in EPS file.");
                finish = {DSCEndOfData};
            }
            break;
        }
        const auto* text = reinterpret_cast<const char*>(line.data());
        if (count < 0) {
            // The first line that is not a comment ends the header.
            if (mState == ScanState::Deferred && (mInfo.flags & (EPSFlags::kDCS1 | EPSFlags::kDCS2)) == 0 &&
                mEndCommentsSeen && mLines.SeekTrailer(line) == DSCNoError) {
                mState = ScanState::Trailer;
                mEmbeddedDepth = 0;
                skipNonComments = true;
                continue;
            }
            if ((mInfo.flags & EPSFlags::kBraskTavren) == 0 && (mInfo.flags & EPSFlags::kDCS2) != 0 &&
                std::strncmp(text, "/dcsNoMasterIgnore pop", 22) == 0)
                mInfo.flags |= EPSFlags::kNoCompositeMaster;
            finish = {DSCNoError};
            break;
        }
        if (mState != ScanState::Trailer && !mEndCommentsSeen)
            mInfo.headerBytes += count;
        if (const Outcome outcome = Classify(std::string_view(text, std::strlen(text)))) {
            finish = *outcome;
            break;
        }
    }

    mResult = finish.code;
    if (finish.adjust)
        FinalAdjustments();
    return mResult;
}

DSCCommentScan::Outcome DSCCommentScan::Classify(std::string_view line) {
    // The comments of an embedded document describe that document, not this file.
    if (Matches(line, 0, "%%BeginDocument")) {
        ++mEmbeddedDepth;
        mCurrentKeyword = Keyword::None;
        return std::nullopt;
    }
    if (mEmbeddedDepth > 0) {
        if (Matches(line, 0, "%%EndDocument"))
            --mEmbeddedDepth;
        return std::nullopt;
    }
    // A "%%+" line continues the values of the keyword before it.
    if (mCurrentKeyword != Keyword::None && mCurrentKeyword != Keyword::PhotoshopData && line.size() >= 3 &&
        line[2] == '+') {
        if (line.size() <= 3) {
            BRASK_LOG_ERROR(DSCLOG::kSource, DSCLOG::kGetEPSInfo, "Error reading DSC Comments in EPS.");
            return std::nullopt;
        }
        if (IsResourceKeyword(mCurrentKeyword))
            return std::nullopt;
        return ExtractValues(line, 3, mCurrentKeyword);
    }

    if (mState == ScanState::Trailer) {
        if (Matches(line, 0, "%%EOF"))
            return Finish{mResult};
    } else if (Matches(line, 2, "EndComments")) {
        mEndCommentsSeen = true;
        mCurrentKeyword = Keyword::EndComments;
        return std::nullopt;
    }

    for (const KeywordEntry& entry : kKeywords)
        if (Matches(line, entry.at, entry.text))
            return ApplyKeyword(line, entry.at + entry.text.size(), entry.keyword);

    if (mCurrentKeyword == Keyword::PhotoshopData) {
        if (Matches(line, 0, "%EndPhotoshop"))
            return EndPhotoshop();
        PhotoshopDataLine(RestOfLine(line, 1));
        return std::nullopt;
    }
    if (Matches(line, 0, "%VectorMaskedImagery")) {
        mInfo.flags |= EPSFlags::kVectorMaskedImagery;
        mCurrentKeyword = Keyword::None;
        return std::nullopt;
    }
    if (Matches(line, 0, "%%BeginICCProfile:")) {
        BeginICCProfile();
        return std::nullopt;
    }
    if (mCurrentKeyword == Keyword::ICCData) {
        if (Matches(line, 0, "%%EndICCProfile"))
            mCurrentKeyword = Keyword::None;
        else
            ICCDataLine(RestOfLine(line, 1));
        return std::nullopt;
    }
    if (Matches(line, 0, "%DuotoneInks:")) {
        mInfo.flags |= EPSFlags::kDuotoneInks;
        mCurrentKeyword = Keyword::None;
        return std::nullopt;
    }
    mCurrentKeyword = Keyword::None;
    return std::nullopt;
}

DSCCommentScan::Outcome DSCCommentScan::ApplyKeyword(std::string_view line, std::size_t afterKeyword,
                                                     Keyword keyword) {
    switch (keyword) {
    case Keyword::SuppressDotGain:
        mInfo.flags |= EPSFlags::kSuppressDotGain;
        mCurrentKeyword = Keyword::None;
        return std::nullopt;
    case Keyword::RGBProcessColor:
        mInfo.flags |= EPSFlags::kRGB;
        mCurrentKeyword = Keyword::None;
        return std::nullopt;
    case Keyword::CMYKProcessColor:
        mInfo.flags |= EPSFlags::kCMYK;
        mCurrentKeyword = Keyword::None;
        return std::nullopt;
    case Keyword::DocumentNeededResources:
    case Keyword::DocumentSuppliedResources: {
        std::size_t pos = afterKeyword;
        while (pos < line.size() && line[pos] == ' ')
            ++pos;
        if (Matches(line, pos, "(atend)")) {
            Outcome finish;
            DeferValue(false, finish);
            return finish;
        }
        mCurrentKeyword = keyword;
        return std::nullopt;
    }
    default:
        break;
    }
    mCurrentKeyword = keyword;
    std::size_t from = afterKeyword;
    if (IsCustomColorKeyword(keyword) && line.find("%%+ ", afterKeyword) != std::string_view::npos)
        from += 4;
    return ExtractValues(line, from, keyword);
}

DSCCommentScan::Outcome DSCCommentScan::ExtractValues(std::string_view line, std::size_t from,
                                                      Keyword keyword) {
    const int mode = ExtractionMode(keyword);
    if (mode < 0)
        return std::nullopt;
    std::size_t pos = from;
    for (;;) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == ','))
            ++pos;
        if (pos >= line.size() || line[pos] == '\r')
            return std::nullopt;
        Outcome finish;
        if (mode == 0) {
            // The rest of the line, whatever its length: the line itself is bounded.
            ApplyValue(keyword, RestOfLine(line, pos), finish);
            return finish;
        }
        const int keptFields = mode - 1;
        std::string token;
        int separators = 0;
        bool inString = false;
        for (; pos < line.size() && line[pos] != '\r'; ++pos) {
            const char c = line[pos];
            if (!inString && (c == ' ' || c == ',')) {
                const bool inRun = c == ' ' && !token.empty() && token.back() == ' ';
                if (separators >= keptFields && !inRun)
                    break;
                if (c == ' ' && !inRun)
                    ++separators;
            }
            const bool escaped = !token.empty() && token.back() == '\\';
            if ((c == '(' || c == '\\') && !escaped)
                inString = true;
            else if (c == ')' && !escaped)
                inString = false;
            token += c;
        }
        const Next next = ApplyValue(keyword, token, finish);
        if (finish || next == Next::LineDone)
            return finish;
    }
}

std::string_view DSCCommentScan::RestOfLine(std::string_view line, std::size_t from) {
    std::size_t pos = from;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == ','))
        ++pos;
    if (pos >= line.size())
        return {};
    std::size_t end = line.find('\r', pos);
    if (end == std::string_view::npos)
        end = line.size();
    return line.substr(pos, end - pos);
}

DSCCommentScan::Next DSCCommentScan::DeferValue(bool customColour, Outcome& finish) {
    if (mState != ScanState::Trailer) {
        mState = ScanState::Deferred;
        return Next::LineDone;
    }
    if (customColour) {
        BRASK_LOG_ERROR(DSCLOG::kSource, DSCLOG::kGetEPSInfo, "Bad file format.");
        return Next::Value;
    }
    finish = Finish{DSCBadFormat};
    return Next::LineDone;
}

} // namespace BRASK::PLUGIN
