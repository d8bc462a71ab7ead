// Rendering an EPS into pixels: JawsRip::Rasterize through the interpreter wrapper's raster device (a warm
// interpreter process; RGB with alpha, so two renders per picture) against one `gs -dEPSCrop -sDEVICE=ppmraw`
// process per picture (one render, no alpha) on the same file and resolution. Reported as milliseconds per
// megapixel; a summary with the ratios is printed at the end.
#include "EPSVectorFileReader.h"
#include "JawsEntryPoints.h"
#include "Rip.h"

#include "ClassFactorySlot.h"
#include "LibUtils.h"
#include "brask/ClassIds.h"
#include "brask/Raster.h"
#include "brask_host/Host.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace BRASK;
using namespace BRASK::PLUGIN;

namespace {

constexpr float kDpi = 150;

const char* const kFiles[] = {
    BRASK_SOURCE_DIR "/samples/sample.eps",
    BRASK_CORPUS_DIR "/eps-illustrator/ghostpdl__tiger.eps",
    BRASK_CORPUS_DIR "/eps-illustrator/ghostpdl__golfer.eps",
    BRASK_CORPUS_DIR "/eps-plain/matplotlib__scatter.eps",
};

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

HOST::Host& SharedHost() {
    static TInterfacePtr<HOST::Host> host = [] {
        HOST::HostOptions options;
        options.applicationDir = BRASK_APP_DIR;
        auto created = HOST::Host::Create(options);
        created->PublishAsCoreRegistry();
        COREREGISTRY::ClassFactorySlot::Set(created.Get());
        return created;
    }();
    return *host;
}

struct Timing {
    double seconds = 0;
    double megapixels = 0;
    int runs = 0;
};
std::map<std::string, Timing> gOurs, gGs;

double MegaPixels(const EPSVectorFileReader& reader) {
    const double w =
        std::floor(std::abs(static_cast<double>(reader.GetRight() - reader.GetLeft())) * kDpi / 4718592.0);
    const double h =
        std::floor(std::abs(static_cast<double>(reader.GetTop() - reader.GetBottom())) * kDpi / 4718592.0);
    return w * h / 1e6;
}

void BM_Rasterize(benchmark::State& state, const std::string& file) {
    HOST::Host& host = SharedHost();
    const std::string bytes = ReadBytes(file);
    TInterfacePtr<IO::IDataProvider> provider;
    IO::CreateReadOnlyDataProvider(&host, provider, bytes.data(), static_cast<std::int32_t>(bytes.size()));
    EPSVectorFileReader reader;
    if (reader.Init(provider.Get()) != kOK) {
        state.SkipWithError("the EPS cannot be read");
        return;
    }
    EPSJawsRip rip(nullptr, provider.Get(), &reader);
    const double megapixels = MegaPixels(reader);
    const auto w = static_cast<std::int32_t>(std::abs(rip.GetFixedWidth()) * kDpi / 4718592.0f);
    const auto h = static_cast<std::int32_t>(std::abs(rip.GetFixedHeight()) * kDpi / 4718592.0f);
    TInterfacePtr<GRAPHICS::IRasterComponent> raster;
    GRAPHICS::CreateRasterComponent(&host, CLSID::RasterComponent, w, h, 3, true, raster);
    if (rip.Rasterize(raster, kDpi, 0, 0) != kOK) { // warms the interpreter process
        state.SkipWithError("Rasterize failed");
        return;
    }
    Timing& timing = gOurs[file];
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (rip.Rasterize(raster, kDpi, 0, 0) != kOK)
            state.SkipWithError("Rasterize failed");
        timing.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        timing.megapixels += megapixels;
        ++timing.runs;
    }
    state.counters["Mpx"] = megapixels;
    state.counters["ms_per_Mpx"] = timing.megapixels > 0 ? 1000 * timing.seconds / timing.megapixels : 0;
}

bool RunGs(const std::string& file, const std::string& output) {
    char resolution[32];
    std::snprintf(resolution, sizeof resolution, "-r%g", static_cast<double>(kDpi));
    std::vector<std::string> args = {"gs",        "-q",        "-dSAFER",  "-dBATCH",
                                     "-dNOPAUSE", "-dEPSCrop", resolution, "-sDEVICE=ppmraw",
                                     "-o",        output,      file};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_GsCommand(benchmark::State& state, const std::string& file) {
    HOST::Host& host = SharedHost();
    const std::string bytes = ReadBytes(file);
    TInterfacePtr<IO::IDataProvider> provider;
    IO::CreateReadOnlyDataProvider(&host, provider, bytes.data(), static_cast<std::int32_t>(bytes.size()));
    EPSVectorFileReader reader;
    reader.Init(provider.Get());
    const double megapixels = MegaPixels(reader);
    const std::string output = "/tmp/raster_bench_" + std::to_string(getpid()) + ".ppm";
    Timing& timing = gGs[file];
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!RunGs(file, output))
            state.SkipWithError("gs failed");
        timing.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        timing.megapixels += megapixels;
        ++timing.runs;
    }
    unlink(output.c_str());
    state.counters["Mpx"] = megapixels;
    state.counters["ms_per_Mpx"] = timing.megapixels > 0 ? 1000 * timing.seconds / timing.megapixels : 0;
}

void PrintSummary() {
    std::printf("\n%-50s %12s %12s %8s\n", "file (150 dpi)", "Rasterize", "gs command", "ratio");
    for (const auto& [file, ours] : gOurs) {
        const Timing& gs = gGs[file];
        if (ours.megapixels <= 0 || gs.megapixels <= 0)
            continue;
        const double a = 1000 * ours.seconds / ours.megapixels;
        const double b = 1000 * gs.seconds / gs.megapixels;
        const std::string name = file.substr(file.rfind('/') + 1);
        std::printf("%-50s %9.1f ms %9.1f ms %8.2f   (per megapixel)\n", name.c_str(), a, b, a / b);
    }
}

} // namespace

int main(int argc, char** argv) {
    for (const char* file : kFiles) {
        const std::string name = std::string(file).substr(std::string(file).rfind('/') + 1);
        benchmark::RegisterBenchmark(("Rasterize/" + name).c_str(), BM_Rasterize, std::string(file))
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("GsCommand/" + name).c_str(), BM_GsCommand, std::string(file))
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintSummary();
    return 0;
}
