#!/bin/bash
# Runs one FreeFrame plug-in inside Pd + Gem for N frames and writes OUT_DIR/frame00000.tif ...
# usage: gem-run.sh PLUGIN_DIR PLUGIN_NAME INPUT_IMAGE N OUT_DIR [MESSAGE ...]
#   MESSAGE goes to [pix_freeframe] after the first frame and before the other N-1, e.g. "#3 0.5".
# Needs DISPLAY (an X server, e.g. from xvfb-run). If GEM_PRELOAD is set, pd runs with it as
# LD_PRELOAD (the sanitizer runtimes of a sanitized plug-in build must come first).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ $# -ge 5 ] || { echo "usage: $0 PLUGIN_DIR PLUGIN_NAME INPUT_IMAGE N OUT_DIR [MESSAGE ...]" >&2; exit 2; }
[ -n "${DISPLAY:-}" ] || { echo "gem-run: DISPLAY is not set" >&2; exit 2; }
plugdir=$(cd "$1" && pwd); name=$2; img=$(realpath "$3"); n=$4; out=$5; shift 5
[ "$n" -ge 1 ] || { echo "gem-run: N must be at least 1" >&2; exit 2; }
# pix_writer does not create folders, and stale frames would hide missing ones.
mkdir -p "$out"; out=$(cd "$out" && pwd); rm -f "$out"/frame*.tif

# Parameters sent before the first frame are lost (the instance exists only from then on),
# so every message follows "gh-frames 1". [pix_buf] re-sends the unchanged source each frame,
# otherwise Gem skips processing frames whose image did not change.
args=(-open "$here/gemhost.pd"
      -send "gh-wr file $out/frame 0" -send "gh-wr auto 1"
      -send "gh-img thread 0" -send "gh-img open $img" -send "gh-buf auto 1"
      -send "gh-ff load $name" -send "gh-win dimen 64 64" -send "gh-win create"
      -send "gh-frames 1")
for m in "$@"; do args+=(-send "gh-ff $m"); done
# Closing the patch before quitting makes Gem deinstantiate and deinitialise the plug-in.
args+=(-send "gh-frames $((n - 1))" -send "pd-gemhost.pd menuclose 1" -send "pd quit")

log="$out/pd.log"
preload=()
[ -n "${GEM_PRELOAD:-}" ] && preload=(env "LD_PRELOAD=$GEM_PRELOAD")
rc=0
timeout 120 "${preload[@]}" pd -noprefs -nogui -noaudio -nomidi -nrt -stderr -batch \
  -path "$plugdir" "${args[@]}" >"$log" 2>&1 || rc=$?
if [ "$rc" -ne 0 ]; then
  grep -v '^verbose(' "$log" | tail -n 20 >&2
  echo "gem-run: pd exited with $rc ($name, log $log)" >&2; exit 1
fi
# Pd exits 0 when the plug-in cannot be loaded, no display opens or a frame cannot be written:
# those show up only as lines in the log. Sanitizer reports are caught here too in case the
# runtime was told not to change the exit code.
if grep -E "^error: |couldn't create|ERROR: AddressSanitizer|runtime error: " "$log" >&2; then
  echo "gem-run: errors in pd log ($name, $log)" >&2; exit 1
fi
got=$(find "$out" -maxdepth 1 -name 'frame*.tif' | wc -l)
[ "$got" -eq "$n" ] || { echo "gem-run: expected $n frames, got $got ($name, $out)" >&2; exit 1; }
