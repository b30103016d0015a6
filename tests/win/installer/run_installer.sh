#!/usr/bin/env bash
# The installer under Wine: msiexec /i puts TESRA.OCX and its sounds into the
# 32-bit program files folder and registers it (the guide's samples then make
# the control from there), msiexec /x leaves no file, no CLSID, no ProgID and
# no type library.
# Usage: run_installer.sh MSI BIN_DIR (the 32-bit build's)
set -u
msi=$1 bin=$2
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
run=$top/tools/wine-run
prefix=${TESRA_WINEPREFIX:-$top/.wine}
dir="$prefix/drive_c/Program Files (x86)/Tesra"
winmsi="Z:${msi//\//\\}"
rc=0
fail() { echo "FAIL: $*"; rc=1; }
keys=('HKCR\Wow6432Node\CLSID\{4c145142-29f4-4d3a-96f3-f2cb5daffa88}'
      'HKCR\Wow6432Node\CLSID\{c43f0ac5-f344-448e-8a37-ee610dc3e425}'
      'HKCR\TESRA.TesraCtrl.1' 'HKCR\TESRA.TesraPropPage.1'
      'HKCR\TypeLib\{63b5c844-f9f5-4e4c-8527-59ff64d6007a}')

"$run" msiexec /i "$winmsi" /qn >/dev/null 2>&1 || fail "msiexec /i"
for f in TESRA.OCX new.wav ring.wav recycle.wav; do
    cmp -s "$dir/$f" "$bin/$f" || fail "$f not installed as built"
done
for key in "${keys[@]}"; do
    "$run" reg query "$key" >/dev/null 2>&1 || fail "$key not registered"
done
"$top/docs/samples/run_samples.sh" "$bin" 'C:\windows\syswow64' 'C:\Program Files (x86)\Tesra\TESRA.OCX' ||
    fail "the samples against the installed control"

"$run" msiexec /x "$winmsi" /qn >/dev/null 2>&1 || fail "msiexec /x"
[ ! -e "$dir" ] || fail "left behind: $(find "$dir" | tr '\n' ' ')"
for key in "${keys[@]}"; do
    "$run" reg query "$key" >/dev/null 2>&1 && fail "$key left behind"
done
[ $rc -eq 0 ] && echo "installed, used and removed without a trace"
exit $rc
