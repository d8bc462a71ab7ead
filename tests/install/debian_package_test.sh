#!/usr/bin/env bash
# debian_package_test.sh BUILD_DIR
# Makes the Debian package of BUILD_DIR with CPack into a temporary folder and checks that it holds the
# installed tree under /usr and depends on the engines' libraries.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1) ||
    fail "cpack: $(cat "$work/cpack.log")"
debs=("$work"/package/brask-eps-import_*.deb)
[ -f "${debs[0]}" ] || fail "no package: $(cat "$work/cpack.log")"
dpkg-deb --contents "${debs[0]}" | awk '{ print $NF }' >"$work/contents"
for f in usr/bin/epsimport usr/lib/brask-eps-import/libEPSLoader.so usr/lib/brask-eps-import/libBraskPDF.so \
    usr/lib/brask-eps-import/libbrask_sdk.so usr/lib/brask-eps-import/brask-gsworker \
    usr/lib/brask-eps-import/PDFToolBox/libCallasWrapper.so usr/lib/brask-eps-import/Profiles/BraskGenericCMYK.icc \
    usr/lib/brask-eps-import/Profiles/BraskGenericRGB.icc usr/lib/brask-eps-import/Profiles/BraskGenericGray.icc; do
    grep -qx "./$f" "$work/contents" || fail "the package lacks /$f: $(cat "$work/contents")"
done
depends=$(dpkg-deb --field "${debs[0]}" Depends)
for library in libgs10 librsvg2-2 libcairo2 libqpdf29 liblcms2-2; do
    [[ "$depends" == *"$library "* || "$depends" == *"$library," || "$depends" == *"$library" ]] ||
        fail "the package does not depend on $library: $depends"
done
echo "$(basename "${debs[0]}"): $(wc -l <"$work/contents") entries; Depends: $depends"
