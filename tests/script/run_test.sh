#!/usr/bin/env bash
# The README's first command as a newcomer types it: without a display ./run
# ends by itself and leaves two screenshots, the start-up question and the
# main window; -import takes a Linux path.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A prefix of its own: a running wineserver of the shared prefix would put the
# window on the other tests' display.
export WINEPREFIX=$top/build/run-test/wineprefix
fail() { echo "FAIL: $*" >&2; exit 1; }

shots=("$top/build/run-question.png" "$top/build/run.png")
rm -f "${shots[@]}"
start=$SECONDS
status=0
env -u DISPLAY timeout 60 "$top/run" > "$work/out" 2>&1 || status=$?
cat "$work/out"
[ "$status" -eq 0 ] || fail "./run without a display exited with $status after $((SECONDS - start)) s"
for png in "${shots[@]}"; do
    grep -qF "$png" "$work/out" || fail "./run did not say where $png is"
    read -r w h colours < <(/usr/bin/identify -format '%w %h %k\n' "$png")
    [ "$w x $h" = "1024 x 768" ] || fail "$png is $w x $h, not 1024 x 768"
    [ "$colours" -gt 16 ] || fail "$png has $colours colours: no window on it"
done
# The main window, not the question again: many pixels differ.
changed=$(/usr/bin/compare -metric AE "${shots[@]}" null: 2>&1 || true)
[ "${changed%% *}" -gt 50000 ] || fail "build/run.png differs from the question in only $changed pixels"

printf 'C:\\links\\web->C:\\data\r\nC:\\links\\docs->C:\\data\\docs\r\n' > "$work/done.trs"
# The program's line ends in CR LF.
out=$("$top/run" -import "$work/done.trs" | tr -d '\r')
[ "$out" = "Import successfully" ] || fail "absolute Linux path: '$out'"
out=$(cd "$work" && "$top/run" -import done.trs | tr -d '\r')
[ "$out" = "Import successfully" ] || fail "relative Linux path: '$out'"
