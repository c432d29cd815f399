#!/usr/bin/env bash
# The one-command demo: installs what is missing (apt-get, as root), builds the eight plug-ins and
# the fluxgrain tool into build/, and renders the gallery of all eight effects from the built-in
# test pattern into build/gallery/.
#
#   scripts/build.sh [--with-32bit] [--with-host]    (options go to scripts/install-deps.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh "$@"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"

gallery=$(pwd)/build/gallery
build/tools/fluxgrain gallery "$gallery"
echo
echo "plug-ins:  $(pwd)/build/plugins  (FreeFrame 1.0, one .so per effect)"
echo "tool:      $(pwd)/build/tools/fluxgrain  (try: build/tools/fluxgrain --help)"
echo "gallery:   $gallery  (contact-sheet.png, a still and a clip per effect)"
