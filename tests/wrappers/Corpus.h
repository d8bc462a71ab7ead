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

// The job-options file the plug-in writes for a conversion (processor flag set).
std::string PluginJobOptions();

// The words gs's text extraction finds in an EPS run by name (one `gs` process), to know whether it has text.
std::vector<std::string> ReferenceWords(const std::string& epsPath);

} // namespace BRASK::TEST
