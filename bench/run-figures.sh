#!/usr/bin/env bash
# Figures 1-4 on a private Xvfb with openbox: bench/run-figures.sh [build-dir] [bench_figures options]
set -euo pipefail
BUILD=${1:-build}
shift || true
for n in $(seq 150 160); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then export DISPLAY=":$n"; break; fi
done
Xvfb "$DISPLAY" -screen 0 1440x900x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
trap 'kill $wm $xvfb 2>/dev/null' EXIT
for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 & wm=$!
sleep 0.5
unset DBUS_SESSION_BUS_ADDRESS
"$BUILD/bench/bench_figures" "$BUILD/src/app/tovalin" "$@"
