// The shared sample collection (BRASK_CORPUS_DIR, beside the checkout). A test that reads it starts with
// BRASK_SKIP_WITHOUT_CORPUS(), so a plain clone without the collection skips it, naming the missing folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace BRASK::TEST {

inline bool CorpusPresent() {
    std::error_code error;
    return std::filesystem::is_directory(BRASK_CORPUS_DIR, error);
}

inline std::string CorpusMissingMessage() {
    return std::string("the sample collection is missing: ") + BRASK_CORPUS_DIR;
}

} // namespace BRASK::TEST

#define BRASK_SKIP_WITHOUT_CORPUS()                                                                          \
    if (::BRASK::TEST::CorpusPresent()) {                                                                    \
    } else                                                                                                   \
        GTEST_SKIP() << ::BRASK::TEST::CorpusMissingMessage()
