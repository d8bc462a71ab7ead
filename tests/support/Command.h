// Standard output of a shell command, and its exit status as system() gives it.
#pragma once

#include <array>
#include <cstdio>
#include <string>

namespace BRASK::TEST {

inline std::string Capture(const std::string& command, int* status = nullptr) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    std::array<char, 4096> chunk{};
    while (pipe != nullptr && std::fgets(chunk.data(), chunk.size(), pipe) != nullptr)
        output += chunk.data();
    const int ended = pipe != nullptr ? pclose(pipe) : -1;
    if (status != nullptr)
        *status = ended;
    return output;
}

} // namespace BRASK::TEST
