#!/usr/bin/env bash
# Resident memory after a --background start (as from the login autostart) and CPU used
# while idle, for the real binary.
# Usage: bench/footprint.sh [build-dir] [idle-seconds]   (needs DISPLAY)
set -euo pipefail
BUILD=${1:-build}
IDLE=${2:-60}
tmp=$(mktemp -d)
chmod 700 "$tmp"
XDG_CONFIG_HOME=$tmp/config XDG_STATE_HOME=$tmp/state XDG_RUNTIME_DIR=$tmp \
  "$BUILD/src/app/tovalin" --background >/dev/null 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null; rm -rf "$tmp"' EXIT
sleep 3
rss=$(awk '/VmRSS/ {print $2}' /proc/$pid/status)
ticks() { awk '{print $14 + $15}' /proc/$pid/stat; }
t0=$(ticks)
sleep "$IDLE"
t1=$(ticks)
hz=$(getconf CLK_TCK)
echo "resident after a --background start: $((rss / 1024)) MB ($rss kB)"
echo "CPU while idle for ${IDLE}s: $(( (t1 - t0) * 1000 / hz )) ms"
