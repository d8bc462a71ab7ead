// The shared corpus of real EPS and SVG files.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace BRASK::TEST {

// Corpus files whose name ends with one of `extensions` (lower-case, with the dot), sorted.
std::vector<std::filesystem::path> CorpusFiles(const std::vector<std::string>& extensions);

std::string ReadAll(const std::filesystem::path& file);

// Standard output of a shell command.
std::string Capture(const std::string& command);

} // namespace BRASK::TEST
