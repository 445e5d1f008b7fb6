#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 in build-fuzz and runs each for SECONDS (default 60),
# starting from tests/fuzz/seeds. A crash input is left in build-fuzz/crashes/<target>/; copy it to
# tests/fuzz/regressions/<target>/ so test_fuzz_regressions replays it, and fix the fault.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-60}
BUILD=${FUZZ_BUILD_DIR:-build-fuzz}
JOBS=${JOBS:-2}
TARGETS=(settings_document commands_document history_document provider_reply remote_line key_map)

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVALIN_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
fi
cmake --build "$BUILD" -j"$JOBS" --target "${TARGETS[@]/#/fuzz_}"

export ASAN_OPTIONS=detect_leaks=0
status=0
for t in "${TARGETS[@]}"; do
  mkdir -p "$BUILD/corpus/$t" "$BUILD/crashes/$t"
  corpora=("$BUILD/corpus/$t")
  [ -d "tests/fuzz/seeds/$t" ] && corpora+=("tests/fuzz/seeds/$t")
  log="$BUILD/fuzz-$t.log"
  if ! "$BUILD/tests/fuzz/fuzz_$t" -max_total_time="$SECONDS_EACH" -rss_limit_mb=1024 -timeout=10 \
       -artifact_prefix="$BUILD/crashes/$t/" "${corpora[@]}" >"$log" 2>&1; then
    status=1
    echo "fuzz_$t: FAILED, see $log and $BUILD/crashes/$t/"
  fi
  # libFuzzer's last line: "Done N runs in S second(s)".
  runs=$(grep -o 'Done [0-9]* runs in [0-9]* second' "$log" | tail -1 | awk '{print $2, $5}')
  if [ -n "$runs" ]; then
    set -- $runs
    echo "fuzz_$t: $1 executions in $2 s, $(( $1 / ($2 > 0 ? $2 : 1) )) per second"
  fi
done
exit $status
