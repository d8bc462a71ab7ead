#include "ParallelPlace.h"

#include "PlaceJson.h"
#include "PlaceMode.h"
#include "Progress.h"
#include "StderrCapture.h"
#include "WorkerChannel.h"

#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <vector>

namespace BRASK::EPSIMPORT {

namespace {

constexpr long kNoJob = -1;

struct Worker {
    pid_t pid = -1;
    int socket = -1;        // the parent's end
    int capture = -1;       // the worker's standard-error buffer, read here when it ends unexpectedly
    std::string tempFolder; // the worker's TMPDIR, removed when it ends
    long job = kNoJob;      // the index of the picture it is placing
};

// A private folder for one worker's temporary files, so that whatever a worker that ends unexpectedly leaves
// behind is removed with it. Empty when none can be made (the worker then uses $TMPDIR).
std::string MakeWorkerTempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/epsimport-XXXXXX";
    return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

// The worker process: its own host and plug-in, then one picture per index received until the parent closes
// the socket.
int RunWorker(const CommandLine& line, const std::vector<std::string>& pdfPaths, int socket, int capture) {
    PlacingSession session;
    if (!session.Start()) {
        SendFrame(socket, FrameKind::StartFailed, session.Error());
        return 1;
    }
    PicturePlacer placer(session.Host(), session.Plugin(), line, std::cerr, capture);
    for (std::uint32_t index = 0; ReceiveIndex(socket, index) && index < line.files.size();) {
        const PlacedPicture placed = placer.Place(line.files[index], pdfPaths[index]);
        if (!SendFrame(socket, placed.placed ? FrameKind::Placed : FrameKind::Failed, placed.line))
            break;
    }
    return 0;
}

std::string EndText(int status) {
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        const char* name = strsignal(signal);
        return "killed by signal " + std::to_string(signal) +
               (name != nullptr ? std::string(": ") + name : "");
    }
    if (WIFEXITED(status))
        return "exit status " + std::to_string(WEXITSTATUS(status));
    return "unknown end";
}

class WorkerPool {
public:
    WorkerPool(const CommandLine& line, const std::vector<std::string>& pdfPaths)
        : mLine(line), mPdfPaths(pdfPaths) {}
    ~WorkerPool() {
        for (Worker& worker : mWorkers)
            Retire(worker, false);
    }
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Forks a worker; false when the system refuses.
    bool Start() {
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
            return false;
        Worker worker;
        worker.capture = MakeCaptureBuffer();
        worker.tempFolder = MakeWorkerTempFolder();
        std::cout.flush();
        std::cerr.flush();
        std::fflush(nullptr); // nothing buffered here may be written twice
        worker.pid = fork();
        if (worker.pid == 0) {
            close(ends[0]);
            for (const Worker& other : mWorkers) {
                if (other.socket >= 0)
                    close(other.socket);
                if (other.capture >= 0)
                    close(other.capture);
            }
            if (!worker.tempFolder.empty())
                setenv("TMPDIR", worker.tempFolder.c_str(), 1);
            // Nothing may unwind into the parent's frames copied into this process.
            int code = 1;
            try {
                code = RunWorker(mLine, mPdfPaths, ends[1], worker.capture);
            } catch (const std::exception& error) {
                std::fprintf(stderr, "epsimport: %s\n", error.what());
            }
            std::exit(code);
        }
        close(ends[1]);
        if (worker.pid < 0) {
            close(ends[0]);
            Retire(worker, false);
            return false;
        }
        worker.socket = ends[0];
        mWorkers.push_back(worker);
        return true;
    }

    std::vector<Worker>& Workers() { return mWorkers; }

    // Closes the worker's socket (an idle worker ends on that), waits for it and removes its folder. With
    // `unexpected`, what it wrote to standard error but could not pass on is passed on; returns how it ended.
    std::string Retire(Worker& worker, bool unexpected) {
        std::string end;
        Release(worker);
        if (worker.pid > 0) {
            int status = 0;
            while (waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
            }
            end = EndText(status);
        }
        worker.pid = -1;
        if (unexpected)
            PassOnCaptured(worker.capture);
        if (worker.capture >= 0)
            close(worker.capture);
        worker.capture = -1;
        if (!worker.tempFolder.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(worker.tempFolder, ignored);
        }
        worker.tempFolder.clear();
        return end;
    }

    // Closes the socket of a worker that has nothing more to do: it ends, and is waited for at the end.
    void Release(Worker& worker) {
        if (worker.socket >= 0)
            close(worker.socket);
        worker.socket = -1;
    }

