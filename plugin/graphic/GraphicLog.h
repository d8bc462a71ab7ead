#pragma once

namespace BRASK::COREREGISTRY {
// Log source of the composite graphic's records.
inline constexpr char kPDFBasedCGSource[] = "core/Plugins/EPSLoader/Source/src/Common/PDFBasedCG";
} // namespace BRASK::COREREGISTRY
