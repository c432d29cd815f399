#!/bin/sh
# Renders a preview picture of every plug-in, plus the unprocessed test card, with fluxgrain-render.
#
#   scripts/render-previews.sh [BUILD_DIR [OUT_DIR [RENDER_OPTION ...]]]
#
# BUILD_DIR defaults to build, OUT_DIR to BUILD_DIR/previews. Further options (e.g. --frames 200
# or --size 640x480) go to every render. The pictures are OUT_DIR/testcard.png and
# OUT_DIR/NAME.png for each plug-in NAME.
set -eu

build=${1:-build}
out=${2:-$build/previews}
[ $# -gt 2 ] && shift 2 || set --

render=$build/tools/fluxgrain-render
if [ ! -x "$render" ]; then
  echo "render-previews: $render not found; build the fluxgrain-render target first" >&2
  exit 1
fi
mkdir -p "$out"

"$render" --testcard "$out/testcard.png" "$@"
for name in OxaFGPellum1 OxaFGCaldor1 OxaFGFennix1 OxaFGGralden1 \
            OxaFGOrvial1 OxaFGZentrik1 OxaFGLumbra1 OxaFGSolvane1; do
  "$render" "$build/plugins/$name.so" "$out/$name.png" "$@"
done
