#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them. Extra arguments go to the benchmark program
# (for example --benchmark_format=json).
#   BUILD_DIR  build folder (default: build-bench)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRASK_BUILD_BENCH=ON -DBRASK_BUILD_TESTS=OFF >/dev/null
ninja -C "$build" eps_scan_bench
"$build/bin/eps_scan_bench" "$@"
