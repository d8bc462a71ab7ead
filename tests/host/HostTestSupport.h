// Shared set-up of the host tests: a host over a private temporary folder, and helpers for files and
// providers.
#pragma once

#include "../support/HostFixture.h"

#include "brask_host/HostStatus.h"

#include <filesystem>
#include <string>
#include <vector>

namespace BRASK::HOST::TEST {

using BRASK::TEST::LogCapture;
using BRASK::TEST::ReadFile;

inline std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}
inline std::string Utf8(const CoreString& text) {
    return text.GetUTF8String();
}

class HostTest : public BRASK::TEST::HostFixture {
protected:
    std::string TempPath(const std::string& name) const { return (mTemp.Path() / name).string(); }
};

} // namespace BRASK::HOST::TEST
