#!/usr/bin/env bash
# `make bench`: every figure, one line each, after the machine and the Qt version.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
cmake --build "$BUILD" -j"${JOBS:-2}" --target tovalin fake_ollama_server bench_figures bench_store relay_bench \
  bench_wayland_palette wayland_text_field >/dev/null
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Qt: $(pkg-config --modversion Qt6Core 2>/dev/null || qtpaths6 --qt-version)"
bash bench/run-figures.sh "$BUILD"
# Beside figure 1: the palette on Wayland (a headless sway of its own).
"$BUILD/bench/bench_wayland_palette" "$BUILD/src/app/tovalin" "$BUILD/tests/wayland/wayland_text_field"
"$BUILD/bench/bench_store"
"$BUILD/bench/relay_bench"
