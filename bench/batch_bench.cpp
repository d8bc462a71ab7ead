// Whole commands over the corpus, timed from outside as a user would run them, in one run:
//   EPS: epsimport -j 1 and -j 2 against one `gs -dEPSCrop -sDEVICE=pdfwrite` process per file and one gs
//        process converting every file (all inputs on its command line, one output file per page);
//   SVG: epsimport -j 1 and -j 2 against one `rsvg-convert -f pdf` process per file.
// The EPS batch is the first EPS of each producer the corpus manifest names (19 by default) that gs converts
// on its own; the SVG batch is every SVG. The commands run in turns (every command once per round) and each
// figure is the median over the rounds: wall milliseconds and the CPU milliseconds of all the processes the
// command waited for. The ratios and the targets are printed at the end.
//   batch_bench [--rounds N] [--eps-count N]
//   batch_bench --preview DPI [EPS]   peak resident memory of `epsimport --preview` (the sum over its
//                                     processes, sampled), against the RGBA raster it writes
#include "BenchSupport.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <tuple>

namespace {

using namespace BRASK::BENCH;

std::vector<std::string> ManifestEps(std::size_t count, const fs::path& scratch) {
    std::ifstream manifest(fs::path(BRASK_CORPUS_DIR) / "MANIFEST.tsv");
    std::set<std::string> producers;
    std::vector<std::string> files;
    std::string line;
    std::getline(manifest, line); // the header
    while (files.size() < count && std::getline(manifest, line)) {
        std::vector<std::string> fields;
        std::istringstream columns(line);
        for (std::string field; std::getline(columns, field, '\t');)
            fields.push_back(field);
        if (fields.size() < 5 || fields[0].rfind("svg/", 0) == 0 || fields[4] == "(none)" ||
            producers.count(fields[4]) != 0)
            continue;
        const std::string path = (fs::path(BRASK_CORPUS_DIR) / fields[0]).string();
        // Only what gs converts by itself: both sides then do the same work.
        if (!RunProcess(GsToPdf((scratch / "probe.pdf").string(), {path})).ok)
            continue;
        producers.insert(fields[4]);
        files.push_back(path);
    }
    return files;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

struct Command {
    std::string name;
    std::function<Timing()> run;
    bool mayFail = false; // the SVG batch holds two files librsvg cannot read: those commands exit 1
    std::vector<double> wall{}, cpu{};
    bool ok = true;
};

int TimeBatches(int rounds, std::size_t epsCount) {
    const TempDir scratchDir;
    const fs::path& scratch = scratchDir.Path();
    const std::vector<std::string> eps = ManifestEps(epsCount, scratch);
    const std::vector<std::string> svg = CorpusFiles("svg");
    const auto epsimport = [&](int jobs, const std::vector<std::string>& files) {
        return [&scratch, jobs, &files] {
            fs::remove_all(scratch / "out");
            std::vector<std::string> args = {BRASK_EPSIMPORT, "-j", std::to_string(jobs), "--output-dir",
                                             (scratch / "out").string()};
            args.insert(args.end(), files.begin(), files.end());
            return RunProcess(args);
        };
    };
    // One process per file, run one after the other: `command` with the file appended.
    const auto each = [](const std::vector<std::string>& files, const std::vector<std::string>& command) {
        return [&files, command] {
            Timing total{0, 0, true};
            for (const std::string& file : files) {
                std::vector<std::string> args = command;
                args.push_back(file);
                const Timing timing = RunProcess(args);
                total = {total.wallMs + timing.wallMs, total.cpuMs + timing.cpuMs, total.ok && timing.ok};
            }
            return total;
        };
    };
    const std::string one = (scratch / "one.pdf").string();
    const std::vector<std::string> gsAll = GsToPdf((scratch / "all-%03d.pdf").string(), eps);

    std::vector<Command> commands = {
        {"EPS epsimport -j 1", epsimport(1, eps), false},
        {"EPS epsimport -j 2", epsimport(2, eps), false},
        {"EPS one gs per file", each(eps, GsToPdf(one, {})), false},
        {"EPS one gs for all files", [&] { return RunProcess(gsAll); }, false},
        {"SVG epsimport -j 1", epsimport(1, svg), true},
        {"SVG epsimport -j 2", epsimport(2, svg), true},
        {"SVG one rsvg-convert per file", each(svg, {"rsvg-convert", "-f", "pdf", "-o", one}), true},
    };
    for (int round = -1; round < rounds; ++round) // round -1 warms the caches and is not counted
        for (Command& command : commands) {
            const Timing timing = command.run();
            if (round < 0)
                continue;
            command.wall.push_back(timing.wallMs);
            command.cpu.push_back(timing.cpuMs);
            command.ok = command.ok && (timing.ok || command.mayFail);
        }

    std::printf("%zu EPS files (one per producer), %zu SVG files; median of %d rounds\n", eps.size(),
                svg.size(), rounds);
    std::printf("%-32s %10s %10s\n", "command", "wall ms", "cpu ms");
    std::map<std::string, double> wall;
    for (const Command& command : commands) {
        wall[command.name] = Median(command.wall);
        std::printf("%-32s %10.0f %10.0f%s\n", command.name.c_str(), Median(command.wall),
                    Median(command.cpu), command.ok ? "" : "  (failed)");
    }
    const std::tuple<std::string, std::string, double> ratios[] = {
        {"EPS one gs for all files", "EPS epsimport -j 2", 1.2},
        {"EPS one gs per file", "EPS epsimport -j 2", 8},
        {"EPS one gs for all files", "EPS epsimport -j 1", 0},
        {"SVG one rsvg-convert per file", "SVG epsimport -j 2", 6},
        {"SVG one rsvg-convert per file", "SVG epsimport -j 1", 0},
    };
    for (const auto& [base, ours, target] : ratios) { // "EPS: one gs per file / epsimport -j 2  8.30x ..."
        const double value = wall[base] / wall[ours];
        std::printf("%-54s %5.2fx", (std::string(base).insert(3, ":") + " /" + ours.substr(3)).c_str(),
                    value);
        if (target > 0)
            std::printf(" (target %.1fx: %s)", target, value >= target ? "met" : "not met");
        std::printf("\n");
    }
    return 0;
}

std::string CommandName(pid_t pid) {
    std::string name;
    std::getline(std::ifstream("/proc/" + std::to_string(pid) + "/comm"), name);
    return name;
}

// Resident kilobytes of `pid` and its descendants, and of the largest of them. A child still between its
// spawn and its exec shares its parent's memory and carries its parent's name: it is not counted.
void TreeResident(pid_t pid, long& sum, long& largest) {
    long pages = 0, own = 0; // the second figure of statm is the resident size in pages (VmRSS)
    std::ifstream("/proc/" + std::to_string(pid) + "/statm") >> pages >> own;
    own *= sysconf(_SC_PAGESIZE) / 1024;
    sum += own;
    largest = std::max(largest, own);
    const std::string name = CommandName(pid);
    std::error_code error;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream children(task.path() / "children");
        for (pid_t child; children >> child;)
            if (CommandName(child) != name)
                TreeResident(child, sum, largest);
    }
}

int MeasurePreview(int dpi, const std::string& eps) {
    const TempDir scratch;
    const fs::path png = scratch.Path() / "preview.png";
    long peakSum = 0, peakLargest = 0;
    const Timing timing = RunProcess(
        {BRASK_EPSIMPORT, "--preview", png.string(), "--dpi", std::to_string(dpi), eps}, [&](pid_t pid) {
            long sum = 0, largest = 0;
            TreeResident(pid, sum, largest);
            peakSum = std::max(peakSum, sum);
            peakLargest = std::max(peakLargest, largest);
        });
    std::uint32_t size[2] = {}; // the PNG's width and height, big-endian at byte 16
    std::ifstream(png, std::ios::binary).seekg(16).read(reinterpret_cast<char*>(size), sizeof size);
    const double width = ntohl(size[0]), height = ntohl(size[1]), raster = width * height * 4 / 1024.0; // KB
    if (!timing.ok || raster <= 0) {
        std::fprintf(stderr, "the preview failed\n");
        return 1;
    }
    std::printf("--preview at %d dpi: %.0f x %.0f pixels, RGBA raster %.0f MiB, %.1f s\n", dpi, width, height,
                raster / 1024, timing.wallMs / 1000);
    std::printf(
        "peak resident memory: %.0f MiB for all its processes (%.2fx the raster), %.0f MiB the largest "
        "(%.2fx; target 2x)\n",
        peakSum / 1024.0, peakSum / raster, peakLargest / 1024.0, peakLargest / raster);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 7;
    std::size_t epsCount = 19;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (option == "--eps-count" && i + 1 < argc)
            epsCount = static_cast<std::size_t>(std::max(1, std::atoi(argv[++i])));
        else if (option == "--preview" && i + 1 < argc) {
            const int dpi = std::atoi(argv[++i]);
            const std::string eps =
                i + 1 < argc ? argv[i + 1]
                             : std::string(BRASK_CORPUS_DIR) + "/eps-illustrator/ghostpdl__tiger.eps";
            return MeasurePreview(dpi, eps);
        } else {
            std::fprintf(stderr, "usage: batch_bench [--rounds N] [--eps-count N] | --preview DPI [EPS]\n");
            return 2;
        }
    }
    return TimeBatches(rounds, epsCount);
}
