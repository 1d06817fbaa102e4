#!/usr/bin/env bash
# The README's first command as a newcomer types it: without a display ./run
# ends by itself and leaves a screenshot; -import takes a Linux path.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A prefix of its own: a running wineserver of the shared prefix would put the
# window on the other tests' display.
export WINEPREFIX=$top/build/run-test/wineprefix
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -f "$top/build/run.png"
start=$SECONDS
status=0
env -u DISPLAY timeout 60 "$top/run" > "$work/out" 2>&1 || status=$?
cat "$work/out"
[ "$status" -eq 0 ] || fail "./run without a display exited with $status after $((SECONDS - start)) s"
grep -q "build/run.png" "$work/out" || fail "./run did not say where the screenshot is"
read -r w h colours < <(/usr/bin/identify -format '%w %h %k\n' "$top/build/run.png")
[ "$w x $h" = "1024 x 768" ] || fail "screenshot is $w x $h, not 1024 x 768"
[ "$colours" -gt 16 ] || fail "screenshot has $colours colours: no window on it"

printf 'C:\\links\\web->C:\\data\r\nC:\\links\\docs->C:\\data\\docs\r\n' > "$work/done.trs"
# The program's line ends in CR LF.
out=$("$top/run" -import "$work/done.trs" | tr -d '\r')
[ "$out" = "Import successfully" ] || fail "absolute Linux path: '$out'"
out=$(cd "$work" && "$top/run" -import done.trs | tr -d '\r')
[ "$out" = "Import successfully" ] || fail "relative Linux path: '$out'"
