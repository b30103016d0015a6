#!/usr/bin/env bash
# Runs the guide's samples against a registered TESRA.OCX: the two C++ hosts
# (each must name the module it loaded) and the two scripts (exit code 0);
# checks that the guide's code blocks are taken from them.
# Usage: run_samples.sh BIN_DIR SYSTEM_FOLDER EXPECTED_MODULE_PATH
set -u
bin=$1 sys=$2 want=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
run=$here/../../tools/wine-run
rc=0
for sample in create_control atl_container; do
    out=$(timeout 60 "$run" "$bin/$sample.exe" 2>/dev/null | tr -d '\r')
    code=$?
    echo "$out" | sed "s/^/$sample: /"
    # Wine reports a path in the case it was registered with.
    if [ $code -ne 0 ] || ! grep -qiF "TESRA.OCX from $want" <<<"$out"; then
        echo "$sample: failed (exit $code, wanted the module at $want)"
        rc=1
    fi
done
for script in memo.vbs memo.js; do
    timeout 60 "$run" "$sys\\cscript.exe" //nologo "Z:${here//\//\\}\\$script" >/dev/null 2>&1
    code=$?
    echo "$script: exit $code"
    [ $code -eq 0 ] || rc=1
done
# Every line of the guide's C++, VBScript and JScript blocks stands in a sample.
while IFS=$'\t' read -r ext line; do
    [ -n "$line" ] || continue
    cat "$here"/*."$ext" | grep -qxF -- "$line" || { echo "embedding.md: not in a sample: $line"; rc=1; }
done < <(awk '/^```(cpp|vb|js)$/ {ext = substr($0, 4); sub(/^vb$/, "vbs", ext); next}
              /^```/ {ext = ""; next} ext != "" {print ext "\t" $0}' "$here/../embedding.md")
exit $rc
