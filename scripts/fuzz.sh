#!/usr/bin/env bash
# Builds the EPS comment-scan fuzzer with clang (libFuzzer + AddressSanitizer) and runs it for about a
# minute on a seed corpus made from the shared sample files. Exits non-zero when the fuzzer finds a crash;
# the crashing input is left in <build>/fuzz-artifacts/.
#   BUILD_DIR     build folder (default: build-fuzz)
#   FUZZ_SECONDS  run time (default: 60)
#   CORPUS_DIR    sample files (default: ../shared/corpus beside the checkout)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
samples=${CORPUS_DIR:-$root/../shared/corpus}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link,address" -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address" \
    -DBRASK_BUILD_FUZZ=ON -DBRASK_BUILD_TESTS=ON >/dev/null
ninja -C "$build" eps_info_fuzzer

seeds=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$seeds" "$work"' EXIT
if [ -d "$samples" ]; then
    # Every EPS-like sample, named by its folder so equal names do not collide.
    find "$samples" -type f ! -path '*/svg/*' ! -name 'MANIFEST.tsv' | while read -r f; do
        cp "$f" "$seeds/$(basename "$(dirname "$f")")__$(basename "$f")"
    done
fi
mkdir -p "$build/fuzz-artifacts"

ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} "$build/bin/eps_info_fuzzer" \
    -max_total_time="$seconds" -max_len=131072 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -dict="$root/tests/fuzz/dsc.dict" -artifact_prefix="$build/fuzz-artifacts/" \
    "$work" "$seeds"
