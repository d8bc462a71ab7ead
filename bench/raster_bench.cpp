// Rendering an EPS into pixels: JawsRip::Rasterize through the interpreter wrapper's raster device (a warm
// interpreter process; RGB with alpha, so two renders per picture) against one `gs -dEPSCrop -sDEVICE=ppmraw`
// process per picture (one render, no alpha) on the same file and resolution. Reported as milliseconds per
// megapixel (the ms_per_Mpx counters of Rasterize/FILE and GsCommand/FILE).
#include "EPSVectorFileReader.h"
#include "Rip.h"

#include "ClassFactorySlot.h"
#include "LibUtils.h"
#include "brask/ClassIds.h"
#include "brask/FilterKeys.h"
#include "brask/Raster.h"
#include "brask_host/Host.h"

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <cmath>

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

HOST::Host& SharedHost() {
    static TInterfacePtr<HOST::Host> host = [] {
        auto created = HOST::Host::Create(HOST::HostOptions{BRASK_APP_DIR, ""});
        created->PublishAsCoreRegistry();
        COREREGISTRY::ClassFactorySlot::Set(created.Get());
        return created;
    }();
    return *host;
}

// An EPS read on the shared host, and its size in pixels at kDpi.
struct Picture {
    explicit Picture(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
        IO::CreateReadOnlyDataProvider(&SharedHost(), provider, bytes.data(),
                                       static_cast<std::int32_t>(bytes.size()));
        ok = reader.Init(provider.Get()) == kOK;
        width = PixelsFor(static_cast<float>(std::abs(FixedToPoints(reader.GetRight() - reader.GetLeft()))),
                          kDpi);
        height = PixelsFor(static_cast<float>(std::abs(FixedToPoints(reader.GetTop() - reader.GetBottom()))),
                           kDpi);
    }
    double Megapixels() const { return double(width) * height / 1e6; }
    std::string bytes;
    TInterfacePtr<IO::IDataProvider> provider;
    EPSVectorFileReader reader;
    bool ok = false;
    std::int32_t width = 0, height = 0;
};

// Times `render` once per iteration and reports milliseconds per megapixel.
template <class Render>
void TimePerMegapixel(benchmark::State& state, const Picture& picture, Render&& render) {
    const auto start = BENCH::Clock::now();
    for (auto _ : state)
        if (!render())
            state.SkipWithError("the render failed");
    const double megapixels = picture.Megapixels() * static_cast<double>(state.iterations());
    state.counters["Mpx"] = picture.Megapixels();
    state.counters["ms_per_Mpx"] = megapixels > 0 ? 1000 * BENCH::SecondsSince(start) / megapixels : 0;
}

void BM_Rasterize(benchmark::State& state, const std::string& file) {
    const Picture picture(file);
    EPSJawsRip rip(nullptr, picture.provider.Get(), &picture.reader);
    TInterfacePtr<GRAPHICS::IRasterComponent> raster;
    GRAPHICS::CreateRasterComponent(&SharedHost(), CLSID::RasterComponent, picture.width, picture.height, 3,
                                    true, raster);
    if (!picture.ok || rip.Rasterize(raster, kDpi, 0, 0) != kOK) { // warms the interpreter process
        state.SkipWithError("the EPS cannot be read or rasterized");
        return;
    }
    TimePerMegapixel(state, picture, [&] { return rip.Rasterize(raster, kDpi, 0, 0) == kOK; });
}

void BM_GsCommand(benchmark::State& state, const std::string& file) {
    const Picture picture(file);
    const BENCH::TempDir scratch;
    const std::string output = (scratch.Path() / "out.ppm").string();
    const std::string resolution = "-r" + std::to_string(static_cast<int>(kDpi));
    TimePerMegapixel(state, picture, [&] {
        return BENCH::RunProcess({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dEPSCrop", resolution,
                                  "-sDEVICE=ppmraw", "-o", output, file})
            .ok;
    });
}

} // namespace

int main(int argc, char** argv) {
    for (const std::string file : kFiles) {
        const std::string name = BENCH::fs::path(file).filename().string();
        benchmark::RegisterBenchmark(("Rasterize/" + name).c_str(), BM_Rasterize, file)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("GsCommand/" + name).c_str(), BM_GsCommand, file)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
