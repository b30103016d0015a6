#!/usr/bin/env bash
# Memos printed through Wine to the PDF queue of a private CUPS server
# (tools/pdf-queue): the text each PDF shows (read back through the memo's
# font, whitespace normalised), its pages and document name, and the box
# shown when there is no printer at all.
# Usage: run_print.sh BIN_DIR (a Windows build's bin folder); as root.
set -uo pipefail

bin=$1
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: the private CUPS server starts its filters as lp, which needs root"
    exit 77
fi

work=$(mktemp -d)
chmod 755 "$work"
trap '"$top/tools/pdf-queue" stop "$work/cups"; rm -rf "$work"' EXIT
sock=$("$top/tools/pdf-queue" start "$work/cups") || { echo "FAIL: no CUPS server"; exit 1; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }
fail=0
check() {  # what, expected, actual
    if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAIL: $1: expected [$2], got [$3]"; fail=1; fi
}

# Prints the memo of text file $2 (none: empty) with CUPS at $1; the boxes'
# texts land in $work/report.
probe() {
    local server=$1
    shift
    rm -f "$work/report"
    CUPS_SERVER=$server "$top/tools/wine-run" "$bin/print_probe.exe" "$(winpath "$work/report")" "$@" >/dev/null 2>&1
}

# Memo texts (UTF-8, one line per \n; stored as CP949 with CR LF) and the
# pages each fills.
korean=$'Hello memo\n\xed\x95\x9c\xea\xb8\x80 \xeb\xa9\x94\xeb\xaa\xa8 \xec\x9d\xb8\xec\x87\x84'
long=$(for i in $(seq 220); do printf 'line %d \xed\x95\x9c\xea\xb8\x80\n' "$i"; done)
names=(ascii-korean three-pages empty)
texts=("$korean" "$long" "")
counts=(1 3 1)
for i in "${!names[@]}"; do
    name=${names[$i]} text=${texts[$i]} pages=${counts[$i]}
    args=()
    if [ -n "$text" ]; then
        printf '%s' "$text" | sed 's/$/\r/' | iconv -f UTF-8 -t CP949 >"$work/$name.txt"
        args=("$(winpath "$work/$name.txt")")
    fi
    rm -f "$work/cups/out/job.pdf"
    probe "$sock" "${args[@]}"
    "$top/tools/pdf-queue" wait "$work/cups" || fail=1
    pdf=$work/cups/out/job.pdf
    check "$name: no box" "" "$(cat "$work/report" 2>/dev/null)"
    check "$name: pages" "$pages" "$(pdfinfo "$pdf" 2>/dev/null | sed -n 's/^Pages: *//p')"
    check "$name: document" "Tesra" "$(pdfinfo "$pdf" 2>/dev/null | sed -n 's/^Title: *//p')"
    # The memo's face is 굴림체, which the prefix maps to this font.
    shown=$("$top/tools/pdf-glyph-text" "$pdf" /usr/share/fonts/truetype/nanum/NanumGothicCoding.ttf | tr "\f" "\n")
    check "$name: text" "$(echo $text)" "$(echo $shown)"
done

# No CUPS server: Wine finds no printer, and the memo says so.
expected=$(printf '\xb1\xe2\xba\xbb \xbc\xb3\xc1\xa4\xb5\xc8 \xc7\xc1\xb8\xb0\xc5\xcd\xb0\xa1 \xbe\xf8\xbd\xc0\xb4\xcf\xb4\xd9.\n\xb1\xe2\xba\xbb \xc7\xc1\xb8\xb0\xc5\xcd\xb8\xa6 \xbc\xb3\xc1\xa4\xc7\xd8 \xc1\xd6\xbd\xca\xbd\xc3\xbf\xc0.')
probe "$work/no-server.sock" "$(winpath "$work/ascii-korean.txt")"
check "no printer: box" "$(printf '%s' "$expected" | od -An -tx1)" "$(head -c -1 "$work/report" 2>/dev/null | od -An -tx1)"

exit $fail
