#!/bin/bash
# Loads the given plug-ins in a real FreeFrame host, Pd + Gem, on a virtual X display and checks
# the frames they produce, byte for byte against the reference host REFERENCE_HOST (our own
# loader, fluxgrain-drive) run with the same input and parameters. Exits 77 (skipped) when pd, Gem with TIFF saving, or xvfb-run is
# missing; scripts/install-gem-host.sh installs them.
# usage: gem-smoke.sh PLUGIN_DIR WORK_DIR REFERENCE_HOST PLUGIN_NAME...
#   GEM_PRELOAD (optional): libraries to preload into pd, e.g. the sanitizer runtimes.
#   GEM_SKIP (optional): skip with this reason.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ $# -ge 4 ] || { echo "usage: $0 PLUGIN_DIR WORK_DIR REFERENCE_HOST PLUGIN_NAME..." >&2; exit 2; }
skip() { echo "SKIP: $*"; exit 77; }
missing() { skip "$* is not installed (scripts/install-gem-host.sh installs the host)"; }

[ -z "${GEM_SKIP:-}" ] || skip "$GEM_SKIP"
command -v pd >/dev/null || missing "pd (puredata-core)"
command -v xvfb-run >/dev/null || missing "xvfb-run (xvfb)"
command -v xauth >/dev/null || missing "xauth"
command -v python3 >/dev/null || missing "python3"
probe=$(timeout 30 pd -noprefs -nogui -noaudio -nomidi -nrt -stderr -batch -lib Gem \
        -send "pd quit" 2>&1)
grep -q "image saving plugins:.*tiff" <<<"$probe" \
  || missing "Gem or its TIFF writer (gem, gem-plugin-tiff)"

plugdir=$1; work=$2; shift 2
mkdir -p "$work" || exit 1
rm -rf "${work:?}"/OxaFG*-*
# One X server for all sessions; Mesa renders in software, no GPU is needed. The checker's own
# status is passed through a file: after a crashed session xvfb-run sometimes fails its clean-up
# and exits 5 instead.
rm -f "$work/status"
xvfb-run -a -s "-screen 0 640x480x24 -nolisten tcp" \
  sh -c 'script=$1; shift; python3 "$script" "$@"; echo $? >"$2/status"' \
  gem-check "$here/gem_check.py" "$plugdir" "$work" "$@"
xvfb_rc=$?
[ -s "$work/status" ] || { echo "gem-smoke: xvfb-run failed ($xvfb_rc)" >&2; exit 1; }
exit "$(cat "$work/status")"
