#include "FailureCause.h"

#include <algorithm>
#include <iterator>
#include <sstream>
#include <string_view>

namespace BRASK::EPSIMPORT {

namespace {

constexpr std::string_view kConverterPrefix = "CallasWrapper: ";
constexpr std::string_view kInterpreterSource = "core/Common/Headers/Jaws/JawsUtils";
constexpr std::string_view kInterpreterFunction =
    "void __cdecl BRASK::PLUGIN::jawsLogging(void *,int,char *,int)";

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// Errors the plug-in logs and then goes on placing the picture: a missing EPSF marker outside an .ai file
// and a box that disagrees with the PDF's size.
bool IsNotice(const LoggedError& error) {
    return EndsWith(error.message, " File does not contains EPSF- string in the header") ||
           error.message == "EPS BoundingBox width, user space width does not match" ||
           error.message == "EPS BoundingBox height, user space height does not match";
}

bool IsInterpreterMessage(const LoggedError& error) {
    return error.source == kInterpreterSource && error.function == kInterpreterFunction;
}

} // namespace

std::vector<std::string> ConverterLines(const std::string& standardError) {
    std::vector<std::string> lines;
    std::istringstream text(standardError);
    for (std::string line; std::getline(text, line);)
        if (line.rfind(kConverterPrefix, 0) == 0)
            lines.push_back(line.substr(kConverterPrefix.size()));
    return lines;
}

std::string FailureCause(const std::vector<LoggedError>& errors,
                         const std::vector<std::string>& converterLines, const std::string& picturePath) {
    if (!converterLines.empty()) {
        const std::string& verdict = converterLines.back();
        const std::string prefix = picturePath + ": ";
        return !picturePath.empty() && verdict.rfind(prefix, 0) == 0 ? verdict.substr(prefix.size())
                                                                     : verdict;
    }
    const auto interpreter = std::find_if(errors.rbegin(), errors.rend(), IsInterpreterMessage);
    if (interpreter != errors.rend())
        return interpreter->message;
    const auto first = std::find_if_not(errors.begin(), errors.end(), IsNotice);
    return first != errors.end() ? first->message : std::string();
}

} // namespace BRASK::EPSIMPORT
