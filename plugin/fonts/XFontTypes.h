// Status values, font type codes and the font reference of the font library.
#pragma once

#include "brask/CoreString.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace XF {

using XStatus = std::int32_t;

constexpr XStatus kXNoErr = 0;
constexpr XStatus kXBadArgument = 0x51002001;
constexpr XStatus kXNoSuchFont = 0x51002006;
constexpr XStatus kXNoMoreFamilies = 0x51002007;

// The kind of a font's outline file.
enum XFontType : std::uint32_t {
    kXType1 = 0,       // Type 1 in a PFB outline file (binary segments)
    kXTrueType = 1,    // TrueType
    kXOpenTypeTT = 2,  // OpenType with TrueType outlines (carries a digital signature table)
    kXOpenTypePS = 3,  // OpenType with PostScript (CFF) outlines
    kXComposite = 6,   // CID-keyed font outside an sfnt wrapper
    kXUnknownType = 8, // the file cannot be opened or has no outline format the library knows
    kXType1Text = 9,   // Type 1 in text form (PFA, .t1): run as it stands, no PFB segments to decode
};

// Style slots of a family.
enum XStyle : std::uint32_t { kXRegular = 0, kXBold = 1, kXItalic = 2, kXBoldItalic = 3 };
constexpr std::uint32_t kXStyleCount = 4;

// A font reference: family and style slot; the further fields are reserved and zero.
struct XFontSpec {
    std::uint32_t familyId = 0;
    std::uint32_t style = 0;
    std::uint32_t reserved1 = 0;
    std::uint32_t reserved2 = 0;
    std::uint32_t reserved3 = 0;
};

using BXStringPtrArray = std::vector<std::unique_ptr<BRASK::BXString>>;

} // namespace XF
