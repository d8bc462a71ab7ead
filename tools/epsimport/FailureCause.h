// Which of the messages logged while a picture was placed names why the placement failed.
#pragma once

#include <string>
#include <vector>

namespace BRASK::EPSIMPORT {

// One error record of the host log.
struct LoggedError {
    std::string source;
    std::string function;
    std::string message;
};

// The cause of a failed placement, from what was said since the placement started:
// 1. the converter's own verdict (its last line on standard error, "CallasWrapper: " and the picture's
//    path taken off): the converter's messages never reach the host log;
// 2. else the interpreter's last message (it comes through the log, always as an error; its verdict on the
// job
//    comes last, after start-up notices);
// 3. else the first error the plug-in logged, passing over the notices after which it carries on.
// Empty when nothing was said.
std::string FailureCause(const std::vector<LoggedError>& errors,
                         const std::vector<std::string>& converterLines, const std::string& picturePath);

// The converter's lines in what was written to standard error, without their "CallasWrapper: " prefix.
std::vector<std::string> ConverterLines(const std::string& standardError);

} // namespace BRASK::EPSIMPORT
