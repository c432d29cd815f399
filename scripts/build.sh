#!/usr/bin/env bash
# Sets up the machine, builds the eight plug-ins into build/plugins/ (with the tests and tools)
# and renders a preview picture of each effect into build/previews/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh "$@"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
if [ -x scripts/render-previews.sh ] && [ -x build/tools/fluxgrain-render ]; then
  scripts/render-previews.sh build build/previews
fi
echo "plug-ins: $(pwd)/build/plugins"
ls build/plugins
