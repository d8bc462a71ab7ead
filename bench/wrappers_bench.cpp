// The wrappers against one engine process per file, on the corpus: every EPS converted in-process by the warm
// interpreter (through the converter wrapper, which finds each box itself) against one
// `gs -dSAFER -dEPSCrop -sDEVICE=pdfwrite` process per file, and every SVG through the converter against one
// `rsvg-convert -f pdf` process per file. One benchmark per file and way; a summary with the per-file and
// overall ratios is printed at the end.
#include <jaws/CallasApi.h>

#include <benchmark/benchmark.h>

#include "BenchProcess.h"

#include <algorithm>
#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Table {
#define BENCH_FIELD(ret, name, args) PFN_##name name = nullptr;
    CALLAS_ENTRY_POINTS(BENCH_FIELD)
#undef BENCH_FIELD
};

const Table* Callas() {
    static const Table* table = [] {
        void* module = dlopen(BRASK_APP_DIR "/PDFToolBox/libCallasWrapper.so", RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr)
            return static_cast<Table*>(nullptr);
        auto* t = new Table();
#define BENCH_BIND(ret, name, args) t->name = reinterpret_cast<PFN_##name>(dlsym(module, #name));
        CALLAS_ENTRY_POINTS(BENCH_BIND)
#undef BENCH_BIND
        if (t->InitCallas == nullptr || t->InitCallas(nullptr, nullptr) != kCallasOK)
            return static_cast<Table*>(nullptr);
        return t;
    }();
    return table;
}

std::string OutputPath() {
    static const std::string path =
        (fs::temp_directory_path() / ("wrappers-bench-" + std::to_string(getpid()) + ".pdf")).string();
    return path;
}

struct Timing {
    double inProcess = 0; // seconds per iteration
    double perProcess = 0;
};
std::map<std::string, Timing>& Timings() {
    static std::map<std::string, Timing> timings;
    return timings;
}

void Record(benchmark::State& state, const std::string& file, bool inProcess, double seconds) {
    const double perIteration =
        seconds / static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
    (inProcess ? Timings()[file].inProcess : Timings()[file].perProcess) = perIteration;
}

void ConvertInProcess(benchmark::State& state, const std::string& file, bool eps) {
    const Table* callas = Callas();
    if (callas == nullptr) {
        state.SkipWithError("libCallasWrapper.so not found");
        return;
    }
    // The first conversion starts the interpreter; it is not part of the steady state measured here.
    callas->SaveAsPDF(file.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, 0, eps,
                      OutputPath().c_str());
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int32_t status = callas->SaveAsPDF(file.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, 0,
                                                 eps, OutputPath().c_str());
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (status != kCallasOK) {
            state.SkipWithError("conversion failed");
            return;
        }
    }
    Record(state, file, true, seconds);
}

void ConvertPerProcess(benchmark::State& state, const std::string& file, bool eps) {
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        using BRASK::BENCH::RunProcess;
        const bool ok = eps ? RunProcess({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dEPSCrop",
                                          "-sDEVICE=pdfwrite", "-sOutputFile=" + OutputPath(), file})
                                  .ok
                            : RunProcess({"rsvg-convert", "-f", "pdf", "-o", OutputPath(), file}).ok;
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!ok) {
            state.SkipWithError("the engine process failed");
            return;
        }
    }
    Record(state, file, false, seconds);
}

std::vector<std::pair<std::string, bool>> CorpusFiles() {
    std::vector<std::pair<std::string, bool>> files;
    for (const auto& entry : fs::recursive_directory_iterator(BRASK_CORPUS_DIR)) {
        if (!entry.is_regular_file())
            continue;
        const std::string path = entry.path().string();
        const std::string folder = entry.path().parent_path().filename().string();
        if (folder == "svg")
            files.emplace_back(path, false);
        else if (folder.rfind("eps-", 0) == 0)
            files.emplace_back(path, true);
    }
    std::sort(files.begin(), files.end());
    return files;
}

void PrintSummary() {
    double epsIn = 0, epsOut = 0, svgIn = 0, svgOut = 0;
    std::printf("\n%-70s %10s %10s %7s\n", "file", "in-proc ms", "process ms", "ratio");
    for (const auto& [file, t] : Timings()) {
        if (t.inProcess <= 0 || t.perProcess <= 0)
            continue; // failed one way: not compared
        const bool svg = file.find("/svg/") != std::string::npos;
        (svg ? svgIn : epsIn) += t.inProcess;
        (svg ? svgOut : epsOut) += t.perProcess;
        std::printf("%-70s %10.2f %10.2f %7.1f\n", fs::path(file).filename().string().c_str(),
                    t.inProcess * 1000, t.perProcess * 1000, t.perProcess / t.inProcess);
    }
    if (epsIn > 0)
        std::printf("EPS overall: %.0f ms in-process, %.0f ms one gs process per file: %.1fx (target 5x)\n",
                    epsIn * 1000, epsOut * 1000, epsOut / epsIn);
    if (svgIn > 0)
        std::printf("SVG overall: %.0f ms in-process, %.0f ms one rsvg-convert per file: %.1fx (target 3x)\n",
                    svgIn * 1000, svgOut * 1000, svgOut / svgIn);
}

} // namespace

int main(int argc, char** argv) {
    for (const auto& [file, eps] : CorpusFiles()) {
        const std::string name = fs::path(file).filename().string();
        benchmark::RegisterBenchmark(
            ("InProcess/" + name).c_str(),
            [file = file, eps = eps](benchmark::State& s) { ConvertInProcess(s, file, eps); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
        benchmark::RegisterBenchmark(
            ("PerProcess/" + name).c_str(),
            [file = file, eps = eps](benchmark::State& s) { ConvertPerProcess(s, file, eps); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintSummary();
    std::remove(OutputPath().c_str());
    return 0;
}