    // Ends every worker at once (a worker that cannot start makes the batch stop).
    void Stop() {
        for (Worker& worker : mWorkers)
            if (worker.pid > 0)
                kill(worker.pid, SIGTERM);
        for (Worker& worker : mWorkers)
            Retire(worker, false);
    }

private:
    const CommandLine& mLine;
    const std::vector<std::string>& mPdfPaths;
    std::vector<Worker> mWorkers;
};

} // namespace

int ProcessorCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return CPU_COUNT(&set);
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 1;
}

int RunParallelPlace(const CommandLine& line, int workers, std::ostream& out, std::ostream& err) {
    const std::vector<std::string> pdfPaths = OutputPaths(line);
    if (!line.outputDir.empty())
        std::filesystem::create_directories(line.outputDir);
    const std::size_t total = line.files.size();
    std::vector<std::optional<PlacedPicture>> results(total);
    std::size_t queued = 0;  // the next picture to hand out
    std::size_t printed = 0; // the next picture to print
    std::size_t finished = 0;
    std::size_t replaced = 0; // workers started in place of ones that ended
    int exitStatus = 0;
    Progress progress(total, err);
    WorkerPool pool(line, pdfPaths);

    // Hands the next picture to an idle worker, or lets it go when the queue is empty.
    const auto feed = [&](Worker& worker) {
        worker.job = kNoJob;
        if (queued < total && SendIndex(worker.socket, static_cast<std::uint32_t>(queued)))
            worker.job = static_cast<long>(queued++);
        else if (queued >= total)
            pool.Release(worker);
        // A worker that cannot take the picture has ended: the next poll sees it.
    };
    const auto record = [&](std::size_t index, PlacedPicture placed) {
        if (!placed.placed)
            exitStatus = 1;
        results[index] = std::move(placed);
        progress.Show(++finished, line.files[index]);
        for (; printed < total && results[printed]; ++printed)
            out << results[printed]->line << '\n' << std::flush;
    };

    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(workers), total);
    for (std::size_t i = 0; i < count; ++i) {
        if (!pool.Start()) {
            err << "epsimport: cannot start a worker process: " << std::strerror(errno) << '\n';
            return 1;
        }
    }
    for (Worker& worker : pool.Workers())
        feed(worker);

    while (printed < total) {
        std::vector<pollfd> waiting;
        std::vector<std::size_t> owners;
        for (std::size_t i = 0; i < pool.Workers().size(); ++i) {
            if (pool.Workers()[i].socket >= 0) {
                waiting.push_back({pool.Workers()[i].socket, POLLIN, 0});
                owners.push_back(i);
            }
        }
        if (waiting.empty()) {
            err << "epsimport: no worker process is left\n";
            return 1;
        }
        if (poll(waiting.data(), waiting.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            err << "epsimport: poll failed: " << std::strerror(errno) << '\n';
            return 1;
        }
        for (std::size_t w = 0; w < waiting.size(); ++w) {
            if (waiting[w].revents == 0)
                continue;
            // Taken afresh for each descriptor: starting a worker below may move the records.
            Worker& worker = pool.Workers()[owners[w]];
            Frame frame;
            const bool received = ReceiveFrame(worker.socket, frame);
            if (received && frame.kind == FrameKind::StartFailed) {
                pool.Stop();
                err << "epsimport: " << frame.text << '\n';
                return 1;
            }
            if (received && worker.job != kNoJob) {
                record(static_cast<std::size_t>(worker.job),
                       {std::move(frame.text), frame.kind == FrameKind::Placed});
                feed(worker);
                continue;
            }
            // The worker ended without answering: only its picture fails, a new worker takes the queue on.
            const long job = worker.job;
            const std::string end = pool.Retire(worker, true);
            if (job != kNoJob) {
                const std::string& file = line.files[static_cast<std::size_t>(job)];
                record(static_cast<std::size_t>(job),
                       {DumpLine(FailedPictureLine(file, "the worker process placing this picture ended (" +
                                                             end + ")")),
                        false});
            }
            if (queued < total) {
                // Each replacement normally places a picture before it can end; workers that end before
                // taking any would otherwise be replaced for ever.
                if (++replaced > total) {
                    err << "epsimport: the worker processes keep ending before they take a picture\n";
                    return 1;
                }
                if (!pool.Start()) {
                    err << "epsimport: cannot start a worker process: " << std::strerror(errno) << '\n';
                    return 1;
                }
                feed(pool.Workers().back());
            }
        }
    }
    return exitStatus;
}

} // namespace BRASK::EPSIMPORT
