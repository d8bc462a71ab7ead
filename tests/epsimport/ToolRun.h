// Runs the epsimport program as a user does and reads back its JSON lines.
#pragma once

#include "../support/Command.h"
#include "../support/Fixture.h"

#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace BRASK::TEST {

struct ToolResult {
    int exitStatus = -1;
    std::vector<nlohmann::json> lines;
    std::string raw;
};

// `arguments` as a shell reads them; `environment` goes before the program ("NAME=value ..."); standard
// error goes to `errorPath`.
inline ToolResult RunEpsimport(const std::string& arguments, bool json = true,
                               const std::string& environment = std::string(),
                               const std::string& errorPath = "/dev/null") {
    ToolResult result;
    int status = -1;
    result.raw =
        Capture(environment + " " + BRASK_EPSIMPORT + " " + arguments + " 2>'" + errorPath + "'", &status);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream lines(result.raw);
    for (std::string line; json && std::getline(lines, line);)
        result.lines.push_back(nlohmann::json::parse(line));
    return result;
}

inline std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

class EpsimportTest : public Fixture {
protected:
    std::string Path(const std::string& name) const { return (mTemp.Path() / name).string(); }
};

} // namespace BRASK::TEST
