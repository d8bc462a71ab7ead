// Conversions in process through the converter wrapper's warm interpreter (which finds each box itself):
// every corpus EPS and SVG (Corpus/FILE) against one gs / rsvg-convert process per file (Process/FILE), with
// the ratio per file and overall printed at the end (targets: 5x for EPS, 3x for SVG); and the
// per-job cost of job isolation on two clean jobs (Isolation/shapes: filled and stroked paths in three colour
// spaces; Isolation/text: the same with Helvetica and Times text, fonts a job loads vanish at its restore).
// BRASK_BENCH_APP_DIR names another application folder to time, e.g. an older build's.
#include <jaws/CallasApi.h>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <map>
#include <tuple>

namespace {

using namespace BRASK::BENCH;

constexpr const char* kShapes = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 100\n"
                                "0.2 0.4 0.6 0.1 setcmykcolor 10 10 80 40 rectfill\n"
                                "1 0 0 setrgbcolor newpath 120 20 moveto 180 20 lineto 150 80 lineto fill\n"
                                "0.5 setgray 3 setlinewidth newpath 10 90 moveto 190 90 lineto stroke\n";
constexpr const char* kText = "/Helvetica findfont 14 scalefont setfont 10 60 moveto (Isolation bench) show\n"
                              "/Times-Roman findfont 10 scalefont setfont 10 75 moveto (per job) show\n";

PFN_SaveAsPDF SaveAsPDF() {
    static const PFN_SaveAsPDF save = []() -> PFN_SaveAsPDF {
        const char* app = std::getenv("BRASK_BENCH_APP_DIR");
        const std::string library =
            std::string(app ? app : BRASK_APP_DIR) + "/PDFToolBox/libCallasWrapper.so";
        void* module = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
        auto init = reinterpret_cast<PFN_InitCallas>(module ? dlsym(module, "InitCallas") : nullptr);
        if (init == nullptr || init(nullptr, nullptr) != kCallasOK)
            return nullptr;
        return reinterpret_cast<PFN_SaveAsPDF>(dlsym(module, "SaveAsPDF"));
    }();
    return save;
}

const TempDir gScratch;
std::map<std::string, std::array<double, 2>> gSeconds; // per conversion of a file: in process, by a process

double PerIteration(const benchmark::State& state, Clock::time_point start) {
    return SecondsSince(start) /
           static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
}

using Run = void (*)(benchmark::State&, const std::string&, bool);

void Convert(benchmark::State& state, const std::string& file, bool eps) {
    const PFN_SaveAsPDF save = SaveAsPDF();
    const std::string output = (gScratch.Path() / "out.pdf").string();
    const auto once = [&] {
        return save(file.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, 0, eps, output.c_str()) ==
               kCallasOK;
    };
    if (save == nullptr)
        return state.SkipWithError("libCallasWrapper.so not found");
    once(); // the first conversion starts the interpreter: it is not part of the steady state
    const auto start = Clock::now();
    for (auto _ : state)
        if (!once())
            return state.SkipWithError("the conversion failed");
    gSeconds[file][0] = PerIteration(state, start);
}

void ConvertByProcess(benchmark::State& state, const std::string& file, bool eps) {
    const std::string output = (gScratch.Path() / "process.pdf").string();
    const auto start = Clock::now();
    for (auto _ : state)
        if (!RunProcess(eps ? GsToPdf(output, {file})
                            : std::vector<std::string>{"rsvg-convert", "-f", "pdf", "-o", output, file})
                 .ok)
            return state.SkipWithError("the engine process failed");
    gSeconds[file][1] = PerIteration(state, start);
}

void PrintRatios() {
    std::array<double, 2> eps{}, svg{};
    std::printf("\n%-60s %10s %10s %7s\n", "file", "in-proc ms", "process ms", "ratio");
    for (const auto& [file, seconds] : gSeconds) {
        if (seconds[0] <= 0 || seconds[1] <= 0)
            continue; // failed one way, or not a corpus file: not compared
        auto& sum = file.find("/svg/") != std::string::npos ? svg : eps;
        sum[0] += seconds[0];
        sum[1] += seconds[1];
        std::printf("%-60s %10.2f %10.2f %7.1f\n", fs::path(file).filename().string().c_str(),
                    seconds[0] * 1000, seconds[1] * 1000, seconds[1] / seconds[0]);
    }
    for (const auto& [name, sum, target] : {std::tuple{"EPS", eps, 5}, std::tuple{"SVG", svg, 3}})
        if (sum[0] > 0)
            std::printf("%s overall: %.0f ms in process, %.0f ms one process per file: %.1fx (target %dx)\n",
                        name, sum[0] * 1000, sum[1] * 1000, sum[1] / sum[0], target);
}

} // namespace

int main(int argc, char** argv) {
    for (const std::string kind : {"shapes", "text"}) {
        const fs::path job = gScratch.Path() / (kind + ".eps");
        std::ofstream(job, std::ios::binary) << kShapes << (kind == "text" ? kText : "");
        benchmark::RegisterBenchmark(("Isolation/" + kind).c_str(), Convert, job.string(), true)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime(); // the work is in the worker process
    }
    for (const char* prefix : {"eps-", "svg"})
        for (const std::string& file : CorpusFiles(prefix))
            for (const auto& [kind, run] :
                 {std::pair<const char*, Run>{"Corpus/", Convert}, {"Process/", ConvertByProcess}})
                benchmark::RegisterBenchmark((std::string(kind) + fs::path(file).filename().string()).c_str(),
                                             run, file, *prefix == 'e')
                    ->Unit(benchmark::kMillisecond)
                    ->Iterations(3)
                    ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    PrintRatios();
    benchmark::Shutdown();
    return 0;
}
