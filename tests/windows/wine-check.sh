#!/bin/bash
# Checks the Windows DLLs of a mingw build: each exports exactly plugMain and imports only system
# DLLs; then, under Wine without a display, the Windows reference host loads each DLL with
# LoadLibraryA, runs frames through plugMain and must write the same bytes as the Linux build's
# plug-in with the same input and parameters, and a frame-path error must reach MessageBoxA (caught
# through the DLL's import table) with its caption and text. The Wine part is skipped, with exit
# code 77, only when Wine is not installed.
# usage: wine-check.sh WINDOWS_BUILD LINUX_BUILD WORK_DIR
set -uo pipefail
[ $# -eq 3 ] || { echo "usage: $0 WINDOWS_BUILD LINUX_BUILD WORK_DIR" >&2; exit 2; }
win=$(cd "$1" && pwd) || exit 2
linux=$(cd "$2" && pwd) || exit 2
mkdir -p "$3" && work=$(cd "$3" && pwd) || exit 2
objdump=i686-w64-mingw32-objdump
host_exe=$win/tests/host/fluxgrain-drive.exe
linux_drive=$linux/tests/host/fluxgrain-drive
dlls=("$win"/plugins/OxaFG*1.dll)
[ -e "${dlls[0]}" ] || { echo "wine-check: no DLLs in $win/plugins" >&2; exit 1; }
[ ${#dlls[@]} -eq 8 ] || { echo "wine-check: ${#dlls[@]} DLLs in $win/plugins, expected 8" >&2; exit 1; }
fail=0

echo "-- export and import tables, calling convention"
for dll in "${dlls[@]}"; do
  name=$(basename "$dll")
  table=$("$objdump" -p "$dll") || { echo "FAIL $name: objdump failed"; fail=1; continue; }
  exports=$(awk '/^\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && NF == 0 {on = 0}
                 on {print $NF}' <<<"$table")
  imports=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$table" | sort | tr '\n' ' ')
  # __stdcall: plugMain itself pops its three 4-byte arguments on return.
  base=$(awk '/^ImageBase/ {print $2}' <<<"$table")
  rva=$(sed -n 's/.*+base\[ *1\] *\([0-9a-fA-F]*\) Export RVA.*/\1/p' <<<"$table")
  ret=
  if [ -n "$base" ] && [ -n "$rva" ]; then
    start=$((0x$base + 0x$rva))
    ret=$("$objdump" -d --start-address=$start --stop-address=$((start + 256)) "$dll" |
          grep -m1 -E '\sret' | sed 's/.*\(ret.*\)/\1/; s/ \+/ /g')
  fi
  if [ "$exports" != "plugMain" ]; then
    echo "FAIL $name exports: $(tr '\n' ' ' <<<"$exports")"; fail=1
  elif [ "$imports" != "kernel32.dll msvcrt.dll user32.dll " ]; then
    echo "FAIL $name imports: $imports(only KERNEL32, msvcrt and USER32 are system DLLs)"; fail=1
  elif [ "$ret" != 'ret $0xc' ]; then
    echo "FAIL $name: plugMain returns with '${ret:-?}', not the __stdcall 'ret \$0xc'"; fail=1
  else
    echo "ok   $name: exports plugMain only (returning with $ret), imports $imports"
  fi
done

if ! command -v wine >/dev/null || ! command -v wineserver >/dev/null; then
  echo "SKIP: Wine is not installed (scripts/install-deps.sh --with-windows installs it);" \
       "the DLLs were not run"
  [ $fail -eq 0 ] && exit 77 || exit 1
fi

echo "-- the DLLs under Wine"
# No display: a message box that is not caught returns at once instead of waiting for a click.
unset DISPLAY WAYLAND_DISPLAY
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPREFIX=$work/wine-prefix
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
trap 'wineserver -k >/dev/null 2>&1; rm -rf "$WINEPREFIX"' EXIT
# A persistent server and a prefix made up front: the helper processes Wine starts then hold
# /dev/null rather than the pipes of the runs below, which would otherwise wait for them.
wineserver -p
timeout -k 5 300 wineboot -i >/dev/null 2>&1 || { echo "wine-check: wineboot failed" >&2; exit 1; }

# The runs both builds make: a fixed picture, parameters changed after the first frame and again
# later (index 7 does not exist in the seven-parameter plug-ins and must be refused on both), in
# 32-bit pixels and, on an odd frame size, in 24-bit ones.
frames=8
changes=(1:0=0.5 1:1=0.9 1:5=0.25 4:6=0.2 4:7=0.8)
# Runs a Windows program under Wine; its output must end with the host's "done rc=0" line, since
# a crash under Wine can still end with exit code 0.
run_wine() {
  local out rc=0
  out=$(timeout -k 5 60 wine "$@" 2>&1) || rc=$?
  if [ $rc -ne 0 ] || ! grep -q '^done rc=0' <<<"$out"; then
    echo "$out"; echo "(exit code $rc)"; return 1
  fi
  grep -v '^done rc=' <<<"$out" || true
}
for dll in "${dlls[@]}"; do
  name=$(basename "$dll" .dll)
  so=$linux/plugins/$name.so
  for format in 64x48 37x23:24; do
    out=$work/$name-${format/:/-}
    "$linux_drive" "$so" $format $frames pattern:7 "$out.linux" "${changes[@]}" >/dev/null 2>&1 \
      || { echo "FAIL $name: the Linux build's $format run failed"; fail=1; continue 2; }
    if ! log=$(run_wine "$host_exe" "$(winepath -w "$dll")" $format $frames pattern:7 \
                       "$(winepath -w "$out.win")" "${changes[@]}"); then
      echo "FAIL $name: the $format run under Wine failed:"; echo "$log"; fail=1; continue 2
    fi
    if ! cmp -s "$out.linux" "$out.win"; then
      echo "FAIL $name: the DLL's $format frames differ from the Linux build's:" \
           "$(cmp "$out.linux" "$out.win" 2>&1)"
      fail=1; continue 2
    fi
  done
  if ! msg=$(run_wine "$host_exe" --message "$(winepath -w "$dll")"); then
    echo "FAIL $name: the message box check failed:"; echo "$msg"; fail=1; continue
  fi
  echo "ok   $name: $frames frames of 64x48 (32-bit) and 37x23 (24-bit) byte-equal to the Linux" \
       "build's; $msg"
done
exit $fail
