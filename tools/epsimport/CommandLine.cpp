#include "CommandLine.h"

#include <string_view>

namespace BRASK::EPSIMPORT {

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    bool onlyFiles = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (onlyFiles || arg.empty() || arg.front() != '-' || arg == "-") {
            line.files.emplace_back(arg);
        } else if (arg == "--") {
            onlyFiles = true;
        } else if (arg == "--info") {
            if (line.mode != Mode::None && line.mode != Mode::Info) {
                line.error = "only one mode may be given";
                return line;
            }
            line.mode = Mode::Info;
        } else {
            line.error = "unknown option " + std::string(arg);
            return line;
        }
    }
    if (line.mode == Mode::None)
        line.error = "no mode given";
    else if (line.files.empty())
        line.error = "no files given";
    return line;
}

const char* UsageText() {
    return "usage: epsimport --info FILE...\n"
           "  --info   print each file's DSC information as one JSON object per line\n";
}

} // namespace BRASK::EPSIMPORT
