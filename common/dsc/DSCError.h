// Result codes of every DSC reader operation.
#pragma once

#include <cstdint>

namespace BRASK::PLUGIN {

enum DSCError : std::int32_t {
    DSCNoError = 0,
    DSCSetUpFailed = 1, // the data provider holds no bytes
    DSCEndOfData = 2,   // the PostScript section ended before what was being read was complete
    DSCBadFormat = 3,   // a comment value is malformed
    DSCReadError = 4,   // the data provider failed to deliver bytes
};

} // namespace BRASK::PLUGIN
