#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (libFuzzer + AddressSanitizer) and runs each for its share of about
# a minute: the EPS comment scan on a seed corpus made from the shared sample files, and the worker's reading
# of job requests. Exits non-zero when a fuzzer finds a crash; the crashing input is left in
# <build>/fuzz-artifacts/.
#   BUILD_DIR     build folder (default: build-fuzz)
#   FUZZ_SECONDS  run time of all targets together (default: 60)
#   CORPUS_DIR    sample files (default: ../shared/corpus beside the checkout)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
samples=${CORPUS_DIR:-$root/../shared/corpus}

targets=(eps_info_fuzzer worker_job_fuzzer)
share=$(( seconds / ${#targets[@]} ))
[ "$share" -ge 1 ] || share=1

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link,address" -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address" \
    -DBRASK_BUILD_FUZZ=ON -DBRASK_BUILD_TESTS=ON >/dev/null
ninja -C "$build" "${targets[@]}"

seeds=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$seeds" "$work"' EXIT
mkdir -p "$build/fuzz-artifacts"

# run_target NAME SEEDS [libFuzzer options...]: NAME for its share of the time, new inputs kept in a work
# folder of its own, starting from the seed folder SEEDS (may be empty).
run_target() {
    local name=$1 seed_folder=$2
    shift 2
    mkdir -p "$work/$name" "$seed_folder"
    ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} "$build/bin/$name" \
        -max_total_time="$share" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/fuzz-artifacts/$name-" "$@" "$work/$name" "$seed_folder"
}

mkdir -p "$seeds/eps"
if [ -d "$samples" ]; then
    # Every EPS-like sample, named by its folder so equal names do not collide.
    find "$samples" -type f ! -path '*/svg/*' ! -name 'MANIFEST.tsv' | while read -r f; do
        cp "$f" "$seeds/eps/$(basename "$(dirname "$f")")__$(basename "$f")"
    done
fi
run_target eps_info_fuzzer "$seeds/eps" -max_len=131072 -dict="$root/tests/fuzz/dsc.dict"
run_target worker_job_fuzzer "$seeds/worker" -max_len=4096 -dict="$root/tests/fuzz/worker_job.dict"
