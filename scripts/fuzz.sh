#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (libFuzzer + AddressSanitizer) and runs each for its share of about
# a minute, on seeds made from the shared sample files: the EPS comment scan, the Photoshop resource parser and
# the worker's reading of job requests. Exits non-zero when a fuzzer finds a crash; the crashing input is left
# in <build>/fuzz-artifacts/<target>/.
#   BUILD_DIR     build folder (default: build-fuzz)
#   FUZZ_SECONDS  run time of all targets together (default: 60)
#   CORPUS_DIR    sample files (default: ../shared/corpus beside the checkout)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
samples=${CORPUS_DIR:-$root/../shared/corpus}

# Every target, the dictionary it runs with and the longest input it is given.
targets=(eps_info_fuzzer photoshop_resources_fuzzer worker_job_fuzzer)
declare -A dictionary=([eps_info_fuzzer]=dsc.dict [photoshop_resources_fuzzer]=photoshop.dict
                       [worker_job_fuzzer]=worker_job.dict)
declare -A max_len=([eps_info_fuzzer]=131072 [photoshop_resources_fuzzer]=65536 [worker_job_fuzzer]=4096)

# Seeds of the comment scan: every EPS-like sample, named by its folder so equal names do not collide.
seeds_eps_info_fuzzer() {
    find "$samples" -type f ! -path '*/svg/*' ! -name 'MANIFEST.tsv' | while read -r f; do
        cp "$f" "$1/$(basename "$(dirname "$f")")__$(basename "$f")"
    done
}
# Seeds of the Photoshop resource parser: the 8BIM blocks of the samples' Photoshop sections (the hex
# lines between %BeginPhotoshop and %EndPhotoshop).
seeds_photoshop_resources_fuzzer() {
    grep -rlaF '%BeginPhotoshop' "$samples" | while read -r f; do
        LC_ALL=C tr '\r' '\n' <"$f" |
            LC_ALL=C awk '/^%BeginPhotoshop/ { on = 1; next } /^%EndPhotoshop/ { on = 0 } on && /^% / { print substr($0, 3) }' |
            xxd -r -p >"$1/$(basename "$(dirname "$f")")__$(basename "$f").8bim"
    done
}
# The worker's job requests start from nothing but the dictionary.
seeds_worker_job_fuzzer() {
    :
}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link,address" -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address" \
    -DBRASK_BUILD_FUZZ=ON -DBRASK_BUILD_TESTS=ON >/dev/null
ninja -C "$build" "${targets[@]}"

share=$((seconds / ${#targets[@]}))
[ "$share" -ge 1 ] || share=1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for target in "${targets[@]}"; do
    seeds="$scratch/$target-seeds"
    work="$scratch/$target-work"
    artifacts="$build/fuzz-artifacts/$target"
    mkdir -p "$seeds" "$work" "$artifacts"
    [ -d "$samples" ] && "seeds_$target" "$seeds"
    echo "== $target: ${share} s on $(find "$seeds" -type f | wc -l) seeds"
    ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} "$build/bin/$target" \
        -max_total_time="$share" -max_len="${max_len[$target]}" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -dict="$root/tests/fuzz/${dictionary[$target]}" -artifact_prefix="$artifacts/" \
        "$work" "$seeds"
done
