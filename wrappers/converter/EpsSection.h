// Finds an EPS file's PostScript section and its bounding box with the project's DSC reader, so the
// converter crops to exactly the box the plug-in reports.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace BRASK::WRAPPERS {

struct EpsBox {
    double left = 0, bottom = 0, right = 0, top = 0;
    double Width() const { return right - left; }
    double Height() const { return top - bottom; }
    bool Empty() const { return !(Width() > 0 && Height() > 0); }
};

struct EpsSection {
    std::uint64_t offset = 0; // PostScript start in the file
    std::uint64_t length = 0; // PostScript byte count
    std::optional<EpsBox> box;
};

// Nullopt when the file cannot be read or holds no PostScript section; `error` says why.
std::optional<EpsSection> ReadEpsSection(const std::string& path, std::string& error);

} // namespace BRASK::WRAPPERS
