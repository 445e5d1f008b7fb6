#!/usr/bin/env bash
# Runs every test of a build folder: unit tests headless, X11 tests under a
# private Xvfb with a window manager (started here unless one is given), Wayland
# tests (label wayland) on a headless sway each starts for itself.
set -euo pipefail
BUILD_DIR=${1:-build}
shift || true

cleanup() {
  [ -n "${WM_PID:-}" ] && kill "$WM_PID" 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT

if [ -z "${TOVALIN_TEST_DISPLAY:-}" ]; then
  # Pick a free display number so parallel runs and desktops are left alone.
  for n in $(seq 91 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then DISPLAY_NUM=$n; break; fi
  done
  export DISPLAY=":${DISPLAY_NUM}"
  Xvfb "$DISPLAY" -screen 0 1440x900x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 1 50); do
    xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && break
    sleep 0.1
  done
  openbox >/dev/null 2>&1 &
  WM_PID=$!
  sleep 0.5
else
  export DISPLAY="$TOVALIN_TEST_DISPLAY"
fi

cd "$BUILD_DIR"
ctest --output-on-failure "$@"
