#!/usr/bin/env bash
# Installs what is needed, builds Vextor Config and runs it against the simulated sensor, so it
# comes up On-Line within a few seconds. With no display it runs under Xvfb (1024 x 768, the
# screen the program is made for) and saves a screenshot after a few seconds.
#
#   bash scripts/run.sh                 the simulated sensor
#   bash scripts/run.sh --sensor        a real sensor: the program searches COM1..COM10 itself
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
vextor_install_packages

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXTOR_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build build/release -j "$(nproc)" --target vextor-config vextor-sensor-sim

app_dir=$PWD/build/release/src/app
app=$app_dir/vextor-config
settings=$app_dir/vextor-config.INI
sim_pid=""
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true; }
trap cleanup EXIT
trap "exit 130" INT TERM

if [ "${1:-}" != "--sensor" ]; then
    link=/tmp/vextor-sim-$$
    build/release/tools/sensor-sim/vextor-sensor-sim --link "$link" >/dev/null &
    sim_pid=$!
    for _ in $(seq 100); do [ -e "$link" ] && break; sleep 0.05; done
    # Point the saved port at the simulated sensor; other settings in the file are kept.
    python3 - "$settings" "$link" <<'PY'
import os, sys
path, device = sys.argv[1], sys.argv[2]
text = open(path, 'rb').read().decode('latin-1') if os.path.exists(path) else ''
lines = text.replace('\r\n', '\n').split('\n') if text else []
out, in_vextor, done, seen = [], False, False, False
for line in lines:
    s = line.strip()
    if s.startswith('['):
        if in_vextor and not done:
            out.append('PortComm=' + device); done = True
        in_vextor = s.lower() == '[vextor]'; seen = seen or in_vextor
    elif in_vextor and s.split('=', 1)[0].strip().lower() == 'portcomm':
        line = 'PortComm=' + device; done = True
    out.append(line)
while out and out[-1] == '':
    out.pop()
if not seen:
    out += ([''] if out else []) + ['[Vextor]']
if not done:
    out.append('PortComm=' + device)
open(path, 'wb').write(('\r\n'.join(out) + '\r\n').encode('latin-1'))
PY
    echo "Simulated sensor on $link"
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    "$app"
else
    shot=$PWD/vextor-config-screenshot.png
    echo "No display: running under Xvfb; a screenshot goes to $shot"
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
        "$1" & app=$!
        sleep 8
        import -window root "$2" && echo "Screenshot saved: $2"
        wait $app' _ "$app" "$shot"
fi
