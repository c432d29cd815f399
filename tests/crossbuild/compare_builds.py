#!/usr/bin/env python3
"""Compares the frames of two builds of the plug-ins (e.g. x86-64 and i386) byte for byte.

usage: compare_builds.py BUILD_A BUILD_B WORK_DIR

Each build's reference host (tests/host/fluxgrain-drive) runs each of its plug-ins on the same
inputs and parameter changes; the frames must be equal. The maths libraries of the two builds may
round a sine or an arc tangent differently in the last bit, and where a table cell's value lies
within an ulp of an integer, truncation then moves that cell by one. So a difference is accepted
only when it is shown to come from such cells: the tables of the two builds differ, each differing
cell only by one step of a truncated component, and build A's engine given build B's tables
(tests/crossbuild/fluxgrain-tables replay) produces build B's frames exactly. Anything else is a
difference in the engine and fails.
"""
import os
import struct
import subprocess
import sys

PLUGINS = ["OxaFGPellum1", "OxaFGCaldor1", "OxaFGFennix1", "OxaFGGralden1", "OxaFGOrvial1",
           "OxaFGZentrik1", "OxaFGLumbra1", "OxaFGSolvane1"]
ANGLE_CODE_PLUGINS = {"OxaFGGralden1", "OxaFGLumbra1", "OxaFGSolvane1"}
TABLE_FACTOR = {"OxaFGFennix1": 4, "OxaFGLumbra1": 4}  # the others: 2
# (frame format, frames, input, parameter changes): defaults first, then moved parameters; 32-bit
# pixels on an even frame size, 24-bit ones on an odd size.
RUNS = [("64x48", 12, "pattern:3", ["1:1=0.9", "1:5=0.3", "4:6=0.1", "6:7=0.8", "8:0=0.6"]),
        ("37x23:24", 6, "pattern:8", [])]


class Mismatch(Exception):
    pass


def run(cmd):
    res = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if res.returncode != 0:
        raise Mismatch(f"{' '.join(cmd)} failed:\n{res.stdout}")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def words(path):
    data = read(path)
    return struct.unpack("<%di" % (len(data) // 4), data)


def truncation_step(plugin, index, a, b, width, wave_cells):
    """True when two cells differ as one truncated component crossing an integer would make
    them: a displacement dx + W*dy by one in dx and/or dy, an angle code by one (mod 65536), a
    direction entry's component by one."""
    d = b - a
    if index >= wave_cells:  # DirTable: cos and sin components, each truncated on its own
        return abs(d) == 1
    if plugin in ANGLE_CODE_PLUGINS:
        return d % 65536 in (1, 65535)
    return d in {sx + sy * width for sx in (-1, 0, 1) for sy in (-1, 0, 1)} - {0}


def explain(builds, work, plugin, size, frames, image, changes, outs):
    """Shows that build B's frames are build A's engine with build B's tables, or raises."""
    w, h = (int(v) for v in size.split(":")[0].split("x"))
    tables = []
    for label, build in builds:
        path = os.path.join(work, f"{plugin}-{size}.{label}.tables")
        run([os.path.join(build, "tests/crossbuild/fluxgrain-tables"), "dump", plugin, size, path])
        tables.append(words(path))
    ta, tb = tables
    if len(ta) != len(tb):
        raise Mismatch(f"the builds' tables differ in size ({len(ta)} and {len(tb)} words)")
    cells = [i for i, (a, b) in enumerate(zip(ta, tb)) if a != b]
    if not cells:
        raise Mismatch("the frames differ while the tables are equal: the engine differs")
    k = TABLE_FACTOR.get(plugin, 2)
    wave_cells = k * k * w * h
    for i in cells:
        if not truncation_step(plugin, i, ta[i], tb[i], w, wave_cells):
            raise Mismatch(f"table word {i} is {ta[i]} in A and {tb[i]} in B: more than a "
                           "truncation step")
    replay = os.path.join(work, f"{plugin}-{size}.replay")
    table_b = os.path.join(work, f"{plugin}-{size}.B.tables")
    run([os.path.join(builds[0][1], "tests/crossbuild/fluxgrain-tables"), "replay", plugin,
         table_b, size, str(frames), image, replay, *changes])
    if read(replay) != read(outs[1]):
        raise Mismatch("build A's engine with build B's tables does not give build B's frames: "
                       "the engine differs")

    def where(i):
        if i >= wave_cells:
            e = (i - wave_cells) // 2
            return f"DirTable entry {e} {'sin' if (i - wave_cells) % 2 else 'cos'}"
        return f"WaveTable cell (column {i % (k * w)}, row {i // (k * w)})"
    shown = ", ".join(f"{where(i)}: {ta[i]} / {tb[i]}" for i in cells[:8])
    more = f" and {len(cells) - 8} more" if len(cells) > 8 else ""
    plural = "s" if len(cells) != 1 else ""
    return (f"differs only through {len(cells)} table cell{plural} at a truncation boundary: "
            f"{shown}{more}")


def main():
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    builds = [("A", os.path.abspath(sys.argv[1])), ("B", os.path.abspath(sys.argv[2]))]
    work = sys.argv[3]
    os.makedirs(work, exist_ok=True)
    failed = 0
    for plugin in PLUGINS:
        notes = []
        try:
            for size, frames, image, changes in RUNS:
                outs = []
                for label, build in builds:
                    out = os.path.join(work, f"{plugin}-{size}.{label}.frames")
                    run([os.path.join(build, "tests/host/fluxgrain-drive"),
                         os.path.join(build, "plugins", plugin + ".so"), size, str(frames), image,
                         out, *changes])
                    outs.append(out)
                if read(outs[0]) != read(outs[1]):
                    notes.append(f"{size}: " + explain(builds, work, plugin, size, frames, image,
                                                        changes, outs))
            print(f"ok   {plugin}: " + ("; ".join(notes) if notes else "frames byte-equal"))
        except Mismatch as e:
            print(f"FAIL {plugin}: {e}")
            failed += 1
    print(f"{len(PLUGINS) - failed} of {len(PLUGINS)} plug-ins agree between {sys.argv[1]} and "
          f"{sys.argv[2]}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
