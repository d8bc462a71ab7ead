#!/usr/bin/env bash
# Builds the benchmarks in Release and runs one of them: scripts/bench.sh [NAME] [ARGUMENTS...]
#   scan       the DSC scan of (atend) EPS files of 1 MiB and 1 GiB (the default; Google Benchmark arguments)
#   batch      the corpus batch: epsimport -j 1 / -j 2 against gs and rsvg-convert processes, with the ratios
#              (batch_bench --rounds N, --eps-count N; --preview DPI [EPS] for the preview's peak memory)
#   wrappers   each corpus file converted in process through the converter wrapper's warm interpreter,
#              against one gs / rsvg-convert process per file, with the ratios
#   raster     rendering through the RIP against one gs process per picture
#   fontstubs  building the font stub tree
#   isolation  the per-job cost of a clean job and of a text job through one interpreter process (the
#              wrappers benchmarks Isolation/*; BRASK_BENCH_APP_DIR=DIR times another build's folder)
#   BUILD_DIR  build folder (default: build-bench)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
name=scan
case "${1:-}" in
    scan | batch | wrappers | raster | fontstubs | isolation) name=$1; shift ;;
esac
case "$name" in
    scan) target=eps_scan_bench ;;
    isolation) target=wrappers_bench; set -- --benchmark_filter=Isolation "$@" ;;
    *) target=${name}_bench ;;
esac

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRASK_BUILD_BENCH=ON -DBRASK_BUILD_TESTS=OFF >/dev/null
ninja -C "$build" "$target"
"$build/bin/$target" "$@"
