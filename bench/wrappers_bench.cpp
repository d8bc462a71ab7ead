// The wrappers against one engine process per file, on the corpus: every EPS converted in-process by the warm
// interpreter (through the converter wrapper, which finds each box itself) against one
// `gs -dSAFER -dEPSCrop -sDEVICE=pdfwrite` process per file, and every SVG through the converter against one
// `rsvg-convert -f pdf` process per file. One benchmark per file and way; a summary with the per-file and
// overall ratios is printed at the end.
#include <jaws/CallasApi.h>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <cstdio>
#include <dlfcn.h>
#include <map>

namespace {

using namespace BRASK::BENCH;

PFN_SaveAsPDF SaveAsPDF() {
    static const PFN_SaveAsPDF save = []() -> PFN_SaveAsPDF {
        void* module = dlopen(BRASK_APP_DIR "/PDFToolBox/libCallasWrapper.so", RTLD_NOW | RTLD_LOCAL);
        auto init = reinterpret_cast<PFN_InitCallas>(module ? dlsym(module, "InitCallas") : nullptr);
        if (init == nullptr || init(nullptr, nullptr) != kCallasOK)
            return nullptr;
        return reinterpret_cast<PFN_SaveAsPDF>(dlsym(module, "SaveAsPDF"));
    }();
    return save;
}

const TempDir gScratch;
const std::string gOutput = (gScratch.Path() / "out.pdf").string();

struct PerFile {
    double inProcess = 0; // seconds per conversion
    double perProcess = 0;
};
std::map<std::string, PerFile> gTimings;

void Convert(benchmark::State& state, const std::string& file, bool eps, bool inProcess) {
    const PFN_SaveAsPDF save = SaveAsPDF();
    if (inProcess && save == nullptr) {
        state.SkipWithError("libCallasWrapper.so not found");
        return;
    }
    const auto once = [&] {
        if (inProcess)
            return save(file.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, 0, eps, gOutput.c_str()) ==
                   kCallasOK;
        return RunProcess(eps ? GsToPdf(gOutput, {file}) : RsvgToPdf(gOutput, file)).ok;
    };
    if (inProcess)
        once(); // the first conversion starts the interpreter: it is not part of the steady state
    const auto start = Clock::now();
    for (auto _ : state)
        if (!once()) {
            state.SkipWithError("the conversion failed");
            return;
        }
    (inProcess ? gTimings[file].inProcess : gTimings[file].perProcess) =
        SecondsSince(start) / static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
}

void PrintSummary() {
    double epsIn = 0, epsOut = 0, svgIn = 0, svgOut = 0;
    std::printf("\n%-70s %10s %10s %7s\n", "file", "in-proc ms", "process ms", "ratio");
    for (const auto& [file, t] : gTimings) {
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
    for (const char* prefix : {"eps-", "svg"})
        for (const std::string& file : CorpusFiles(prefix))
            for (const bool inProcess : {true, false})
                benchmark::RegisterBenchmark(
                    ((inProcess ? "InProcess/" : "PerProcess/") + fs::path(file).filename().string()).c_str(),
                    Convert, file, *prefix == 'e', inProcess)
                    ->Unit(benchmark::kMillisecond)
                    ->Iterations(3);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintSummary();
    return 0;
}
