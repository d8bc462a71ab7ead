// Running engine commands from the benchmarks: a program run to completion with its output discarded.
#pragma once

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace BRASK::BENCH {

struct Timing {
    double wallMs = 0;
    double cpuMs = 0; // of the program and every descendant it waited for
    bool ok = false;  // exit status 0
};

// Runs `args` (looked up on PATH); `sample` is called every 10 ms while it runs, with its pid.
inline Timing RunProcess(std::vector<std::string> args, const std::function<void(pid_t)>& sample = {}) {
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Timing timing;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return timing;
    int status = 0;
    rusage usage{};
    while (sample && wait4(pid, &status, WNOHANG, &usage) == 0) {
        sample(pid);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!sample)
        wait4(pid, &status, 0, &usage);
    timing.wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    timing.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    timing.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return timing;
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

} // namespace BRASK::BENCH
