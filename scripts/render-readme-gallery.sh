#!/bin/sh
# Renders the gallery pictures that the README shows (docs/images/: the test pattern, a still of
# each effect and the contact sheet) with a built fluxgrain tool, small enough to commit.
#
#   scripts/render-readme-gallery.sh [BUILD_DIR]     (default: build)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
tool=$build/tools/fluxgrain
if [ ! -x "$tool" ]; then
  echo "render-readme-gallery: $tool not found; build first (scripts/build.sh)" >&2
  exit 1
fi
work=$build/readme-gallery
rm -rf "$work"
"$tool" gallery "$work" --size 128x96 --plugins "$build/plugins" --quiet
rm -f docs/images/*.png
cp "$work"/*.png docs/images/
du -ch docs/images/*.png | tail -1
