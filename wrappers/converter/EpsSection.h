// Finds an EPS file's PostScript section (after a DOS binary header when there is one) and its bounding box
// from the DSC comments: %%BoundingBox in the header, its "(atend)" value near the end of the file, and
// %%HiResBoundingBox when the integer box is missing or empty.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// Nullopt when the file cannot be read or its DOS header points outside the file; `error` says why.
std::optional<EpsSection> ReadEpsSection(const std::string& path, std::string& error);

// The box of one "%%BoundingBox:" / "%%HiResBoundingBox:" comment value; nullopt for "(atend)" or junk.
std::optional<EpsBox> ParseBoxValue(std::string_view value);

// Scans DSC text (the PostScript section's head and tail) for the box; exposed for tests.
std::optional<EpsBox> FindBoundingBox(std::string_view head, std::string_view tail);

} // namespace BRASK::WRAPPERS
