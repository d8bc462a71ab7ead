#!/usr/bin/env bash
# installed_tree_test.sh BUILD_DIR SAMPLE_EPS
# Installs BUILD_DIR into a temporary prefix and, as a user who cannot write that prefix, places an EPS on
# the converter and the interpreter path and an SVG with the installed epsimport (no BRASK_APP_DIR: it finds
# its application folder from its own place). Checks the PDFs (page size, ink), that the font stub tree was
# built in the user's cache folder and announced once, and that every file of the prefix is unchanged.
# As root the tool runs as nobody:nogroup (setpriv); otherwise as the caller with the prefix made read-only.
# Exit 77 (skipped) when neither is possible.
set -euo pipefail
build=$1
sample=$2

work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
chmod 755 "$work"
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
app=$prefix/lib/brask-eps-import
for f in bin/epsimport lib/brask-eps-import/libEPSLoader.so lib/brask-eps-import/libBraskPDF.so \
    lib/brask-eps-import/brask-gsworker lib/brask-eps-import/PDFToolBox/libCallasWrapper.so \
    lib/brask-eps-import/Profiles/BraskGenericCMYK.icc; do
    [ -e "$prefix/$f" ] || fail "not installed: $f"
done
# The installed files must not reach back into the build folder for their libraries.
if readelf -d "$prefix/bin/epsimport" "$app"/*.so "$app"/PDFToolBox/*.so "$app"/brask-gsworker |
    grep -E 'R(UN)?PATH' | grep -F "$build"; then
    fail "an installed file's library path names the build folder"
fi

# The user's own folders, and inputs it can read.
home=$work/home
mkdir -p "$home" "$work/tmp" "$work/out" "$work/in"
cp "$sample" "$work/in/sample.eps"
printf '%s\n' '<svg xmlns="http://www.w3.org/2000/svg" width="160" height="120">' \
    '<rect x="10" y="10" width="140" height="100" fill="#e05a00"/></svg>' >"$work/in/drawing.svg"
chmod -R a+rX "$work/in"
if [ "$(id -u)" -eq 0 ]; then
    if ! command -v setpriv >/dev/null || ! id nobody >/dev/null 2>&1 || ! getent group nogroup >/dev/null; then
        echo "SKIP: running as root without setpriv or the user nobody/group nogroup: no unprivileged user"
        exit 77
    fi
    as_user=(setpriv --reuid nobody --regid nogroup --clear-groups --)
    chown -R nobody:nogroup "$home" "$work/tmp" "$work/out"
else
    as_user=()
    chmod -R a-w "$prefix"
fi
if ! "${as_user[@]}" true 2>/dev/null; then
    echo "SKIP: cannot switch to an unprivileged user here (${as_user[*]})"
    exit 77
fi
if "${as_user[@]}" test -w "$app"; then
    echo "SKIP: the test user can write the prefix; the run would prove nothing"
    exit 77
fi
# Leak-check suppressions of a sanitizer run, readable by the test user.
if [[ "${LSAN_OPTIONS:-}" =~ suppressions=([^:]*) ]] && [ -r "${BASH_REMATCH[1]}" ]; then
    cp "${BASH_REMATCH[1]}" "$work/lsan.supp"
    chmod 644 "$work/lsan.supp"
    LSAN_OPTIONS=${LSAN_OPTIONS/${BASH_REMATCH[1]}/$work/lsan.supp}
fi

snapshot() {
    (cd "$prefix" && find . -printf '%y %m %u %g %p\n' | LC_ALL=C sort && find . -type f -exec sha256sum {} + |
        LC_ALL=C sort -k2)
}
before=$(snapshot)

cache=$home/cache
run() {
    "${as_user[@]}" env -u BRASK_APP_DIR HOME="$home" XDG_CACHE_HOME="$cache" TMPDIR="$work/tmp" \
        "$prefix/bin/epsimport" -v "$@"
}
run --output-dir "$work/out" "$work/in/sample.eps" "$work/in/drawing.svg" >"$work/converter.json" \
    2>"$work/converter.log" || fail "converter run: $(cat "$work/converter.json" "$work/converter.log")"
run --interpreter -o "$work/out/interpreter.pdf" "$work/in/sample.eps" >"$work/interpreter.json" \
    2>"$work/interpreter.log" || fail "interpreter run: $(cat "$work/interpreter.json" "$work/interpreter.log")"

[ "$(grep -c '"status":0' "$work/converter.json")" -eq 2 ] || fail "converter: $(cat "$work/converter.json")"
grep -q '"status":0' "$work/interpreter.json" || fail "interpreter: $(cat "$work/interpreter.json")"

# Page size in points and some ink on the page: the picture itself reached the PDF.
check_pdf() {
    local pdf=$1 size=$2
    [ -s "$pdf" ] || fail "no PDF $pdf"
    pdfinfo "$pdf" | grep -q "^Page size: *$size pts" || fail "$pdf: $(pdfinfo "$pdf" | grep 'Page size')"
    gs -q -dSAFER -o - -sDEVICE=inkcov "$pdf" | awk '{ exit !($1 + $2 + $3 + $4 > 0.05) }' ||
        fail "$pdf: no ink on the page"
}
check_pdf "$work/out/sample.pdf" "300 x 200"
check_pdf "$work/out/drawing.pdf" "120 x 90"
check_pdf "$work/out/interpreter.pdf" "300 x 200"

# The interpreter run built the stub tree in the user's cache folder and said so once.
stubs=$cache/brask-eps-import/jaws/FontStubs
grep -qx '/Font  (WesternFonts)' "$stubs/_edir_" || fail "no font stub tree in $stubs"
ls "$stubs/WesternFonts/"*.ps >/dev/null 2>&1 || fail "no font stubs in $stubs/WesternFonts"
[ "$(grep -c "is not writable: the RIP work folder $cache/brask-eps-import/jaws/" "$work/interpreter.log")" -eq 1 ] ||
    fail "the cache folder was not announced exactly once: $(cat "$work/interpreter.log")"

after=$(snapshot)
if [ "$before" != "$after" ]; then
    diff <(echo "$before") <(echo "$after") >&2 || true
    fail "the installed tree changed"
fi
echo "placed EPS (converter, interpreter) and SVG from $prefix as $("${as_user[@]}" id -un); tree unchanged"
