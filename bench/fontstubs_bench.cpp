// How long building the font stub tree takes for the machine's fonts: a first start (no tree on disk) and a
// second start (the tree is there and the font set unchanged), each with a fresh font manager as at a real
// process start.
#include "ClassFactorySlot.h"
#include "FontDevice.h"
#include "brask_host/Host.h"
#include "fontmap/StubFontMap.h"

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

using namespace BRASK;

namespace {

// A host over a scratch application folder, published as the class-factory slot.
struct HostedFolder {
    HostedFolder() {
        mHost = HOST::Host::Create(HOST::HostOptions{mDir.Path().string(), mDir.Path().string()});
        COREREGISTRY::ClassFactorySlot::Set(mHost.Get());
    }
    ~HostedFolder() { COREREGISTRY::ClassFactorySlot::Set(nullptr); }
    std::size_t CountStubs() const {
        const BENCH::fs::recursive_directory_iterator files(mDir.Path() / "jaws"), end;
        return std::count_if(files, end, [](const auto& file) { return file.path().extension() == ".ps"; });
    }
    void RemoveTree() const { BENCH::fs::remove_all(mDir.Path() / "jaws"); }
    BENCH::TempDir mDir;
    TInterfacePtr<HOST::Host> mHost;
};

// A process start: a fresh font manager and the font device that builds or checks the tree.
void Start() {
    XF::XFontManager fonts{CoreString()};
    PLUGIN::FontDevice device(fonts);
    benchmark::DoNotOptimize(device.GetFontPathString());
}

void BM_FirstStart(benchmark::State& state) {
    HostedFolder folder;
    for (auto _ : state) {
        state.PauseTiming();
        folder.RemoveTree();
        state.ResumeTiming();
        Start();
    }
    state.counters["stubs"] = static_cast<double>(folder.CountStubs());
}
BENCHMARK(BM_FirstStart)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SecondStart(benchmark::State& state) {
    HostedFolder folder;
    Start(); // the tree is made once
    for (auto _ : state)
        Start();
}
BENCHMARK(BM_SecondStart)->Unit(benchmark::kMillisecond)->UseRealTime();

// The interpreter wrapper's side at its start: reading the tree back into Ghostscript font maps.
void BM_ReadStubFontMap(benchmark::State& state) {
    HostedFolder folder;
    XF::XFontManager fonts{CoreString()};
    PLUGIN::FontDevice device(fonts);
    const std::string devicePath = "%os%=;" + device.GetFontPathString().GetUTF8String() + "%ram%!";
    std::size_t entries = 0;
    for (auto _ : state) {
        const FONTMAP::StubFontMap map = FONTMAP::ReadStubFontMap(devicePath);
        entries = map.fonts.size() + map.cidFonts.size();
        benchmark::DoNotOptimize(entries);
    }
    state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_ReadStubFontMap)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
