#!/usr/bin/env bash
# Start-up time of Vextor Config to its first shown main window, and its resident memory while
# On-Line with the simulated sensor. Runs under its own Xvfb. Usage: bench/bench_app.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
app=$build/src/app/vextor-config
sim=$build/tools/sensor-sim/vextor-sensor-sim
[ -x "$app" ] && [ -x "$sim" ] || { echo "build $app and $sim first"; exit 1; }

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$app" "$work/vextor-config"
link=$work/sensor
"$sim" --link "$link" >/dev/null &
for _ in $(seq 100); do [ -e "$link" ] && break; sleep 0.05; done
printf '[Vextor]\r\nPortComm=%s\r\n' "$link" >"$work/vextor-config.INI"

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    app=$1; runs=5
    total=0
    for i in $(seq $runs); do
        start=$(date +%s%N)
        "$app" & pid=$!
        until xwininfo -root -tree 2>/dev/null | grep -q "Vextor Config V"; do sleep 0.005; done
        end=$(date +%s%N)
        ms=$(( (end - start) / 1000000 ))
        total=$((total + ms))
        echo "start-up to the first shown main window, run $i: $ms ms"
        if [ "$i" -lt "$runs" ]; then kill $pid; wait $pid 2>/dev/null || true; fi
    done
    echo "mean start-up time: $((total / runs)) ms"
    sleep 8 # search, link up, first reads and polls
    rss=$(awk "/VmRSS/ {print \$2}" /proc/$pid/status)
    echo "resident memory while On-Line: $((rss / 1024)) MiB ($rss kB)"
    kill $pid; wait $pid 2>/dev/null || true
' _ "$work/vextor-config"
