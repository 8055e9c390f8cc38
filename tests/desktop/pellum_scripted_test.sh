#!/usr/bin/env bash
# pellum-standin run by a script: a button pressed replays its answers and
# logs every prompt; an answers file that runs out ends the run with status 3
# at once, the waiting prompt in the log.
#   pellum_scripted_test.sh PELLUM_STANDIN ZNTOOLS8_REGISTER
set -euo pipefail
host=$1 register=$2
dir=$(mktemp -d); trap 'rm -rf "$dir"' EXIT
export PELLUM_ADDINS=$dir/addins.ini QT_QPA_PLATFORM=offscreen
"$register" >/dev/null
cat > "$dir/groups.dmap" <<'DMAP'
<desktopmap version="1"><map name="m"><layer kind="group" name="G">
  <layer kind="raster" name="Inside" file="inside.jpg"/></layer></map></desktopmap>
DMAP
printf 'message "Zarnip Map Wizard" OK\n' > "$dir/answers"
"$host" "$dir/groups.dmap" --answers "$dir/answers" --log "$dir/log" --press "Zarnip Map Wizard"
grep -q '^text: Please add layers into Pellum$' "$dir/log" || { echo "prompt not logged:"; cat "$dir/log"; exit 1; }
grep -q '^answer: OK$' "$dir/log" || { echo "answer not logged"; cat "$dir/log"; exit 1; }

: > "$dir/empty"
start=$(date +%s%N)
set +e
timeout 10 "$host" "$dir/groups.dmap" --answers "$dir/empty" --log "$dir/log2" --press "Zarnip Map Wizard"
status=$?
set -e
elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$status" -eq 3 ] || { echo "status $status, not 3"; exit 1; }
grep -q '^\[message\] Zarnip Map Wizard$' "$dir/log2" || { echo "waiting prompt not logged"; cat "$dir/log2"; exit 1; }
grep -q '^\[unanswered\]' "$dir/log2" || { echo "no unanswered line"; exit 1; }
echo "scripted runs as expected (ran out after ${elapsed} ms)"
