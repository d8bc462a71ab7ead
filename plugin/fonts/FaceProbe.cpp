#include "FaceProbe.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_FONT_FORMATS_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H
#include FT_CID_H

#include <cstring>
#include <fstream>

namespace XF {

namespace {

struct FaceDeleter {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using FacePtr = std::unique_ptr<std::remove_pointer_t<FT_Face>, FaceDeleter>;

bool HasTable(FT_Face face, FT_ULong tag) {
    FT_ULong length = 0;
    return FT_Load_Sfnt_Table(face, tag, 0, nullptr, &length) == 0 && length > 0;
}

// Unicode-range bits of the East-Asian blocks: Hangul Jamo, CJK Symbols and Punctuation, Hiragana, Katakana,
// Bopomofo, Hangul Compatibility Jamo, Enclosed CJK Letters and Months, CJK Compatibility, Hangul Syllables,
// CJK Unified Ideographs, CJK Strokes, CJK Compatibility Forms, Halfwidth and Fullwidth Forms, Kanbun.
constexpr int kEastAsianBits[] = {28, 48, 49, 50, 51, 52, 54, 55, 56, 59, 61, 65, 68, 83};

} // namespace

struct FaceProbe::Impl {
    FT_Library library = nullptr;

    FacePtr Open(const std::string& path, int faceIndex) const {
        FT_Face face = nullptr;
        if (library == nullptr || FT_New_Face(library, path.c_str(), faceIndex, &face) != 0)
            return FacePtr();
        return FacePtr(face);
    }
};

FaceProbe::FaceProbe() : mImpl(std::make_unique<Impl>()) {
    if (FT_Init_FreeType(&mImpl->library) != 0)
        mImpl->library = nullptr;
}

FaceProbe::~FaceProbe() {
    if (mImpl->library != nullptr)
        FT_Done_FreeType(mImpl->library);
}

namespace {

// A PFB file starts with the marker of its first segment; a Type 1 font in text form with "%!".
bool IsSegmentedType1(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[2] = {};
    return in.read(head, 2) && static_cast<unsigned char>(head[0]) == 0x80 && head[1] == 0x01;
}

std::uint32_t TypeOf(const FacePtr& face, const std::string& path) {
    const char* format = FT_Get_Font_Format(face.get());
    if (format == nullptr)
        return kXUnknownType;
    if (std::strcmp(format, "TrueType") == 0 || std::strcmp(format, "Type 42") == 0) {
        if (!FT_IS_SFNT(face.get()))
            return kXTrueType;
        return HasTable(face.get(), TTAG_DSIG) ? kXOpenTypeTT : kXTrueType;
    }
    if (std::strcmp(format, "Type 1") == 0)
        return IsSegmentedType1(path) ? kXType1 : kXType1Text;
    if (std::strcmp(format, "CID Type 1") == 0)
        return kXComposite;
    if (std::strcmp(format, "CFF") == 0) {
        if (FT_IS_SFNT(face.get()))
            return kXOpenTypePS;
        FT_Bool cid = 0;
        if (FT_Get_CID_Is_Internally_CID_Keyed(face.get(), &cid) == 0 && cid)
            return kXComposite;
        return kXOpenTypePS;
    }
    return kXUnknownType;
}

FaceProbe::RangeAnswer RangesOf(const FacePtr& face) {
    using RangeAnswer = FaceProbe::RangeAnswer;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face.get(), FT_SFNT_OS2));
    if (os2 == nullptr || os2->version == 0xFFFF)
        return RangeAnswer::kNoRanges;
    const FT_ULong ranges[4] = {os2->ulUnicodeRange1, os2->ulUnicodeRange2, os2->ulUnicodeRange3,
                                os2->ulUnicodeRange4};
    if ((ranges[0] | ranges[1] | ranges[2] | ranges[3]) == 0)
        return RangeAnswer::kNoRanges;
    for (int bit : kEastAsianBits)
        if ((ranges[bit / 32] >> (bit % 32)) & 1u)
            return RangeAnswer::kEastAsian;
    return RangeAnswer::kNotEastAsian;
}

} // namespace

std::uint32_t FaceProbe::FontType(const std::string& path, int faceIndex) {
    return Probe(path, faceIndex).type;
}

FaceProbe::RangeAnswer FaceProbe::EastAsianRanges(const std::string& path, int faceIndex) {
    return Probe(path, faceIndex).ranges;
}

FaceProbe::Facts FaceProbe::Probe(const std::string& path, int faceIndex) {
    Facts facts;
    const FacePtr face = mImpl->Open(path, faceIndex);
    if (face) {
        facts.type = TypeOf(face, path);
        facts.ranges = RangesOf(face);
    }
    return facts;
}

} // namespace XF
