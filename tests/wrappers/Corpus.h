// The shared corpus of real EPS and SVG files, with the bounding box MANIFEST.tsv records for each EPS.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace BRASK::TEST {

struct Box {
    double llx = 0, lly = 0, urx = 0, ury = 0;
};

struct CorpusFile {
    std::string relativePath; // "eps-plain/x.eps"
    std::string path;         // absolute
    bool svg = false;
    std::optional<Box> box; // the %%BoundingBox the manifest gives (the trailer's last value for "(atend)")
};

std::vector<CorpusFile> LoadCorpus();

// A job-options file as the plug-in writes it; the plug-in's own conversions use 1.4 at 2400.00.
std::string JobOptions(const std::string& level = "1.4", const std::string& resolution = "2400.00");

// The words gs's text extraction finds in an EPS run by name (one `gs` process), to know whether it has text.
std::vector<std::string> ReferenceWords(const std::string& epsPath);

} // namespace BRASK::TEST
