// The command line of epsimport: one mode and its files. New modes add an enumerator, their options and a
// file of their own beside InfoMode.
#pragma once

#include <string>
#include <vector>

namespace BRASK::EPSIMPORT {

enum class Mode {
    None, // no mode given
    Info, // --info FILE...: print what the DSC comments say, one JSON object per file
};

struct CommandLine {
    Mode mode = Mode::None;
    std::vector<std::string> files;
    // Set when the command line cannot be used; the tool prints it with the usage and exits with 2.
    std::string error;
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

// One line per mode, for error output.
const char* UsageText();

} // namespace BRASK::EPSIMPORT
