// Conversions in process through the converter wrapper's warm interpreter (which finds each box itself):
// every corpus EPS and SVG (Corpus/FILE; batch_bench times one gs / rsvg-convert process per file), and the
// per-job cost of job isolation on two clean jobs (Isolation/shapes: filled and stroked paths in three colour
// spaces; Isolation/text: the same with Helvetica and Times text, fonts a job loads vanish at its restore).
// BRASK_BENCH_APP_DIR names another application folder to time, e.g. an older build's.
#include <jaws/CallasApi.h>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <cstdlib>
#include <dlfcn.h>

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
    for (auto _ : state)
        if (!once())
            return state.SkipWithError("the conversion failed");
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
            benchmark::RegisterBenchmark(("Corpus/" + fs::path(file).filename().string()).c_str(), Convert,
                                         file, *prefix == 'e')
                ->Unit(benchmark::kMillisecond)
                ->Iterations(3);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
