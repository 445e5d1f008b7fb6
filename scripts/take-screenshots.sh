#!/usr/bin/env bash
# Retakes the command sheet's screenshots in docs/screenshots, light and dark, on a private
# Xvfb with a window manager (the sheets are frameless windows of their own over the main
# window, placed by it). Usage: scripts/take-screenshots.sh [BUILD_DIR]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${1:-$ROOT/build}
cmake --build "$BUILD_DIR" -j1 --target window_screenshots

for n in $(seq 141 190); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then DISPLAY_NUM=$n; break; fi
done
export DISPLAY=":${DISPLAY_NUM}"
Xvfb "$DISPLAY" -screen 0 1440x1000x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
trap 'kill "${WM_PID:-}" "$XVFB_PID" 2>/dev/null || true' EXIT
for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
WM_PID=$!
sleep 0.5

for theme in light dark; do
  "$BUILD_DIR/bench/window_screenshots" --theme "$theme" --out "$ROOT/docs/screenshots"
done
