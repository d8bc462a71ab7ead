#!/usr/bin/env bash
# Installs the dependencies, builds, and places pictures through the plug-in with epsimport: the bundled
# sample (written to build/sample.pdf) when no file is given, else the given files (PDFs in build/out/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"
if [ $# -eq 0 ]; then
    exec "$root/build/bin/epsimport" -o "$root/build/sample.pdf" "$root/samples/sample.eps"
fi
exec "$root/build/bin/epsimport" --output-dir "$root/build/out" "$@"
