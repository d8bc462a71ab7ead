#!/usr/bin/env bash
# The include check on a copy of the tree: it passes as the tree is, and each planted fault fails it with a
# message that names the file and the rule broken.
#   planted_includes_test.sh SOURCE_DIR PYTHON
set -euo pipefail
source_dir=$1
python=$2
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT

fresh() {
    rm -rf "${copy:?}"/*
    cp -r "$source_dir"/{DEPS,sdk,host,common,wrappers,plugin,tools} "$copy"/
}
# Runs the check and wants it to fail with a line containing every further argument.
expect_failure() {
    local what=$1
    shift
    if output=$("$python" "$source_dir/scripts/check_includes.py" --root "$copy" 2>&1); then
        echo "FAILED: $what was not caught"
        exit 1
    fi
    for text in "$@"; do
        if ! grep -qF -- "$text" <<<"$output"; then
            echo "FAILED: $what: no '$text' in:"
            echo "$output"
            exit 1
        fi
    done
    echo "caught: $what"
}

fresh
"$python" "$source_dir/scripts/check_includes.py" --root "$copy"

sed -i '0,/#include/s//#include "FontDevice.h"\n#include/' "$copy/plugin/fonts/XFont.h"
expect_failure "a plug-in layer including the one above it" \
    'plugin/fonts/XFont.h:' '"FontDevice.h" of plugin/fontstubs, which plugin/fonts may not include'

fresh
sed -i '0,/#include/s//#include "JawsEntryPoints.h"\n#include/' "$copy/plugin/fontstubs/FontDevice.cpp"
expect_failure "the font stubs including the RIP (the former cycle)" \
    '"JawsEntryPoints.h" of plugin/rip, which plugin/fontstubs may not include'

fresh
sed -i '0,/#include/s//#include "PDFBasedCG.h"\n#include/' "$copy/wrappers/converter/EpsSection.cpp"
expect_failure "a wrapper including a plug-in header" \
    '"PDFBasedCG.h" of plugin/graphic, which wrappers/converter may not include'

fresh
sed -i '0,/#include/s//#include "PdfPageBox.h"\n#include/' "$copy/plugin/shell/PluginEntry.cpp"
expect_failure "a private header of the host" '"PdfPageBox.h" of host, which plugin/shell may not include'

fresh
sed -i 's@^plugin/sdkutils: .*@plugin/sdkutils: sdk plugin/shell@' "$copy/DEPS"
expect_failure "rules that form a cycle" 'DEPS: the rules form a cycle: plugin/sdkutils -> plugin/shell'

fresh
mkdir "$copy/plugin/extra"
echo 'int f();' >"$copy/plugin/extra/Extra.h"
expect_failure "a folder without a rule" 'plugin/extra/Extra.h: its folder has no rule in DEPS'
