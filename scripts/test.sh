#!/usr/bin/env bash
# Installs what is missing (apt-get, as root), builds everything into build/ and runs the whole
# test suite there.
#
#   scripts/test.sh [--with-32bit] [--with-host] [--with-robustness]  (options go to scripts/install-deps.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh "$@"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
