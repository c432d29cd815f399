#!/usr/bin/env python3
"""Runs each plug-in in Pd + Gem through gem-run.sh and checks the frames Gem wrote.

usage: gem_check.py PLUGIN_DIR WORK_DIR REFERENCE_HOST PLUGIN_NAME...   (DISPLAY must be set)

Every frame Gem writes must be byte-equal to the frame our reference host (fluxgrain-drive) gets
from the same plug-in, input and parameter sequence. Per plug-in, five host sessions on 96 x 64
images, each also checked for what it shows:
  flat     uniform input, parameters changed (out of range and index N included): every byte of
           every frame must follow the blend with the previous output, starting from black.
  card     test card, defaults: frame 0 is exactly the blend with black, alpha follows the
           uniform recurrence in every frame, and after 30 frames the picture is neither the
           input nor black.
  param    "#3 1" (Gem's key 3 is plug-in parameter 2, "Scale XY2"): must change the picture.
  byname   "Scale XY1 1" (Gem sends the name of parameter j as index j + 1): same frames as param.
  lastname the last parameter's name, which Gem sends as index N: must be refused, frames as card.
"""
import os
import struct
import subprocess
import sys

W, H = 96, 64
FRAMES = 30
FLAT_FRAMES = 8
FLAT_RGB = (201, 77, 3)

NAMES = ["Blend", "Scale XY1", "Scale XY2", "Scale XY3", "Scale XY4", "Dist Mul", "Step Val",
         "Ang Mul"]
# Parameter count per plug-in; the seven-parameter ones blend with weight 239 ("Blend" 0.12
# on a 255 scale), the eight-parameter ones with 220 ("Blend" 0.28 on a 256 scale).
PARAM_COUNT = {"OxaFGPellum1": 7, "OxaFGCaldor1": 7, "OxaFGFennix1": 7, "OxaFGOrvial1": 7,
               "OxaFGZentrik1": 7, "OxaFGGralden1": 8, "OxaFGLumbra1": 8, "OxaFGSolvane1": 8}
WEIGHT = {7: 239, 8: 220}

HERE = os.path.dirname(os.path.abspath(__file__))


class CheckError(Exception):
    pass


class Picture:
    """An input picture as the PPM file Gem opens and as the memory image Gem hands the plug-in
    (RGBA with alpha 255, the file's top row first), which the reference host reads."""

    def __init__(self, work, name, pixels):
        self.ppm = os.path.join(work, name + ".ppm")
        self.rgba = os.path.join(work, name + ".rgba")
        self.memory = bytes(b for px in pixels for b in (*px, 255))
        with open(self.ppm, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (W, H))
            f.write(bytes(b for px in pixels for b in px))
        with open(self.rgba, "wb") as f:
            f.write(self.memory)


