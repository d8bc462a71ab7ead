// What the benchmarks share: engine commands run to completion with their output discarded, a stopwatch, a
// scratch folder and the corpus files.
#pragma once

#include "../tests/support/TempDir.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace BRASK::BENCH {

namespace fs = std::filesystem;
using BRASK::TEST::TempDir;
using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

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
    const auto start = Clock::now();
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
    timing.wallMs = SecondsSince(start) * 1000;
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    timing.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    timing.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return timing;
}

// One gs process converting `inputs` into `output` (a name with %03d: one file per page), each cropped to
// its EPS box.
inline std::vector<std::string> GsToPdf(const std::string& output, const std::vector<std::string>& inputs) {
    std::vector<std::string> args = {"gs",        "-q",        "-dSAFER",           "-dBATCH",
                                     "-dNOPAUSE", "-dEPSCrop", "-sDEVICE=pdfwrite", "-sOutputFile=" + output};
    args.insert(args.end(), inputs.begin(), inputs.end());
    return args;
}

#ifdef BRASK_CORPUS_DIR
// The corpus files in folders whose name starts with `prefix` ("svg", "eps-"), sorted.
inline std::vector<std::string> CorpusFiles(const std::string& prefix) {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(BRASK_CORPUS_DIR))
        if (entry.is_regular_file() && entry.path().parent_path().filename().string().rfind(prefix, 0) == 0)
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}
#endif

} // namespace BRASK::BENCH
