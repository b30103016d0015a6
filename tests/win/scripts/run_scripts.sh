#!/usr/bin/env bash
# Registers TESRA.OCX in the Wine prefix, runs the VBScript and JScript
# clients through cscript, and unregisters it again. A script passes when it
# wrote "done" and no "FAIL" line to its results file. A 32-bit module goes
# through the 32-bit regsvr32 and cscript of the 64-bit prefix, as on Windows.
set -u
bin=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
run=$here/../../../tools/wine-run
sys='C:\windows\system32'
[ "${2:-64}" = 32 ] && sys='C:\windows\syswow64'
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$run" "$sys\\regsvr32.exe" /s "$bin/TESRA.OCX" || { echo "regsvr32 failed"; exit 1; }
rc=0
for script in automation.vbs automation.js; do
    echo "--- $script"
    results=$work/$script.txt
    # Showing memos without a memo server ends in a message box; nobody is
    # there to press OK.
    stop=$work/$script.stop
    "$run" "$bin/box_answerer.exe" 150 "Z:${stop//\//\\}" >"$work/$script.boxes" 2>/dev/null &
    answerer=$!
    timeout 120 "$run" "$sys\\cscript.exe" //nologo "Z:${here//\//\\}\\$script" "Z:${results//\//\\}" >/dev/null 2>&1
    touch "$stop"
    wait $answerer
    if [ -f "$results" ]; then tr -d '\r' <"$results"; fi
    if [ ! -f "$results" ] || grep -q '^FAIL' "$results" || ! grep -q '^done' "$results"; then
        echo "$script: failed"
        rc=1
    fi
done
# The integrator's guide's samples, as a reader would run them.
"$here/../../../docs/samples/run_samples.sh" "$bin" "$sys" "Z:${bin//\//\\}\\TESRA.OCX" || rc=1
"$run" "$sys\\regsvr32.exe" /s /u "$bin/TESRA.OCX" || { echo "regsvr32 /u failed"; rc=1; }
exit $rc
