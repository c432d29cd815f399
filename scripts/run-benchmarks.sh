#!/usr/bin/env bash
# Builds the benchmarks (Release, in build-bench/) and runs them, printing the speed and memory
# figures: per-frame cost of every plug-in at 640x480 and 1920x1080 in 32-bit and 24-bit frames
# beside memcpy of one frame and frei0r's vertigo, the pass alone (without the frame copies),
# instantiate time with the thread count, and the memory each instance holds.
#
#   scripts/run-benchmarks.sh [BENCHMARK_OPTION ...]
#
# Options go to the benchmark program, e.g. --benchmark_filter=ProcessFrame or
# --benchmark_format=json. MIN_TIME sets the seconds spent on each benchmark (default 0.1);
# REPETITIONS (default 1) repeats each one and prints the median, mean and spread instead, for
# figures taken on a machine that others share; BUILD_DIR names the build directory. The figures
# are also written to BUILD_DIR/benchmarks.txt. They are for reading, not for passing or failing:
# nothing here checks a number.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DFLUXGRAIN_BENCHMARKS=ON \
  >/dev/null
cmake --build "$build" --target fluxgrain_benchmarks -j"$(nproc)"

bench=$build/bench/fluxgrain_benchmarks
if [ ! -x "$bench" ]; then
  echo "run-benchmarks: $bench was not built (is libbenchmark-dev installed?)" >&2
  exit 1
fi
echo "run-benchmarks: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
repeat=()
if [ "${REPETITIONS:-1}" -gt 1 ]; then
  repeat=(--benchmark_repetitions="$REPETITIONS" --benchmark_report_aggregates_only=true)
fi
"$bench" --benchmark_min_time="${MIN_TIME:-0.1}" --benchmark_counters_tabular=true "${repeat[@]}" \
  "$@" | tee "$build/benchmarks.txt"
