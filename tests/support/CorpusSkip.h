// The shared sample collection (BRASK_CORPUS_DIR, beside the checkout). A test that reads it starts with
// BRASK_SKIP_WITHOUT_CORPUS(), so a plain clone without the collection skips it, naming the missing folder.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace BRASK::TEST {

// Files of the collection whose name ends with one of `extensions` (lower-case, with the dot), sorted.
inline std::vector<std::filesystem::path> CorpusFiles(const std::vector<std::string>& extensions) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(BRASK_CORPUS_DIR)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        if (entry.is_regular_file() &&
            std::find(extensions.begin(), extensions.end(), ext) != extensions.end())
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace BRASK::TEST

#define BRASK_SKIP_WITHOUT_CORPUS()                                                                          \
    if (std::error_code error; std::filesystem::is_directory(BRASK_CORPUS_DIR, error)) {                     \
    } else                                                                                                   \
        GTEST_SKIP() << "the sample collection is missing: " BRASK_CORPUS_DIR
