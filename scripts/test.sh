#!/usr/bin/env bash
# Installs the dependencies, builds and runs the whole test suite twice: a plain build, then a build with
# AddressSanitizer and UndefinedBehaviorSanitizer. `--plain` or `--sanitize` runs only one of them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

run_plain=1
run_sanitize=1
case "${1:-}" in
    --plain) run_sanitize=0 ;;
    --sanitize) run_plain=0 ;;
    "") ;;
    *) echo "usage: scripts/test.sh [--plain|--sanitize]" >&2; exit 2 ;;
esac

jobs=$(nproc)
if [ "$run_plain" -eq 1 ]; then
    "$root/scripts/build.sh" "$root/build"
    ctest --test-dir "$root/build" --output-on-failure -j "$jobs"
fi
if [ "$run_sanitize" -eq 1 ]; then
    # Unoptimised: the sanitizers find the same faults and the build is quicker.
    BUILD_TYPE=Debug "$root/scripts/build.sh" "$root/build-asan" -DBRASK_SANITIZE=ON
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp" \
        ctest --test-dir "$root/build-asan" --output-on-failure -j "$jobs"
fi
