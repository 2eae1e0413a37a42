#!/usr/bin/env bash
# Screenshots of the main window On-Line with the simulated sensor, Italian and English, for the
# README: docs/main-it.png and docs/main-en.png. Usage: scripts/screenshots.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
app=$build/src/app/vextor-config
sim=$build/tools/sensor-sim/vextor-sensor-sim
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$app" "$work/vextor-config"
link=$work/sensor
"$sim" --link "$link" --seed 7 >/dev/null &
for _ in $(seq 100); do [ -e "$link" ] && break; sleep 0.05; done
for lang in it en; do
    printf '[Vextor]\r\nLang=%s\r\nPortComm=COM1\r\n[Ports]\r\nCOM1=%s\r\n' \
        "$([ $lang = en ] && echo 1 || echo 0)" "$link" >"$work/vextor-config.INI"
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
        "$1" & pid=$!
        sleep 9
        import -window root "$2"
        kill $pid; wait $pid 2>/dev/null || true' _ "$work/vextor-config" "$PWD/docs/main-$lang.png"
    echo "docs/main-$lang.png"
done
# The keypad and the keyboard over the main window, rendered offscreen: docs/keypad.png and
# docs/keyboard.png.
"$build/tools/keyboard-shots/vextor-keyboard-shots" docs
echo "docs/keypad.png docs/keyboard.png"
# The help window, one page in each language: docs/help-it.png and docs/help-en.png.
VEXTOR_HELP_SCREENSHOTS=$PWD/docs QT_QPA_PLATFORM=offscreen \
    "$build/tests/ui/test_ui_main" --gtest_filter='HelpScreenshots.*' >/dev/null
echo "docs/help-it.png docs/help-en.png"
# The acquisition window's right-click menu after half a minute of recording, Italian:
# docs/chart-menu.png (xdotool drives the pointer).
if command -v xdotool >/dev/null; then
    printf '[Vextor]\r\nLang=0\r\nPortComm=COM1\r\n[Ports]\r\nCOM1=%s\r\n' "$link" >"$work/vextor-config.INI"
    XDG_DATA_HOME=$work/data xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
        "$1" & pid=$!
        sleep 6
        xdotool mousemove 551 720 click 1 # Grafico
        sleep 2
        xdotool mousemove 60 731 click 1 # Start ADQ
        sleep 25
        xdotool mousemove 168 731 click 1 # Stop ADQ
        sleep 2
        xdotool mousemove 500 250 click 3 # right-click on the top chart
        sleep 1.5
        import -window root "$2"
        kill $pid; wait $pid 2>/dev/null || true' _ "$work/vextor-config" "$PWD/docs/chart-menu.png"
    echo "docs/chart-menu.png"
else
    echo "xdotool not installed: docs/chart-menu.png not taken"
fi
