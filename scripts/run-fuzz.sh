#!/usr/bin/env bash
# Builds the libFuzzer target (clang-14, ASan + UBSan) in build-fuzz/ and fuzzes for a time budget:
#   scripts/run-fuzz.sh [seconds] [more libFuzzer options]   (default 60 seconds)
# It starts from the committed seeds (tests/fuzz/corpus) in a working corpus (build-fuzz/corpus)
# that grows from run to run; a crash, leak or sanitizer report ends the run with a non-zero exit
# and leaves the input that caused it in build-fuzz/ (replay: build-fuzz/tests/fuzz/fluxgrain_fuzz FILE).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DFLUXGRAIN_FUZZ=ON -DFLUXGRAIN_BENCHMARKS=OFF > /dev/null
cmake --build build-fuzz -j"$(nproc)" --target fluxgrain_fuzz
mkdir -p build-fuzz/corpus
cp -n tests/fuzz/corpus/* build-fuzz/corpus/
# KMP_BLOCKTIME=0: the OpenMP workers sleep between table builds instead of spinning on the cores.
KMP_BLOCKTIME=0 build-fuzz/tests/fuzz/fluxgrain_fuzz build-fuzz/corpus -max_total_time="$seconds" \
  -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=build-fuzz/ "$@"
echo "fuzz corpus: $(ls build-fuzz/corpus | wc -l) inputs"