def make_fixtures(work):
    flat = Picture(work, "flat", [FLAT_RGB] * (W * H))
    # R ramps across, G ramps down (so an upside-down frame is caught), B is an 8-pixel checker.
    card = Picture(work, "card", [(x * 255 // (W - 1), y * 255 // (H - 1),
                                   250 if (x // 8 + y // 8) % 2 else 20)
                                  for y in range(H) for x in range(W)])
    return flat, card


def read_tiff(path):
    """Uncompressed 8-bit RGBA TIFF as (width, height, bytes in file row order)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] not in (b"II", b"MM"):
        raise CheckError(f"{path}: not a TIFF")
    e = "<" if data[:2] == b"II" else ">"
    if struct.unpack_from(e + "H", data, 2)[0] != 42:
        raise CheckError(f"{path}: not a TIFF")
    ifd = struct.unpack_from(e + "I", data, 4)[0]
    tags = {}
    for i in range(struct.unpack_from(e + "H", data, ifd)[0]):
        tag, typ, count, raw = struct.unpack_from(e + "HHI4s", data, ifd + 2 + 12 * i)
        size = {1: 1, 3: 2, 4: 4}.get(typ)
        if size is None:
            continue
        fmt = e + {1: "B", 3: "H", 4: "I"}[typ] * count
        src = raw if size * count <= 4 else data[struct.unpack(e + "I", raw)[0]:]
        tags[tag] = struct.unpack_from(fmt, src)
    width, height = tags[256][0], tags[257][0]
    if tags.get(259, (1,))[0] != 1 or tags.get(277, (1,))[0] != 4 or \
            set(tags.get(258, (8,))) != {8} or tags.get(284, (1,))[0] != 1:
        raise CheckError(f"{path}: not an uncompressed, contiguous 8-bit RGBA TIFF")
    pixels = b"".join(data[o:o + n] for o, n in zip(tags[273], tags[279]))
    if len(pixels) != width * height * 4:
        raise CheckError(f"{path}: {len(pixels)} pixel bytes for {width} x {height}")
    return width, height, pixels


def read_frames(out, count):
    """The frames as memory images: pix_writer saves memory row H-1 as the file's first row."""
    frames = []
    for k in range(count):
        path = os.path.join(out, "frame%05d.tif" % k)
        width, height, pixels = read_tiff(path)
        if (width, height) != (W, H):
            raise CheckError(f"{path}: {width} x {height}, expected {W} x {H}")
        row = W * 4
        frames.append(b"".join(pixels[(H - 1 - r) * row:(H - r) * row] for r in range(H)))
    return frames


def blend(a, b, c):
    """One output byte: input a, feedback b, feedback weight c (a + floor((b - a) * c / 256))."""
    return a + (((b - a) * c) >> 8)


def uniform_series(value, c, count):
    """The byte a uniform input value gives in frames 0..count-1, starting from black."""
    out, prev = [], 0
    for _ in range(count):
        prev = blend(value, prev, c)
        out.append(prev)
    return out


def first_mismatch(got, want):
    for i, (g, w) in enumerate(zip(got, want)):
        if g != w:
            p = i // 4
            return f"pixel (row {p // W}, column {p % W}) byte {i % 4}: got {g}, expected {w}"
    return None


def params_from_log(out):
    names = []
    with open(os.path.join(out, "pd.log"), errors="replace") as f:
        for line in f:
            if line.startswith("param#"):
                names.append(line.split(":", 1)[1].strip())
    return names


def gem_escape(name):
    # A space inside a Pd symbol is written as "\ ".
    return name.replace(" ", "\\ ")


def plugin_index(message):
    """The SETPARAMETER index Gem 0.94 sends for a message: "#k v" sets index k - 1, and the name
    of parameter j sets index j + 1."""
    key, value = message.rsplit(" ", 1)
    if key.startswith("#"):
        return int(key[1:]) - 1, value
    return NAMES.index(key.replace("\\ ", " ")) + 1, value


def run_checked(cmd, what):
    res = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if res.returncode != 0:
        raise CheckError(f"{what} failed:\n{res.stdout}")


class Session:
    def __init__(self, plugdir, plugin, reference):
        self.plugdir, self.plugin, self.reference = plugdir, plugin, reference

    def run(self, image, count, out, messages):
        """Gem's frames of one session, after checking them against the reference host's."""
        name = os.path.basename(out)
        run_checked([os.path.join(HERE, "gem-run.sh"), self.plugdir, self.plugin, image.ppm,
                     str(count), out, *messages], f"host session {name}")
        frames = read_frames(out, count)
        # Gem sends the messages after the first frame, in order.
        changes = ["1:%d=%s" % plugin_index(m) for m in messages]
        ref_out = os.path.join(out, "reference.rgba")
        run_checked([self.reference, os.path.join(self.plugdir, self.plugin + ".so"), f"{W}x{H}",
                     str(count), image.rgba, ref_out, *changes], f"reference run for {name}")
        with open(ref_out, "rb") as f:
            ref = f.read()
        size = W * H * 4
        for k, frame in enumerate(frames):
            bad = first_mismatch(frame, ref[k * size:(k + 1) * size])
            if bad:
                raise CheckError(f"{name} frame {k} differs from the reference host's: {bad}")
        return frames


def check_plugin(session, work, plugin, flat, card):
    card_rgba = card.memory
    n = PARAM_COUNT[plugin]
    c = WEIGHT[n]
    base = os.path.join(work, plugin)
    last = gem_escape(NAMES[n - 1])

    # Uniform input: the displacement picks a pixel of the same value wherever it points, and
    # only "Blend" (unreachable from Gem) sets the weight, so no parameter may change a byte.
    flat_msgs = ["#2 0.9", "#4 -5", "#5 7", f"#{n} 0.3", f"{last} 0.5"]
    frames = session.run(flat, FLAT_FRAMES, base + "-flat", flat_msgs)
    got_names = params_from_log(base + "-flat")
    if got_names != NAMES[:n]:
        raise CheckError(f"Gem listed parameters {got_names}, expected {NAMES[:n]}")
    series = [uniform_series(v, c, FLAT_FRAMES) for v in (*FLAT_RGB, 255)]
    for k, frame in enumerate(frames):
        want = bytes(series[b][k] for b in range(4)) * (W * H)
        bad = first_mismatch(frame, want)
        if bad:
            raise CheckError(f"flat frame {k}: {bad}")

    card_frames = session.run(card, FRAMES, base + "-card", [])
    want0 = bytes(blend(a, 0, c) for a in card_rgba)
    bad = first_mismatch(card_frames[0], want0)
    if bad:
        raise CheckError(f"card frame 0 (blend with black): {bad}")
    # Alpha is 255 everywhere in the input, so it stays uniform and follows the series.
    alpha = uniform_series(255, c, FRAMES)
    for k, frame in enumerate(card_frames):
        if frame[3::4] != bytes([alpha[k]]) * (W * H):
            raise CheckError(f"card frame {k}: alpha is not {alpha[k]} everywhere")
    final = card_frames[-1]
    rgb_changed = sum(1 for p in range(W * H) if final[4 * p:4 * p + 3] != card_rgba[4 * p:4 * p + 3])
    rgb_mean = sum(b for i, b in enumerate(final) if i % 4 != 3) / (3 * W * H)
    if rgb_changed < W * H // 4:
        raise CheckError(f"card frame {FRAMES - 1}: only {rgb_changed} pixels differ from the input")
    if rgb_mean < 16:
        raise CheckError(f"card frame {FRAMES - 1}: nearly black (mean {rgb_mean:.1f})")

    param_frames = session.run(card, FRAMES, base + "-param", ["#3 1"])
    if param_frames[0] != card_frames[0]:
        raise CheckError("param frame 0 differs from card frame 0 (it precedes the change)")
    param_changed = sum(1 for p in range(W * H)
                        if param_frames[-1][4 * p:4 * p + 4] != final[4 * p:4 * p + 4])
    if param_changed < W * H // 20:
        raise CheckError(f"\"Scale XY2\" 1 changed only {param_changed} pixels of frame {FRAMES - 1}")

    byname = session.run(card, FRAMES, base + "-byname",
                         [gem_escape("Scale XY1") + " 1"])
    for k, (a, b) in enumerate(zip(byname, param_frames)):
        if a != b:
            raise CheckError(f"byname frame {k} differs from param frame {k}: {first_mismatch(a, b)}")

    lastname = session.run(card, FRAMES, base + "-lastname", [f"{last} 0.9"])
    for k, (a, b) in enumerate(zip(lastname, card_frames)):
        if a != b:
            raise CheckError(f"parameter index {n} was not refused: lastname frame {k} differs "
                             f"from card frame {k}: {first_mismatch(a, b)}")
    return (f"frame {FRAMES - 1}: {rgb_changed} of {W * H} pixels differ from the input, "
            f"{param_changed} change with \"Scale XY2\" 1")


def main():
    if len(sys.argv) < 5:
        print(__doc__, file=sys.stderr)
        return 2
    plugdir, work, reference, plugins = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    os.makedirs(work, exist_ok=True)
    flat, card = make_fixtures(work)
    # One session at a time: concurrent Gem windows on the one X server were seen to fail with
    # "Could not open display".
    failed = []
    for plugin in plugins:
        try:
            if plugin not in PARAM_COUNT:
                raise CheckError("unknown plug-in")
            summary = check_plugin(Session(plugdir, plugin, reference), work, plugin, flat, card)
            print(f"ok   {plugin}: {summary}", flush=True)
        except (CheckError, OSError, KeyError, struct.error) as e:
            print(f"FAIL {plugin}: {e}", flush=True)
            failed.append(plugin)
    print(f"{len(plugins) - len(failed)} of {len(plugins)} plug-ins passed in Pd + Gem")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
