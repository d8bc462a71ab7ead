// Status values of the reference host beyond those the SDK interfaces declare.
#pragma once

#include "brask/Status.h"

namespace BRASK::HOST {

constexpr Status kBadArgument = 1;    // null or malformed argument, unknown class id
constexpr Status kEngineError = 7;    // an outside library (qpdf) refused the data
constexpr Status kFileTooLarge = 23;  // a file of 2 GiB or more cannot be served with 32-bit positions
constexpr Status kMalformedData = 24; // data that is read but not understood (no page, truncated resources)
constexpr Status kUnsupported = 25;   // a URI scheme or graphic type the host does not serve
constexpr Status kMadeByDiscoveryOnly =
    26; // the PDF composite graphic is made by the discovery service alone

} // namespace BRASK::HOST
