// The DSC comment scan of an EPS whose bounding box is "(atend)" should cost the same whatever the file's
// size: it reads the header and one block from the end. Files of 1 MiB and 1 GiB are made (sparse) in a
// temporary folder at start and deleted at the end; each run reports the bytes and reads that reached the
// data provider and the time.
#include "EPSVectorFileReader.h"
#include "HostFiles.h"

#include "MemoryManager.h"
#include "brask/TObject.h"
#include "brask_host/Host.h"

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <map>

namespace {

using namespace BRASK;

// Forwards to the host's provider and counts what is read through it.
class CountingProvider : public TObject<IO::IDataProvider> {
public:
    explicit CountingProvider(IO::IDataProvider* inner) : mInner(inner) {}
    std::int32_t GetSize() override { return mInner->GetSize(); }
    std::int32_t GetPosition() override { return mInner->GetPosition(); }
    Status SetPosition(std::int32_t offset, std::int32_t origin) override {
        return mInner->SetPosition(offset, origin);
    }
    Status Read(void* buffer, std::uint32_t& count) override {
        const Status status = mInner->Read(buffer, count);
        ++reads;
        bytes += count;
        return status;
    }
    Status Write(const void* buffer, std::uint32_t count) override { return mInner->Write(buffer, count); }

    std::uint64_t reads = 0, bytes = 0;

private:
    TInterfacePtr<IO::IDataProvider> mInner;
};

// Header with a deferred box, one line of code, a hole, and the trailer in the last bytes.
void MakeAtendEps(const std::string& path, std::int64_t size) {
    const std::string head =
        "%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: bench\n%%BoundingBox: (atend)\n%%EndComments\n"
        "newpath 0 0 moveto 612 792 lineto stroke\n";
    const std::string tail = "\n%%Trailer\n%%BoundingBox: 0 0 612 792\n%%EOF\n";
    std::ofstream(path, std::ios::binary) << head;
    BENCH::fs::resize_file(path, static_cast<std::uintmax_t>(size)); // throws when it cannot
    std::fstream(path, std::ios::binary | std::ios::in | std::ios::out)
            .seekp(size - std::int64_t(tail.size()))
        << tail;
}

std::map<std::int64_t, std::string> gFiles;
TInterfacePtr<HOST::Host> gHost;

void BM_ScanAtendBoundingBox(benchmark::State& state) {
    const std::string& path = gFiles.at(state.range(0));
    TInterfacePtr<IO::IDataProvider> file;
    if (EPSIMPORT::OpenReadOnly(*gHost, path, file) != kOK) {
        state.SkipWithError("cannot open the benchmark file");
        return;
    }
    TInterfacePtr<CountingProvider> counting;
    counting.Adopt(new CountingProvider(file.Get()));
    std::int32_t right = 0;
    for (auto _ : state) {
        PLUGIN::EPSVectorFileReader reader;
        if (reader.Init(counting.Get()) != PLUGIN::DSCNoError) {
            state.SkipWithError("scan failed");
            return;
        }
        right = reader.GetRight();
        benchmark::DoNotOptimize(right);
    }
    if (right != 612 * 65536)
        state.SkipWithError("the trailer's box was not found");
    const double n = static_cast<double>(state.iterations());
    state.counters["file_MiB"] = static_cast<double>(state.range(0)) / (1 << 20);
    state.counters["bytes_read"] = static_cast<double>(counting->bytes) / n;
    state.counters["reads"] = static_cast<double>(counting->reads) / n;
}
BENCHMARK(BM_ScanAtendBoundingBox)
    ->Arg(std::int64_t{1} << 20)
    ->Arg(std::int64_t{1} << 30)
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    MEMFIX::InitMemoryManager();
    const BENCH::TempDir dir;
    int result = 0;
    try {
        for (std::int64_t size : {std::int64_t{1} << 20, std::int64_t{1} << 30}) {
            gFiles[size] = (dir.Path() / ("atend-" + std::to_string(size) + ".eps")).string();
            MakeAtendEps(gFiles[size], size);
        }
        gHost = HOST::Host::Create();
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "eps_scan_bench: %s\n", error.what());
        result = 1;
    }
    gHost.Reset();
    return result;
}
