// The interpreter processes of a worker client: where the program is, starting one with its private folder
// as TMPDIR and its end of a socket pair, and ending one and removing its folder.
#include "GsWorkerClient.h"

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace BRASK::WRAPPERS {

namespace {

bool IsExecutable(const std::string& path) {
    return access(path.c_str(), X_OK) == 0;
}

// The environment of a worker: this process's, with TMPDIR naming the worker's private folder.
std::vector<std::string> WorkerEnvironment(const std::string& folder) {
    std::vector<std::string> variables;
    for (char** variable = environ; variable != nullptr && *variable != nullptr; ++variable) {
        if (std::strncmp(*variable, "TMPDIR=", 7) != 0)
            variables.emplace_back(*variable);
    }
    variables.push_back("TMPDIR=" + folder);
    return variables;
}

// A folder of its own for one worker inside `parent` (made when missing); empty when it cannot be made.
std::string MakeWorkerFolder(const std::string& parent) {
    std::error_code ignored;
    std::filesystem::create_directories(parent, ignored);
    std::string pattern = parent + "/gsworker-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        return {};
    return pattern;
}

} // namespace

std::string GsWorkerClient::WorkerPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&GsWorkerClient::WorkerPath), &info) == 0 || info.dli_fname == nullptr)
        return {};
    std::string folder = info.dli_fname;
    const std::size_t slash = folder.rfind('/');
    folder = slash == std::string::npos ? "." : folder.substr(0, slash);
    for (const std::string& candidate : {folder + "/brask-gsworker", folder + "/../brask-gsworker"}) {
        if (IsExecutable(candidate))
            return candidate;
    }
    return {};
}

void GsWorkerClient::EndProcess(Process& process, bool graceful) {
    if (process.socket >= 0) {
        close(process.socket); // the worker ends when its socket closes
        process.socket = -1;
    }
    if (process.pid > 0) {
        // A worker between jobs leaves at once when its socket closes; one still busy is ended.
        bool ended = false;
        for (int i = 0; graceful && !ended && i < 500; ++i) {
            ended = waitpid(process.pid, nullptr, WNOHANG) == process.pid;
            if (!ended)
                usleep(2000);
        }
        if (!ended) {
            kill(process.pid, SIGKILL);
            waitpid(process.pid, nullptr, 0);
        }
    }
    // Whatever the interpreter left (scratch files of an ended job, the parking file) goes with its folder.
    if (!process.folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(process.folder, ignored);
    }
    process = Process{};
}

bool GsWorkerClient::Spawn(Process& process) {
    const std::string worker = mConfig.workerPath.empty() ? WorkerPath() : mConfig.workerPath;
    if (worker.empty()) {
        mSink(2, "the interpreter process brask-gsworker is missing beside the library");
        return false;
    }
    process.folder = MakeWorkerFolder(mConfig.tempFolder);
    if (process.folder.empty()) {
        mSink(2, "cannot create a temporary folder in " + mConfig.tempFolder);
        return false;
    }
    int sockets[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
        mSink(2, std::string("socketpair failed: ") + std::strerror(errno));
        EndProcess(process, false);
        return false;
    }
    std::vector<std::string> args = {
        worker, "--fd", "3", "--temp", process.folder, "--recycle", std::to_string(mConfig.recycleAfterJobs)};
    for (const std::string& folder : mConfig.fontFolders) {
        args.push_back("--font");
        args.push_back(folder);
    }
    if (mConfig.raster) {
        args.push_back("--raster");
        args.push_back("1");
    }
    for (const std::string& argument : mConfig.extraArguments) {
        args.push_back("--arg");
        args.push_back(argument);
    }
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment = WorkerEnvironment(process.folder);
    std::vector<char*> envp;
    for (std::string& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, sockets[1], 3);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 4); // none of the host's other files
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, worker.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(sockets[1]);
    if (spawned != 0) {
        close(sockets[0]);
        mSink(2, "cannot start " + worker + ": " + std::strerror(spawned));
        EndProcess(process, false);
        return false;
    }
    process.socket = sockets[0];
    process.pid = pid;
    ++mProcessesStarted;
    return true;
}

} // namespace BRASK::WRAPPERS
