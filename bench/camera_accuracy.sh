#!/bin/sh
# Background and pre-processing (-bg, -highpass, -cap) on camera-like images: the tables of
# docs/camera-images.md. Every analysis is tarvex's (the command line, or the Python module's
# analyse, which gives the same numbers); pivcompare scores against pivsynth's truth, outliers
# being vectors more than 0.5 px off.
#  1. The glow-and-band pair: 512 x 512 px, a uniform shift (3.3, -1.6) px under a glow of 0 to
#     900 counts across the image and a reflection band of 1200 counts on rows 240 to 269.
#  2. The minimum of N images as the background, plain and opened (union of the openings with
#     7-pixel segments along the rows and the columns), on pair 1 of glow-and-band series of
#     ordinary particles, of particles with 2000 hot pixels (600 counts, static) and of larger
#     particles (4 px, 0.03 per pixel): what kFewImages (8) rests on.
#  3. A dark corner with a row pattern: 384 x 384 px, flow (-7.4, 0.8) px, the corner from
#     (224, 224) with a twentieth of the particle light and 100 counts on its odd rows.
#  4. Windows without particle images: a dark corner (no particle light, noise of 4 counts) and
#     a bright static body (3000 counts and that noise, no particles) in a 256 x 256 pair.
#  5. Bright particles: one particle in twenty twelve times as bright, and -cap.
#  6. The real recordings of real-images/ (pralen -fulldepth), with and without -bg min.
#
# Usage: bench/camera_accuracy.sh [BIN_DIR] [PYTHON_MODULE_DIR] [REAL_IMAGES_DIR]
#        (default: build/bin, build/python, /work/shared/real-images)
set -eu
bin=$(cd "${1:-build/bin}" && pwd)
module=$(cd "${2:-build/python}" && pwd)
real=${3:-/work/shared/real-images}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

BIN="$bin" REAL="$real" PYTHONPATH="$module" /usr/bin/python3 - <<'PY'
import os, subprocess
import numpy as np
import tarvex

BIN, REAL = os.environ["BIN"], os.environ["REAL"]


def run(program, *args, stdin=None):
    r = subprocess.run([os.path.join(BIN, program), *args], input=stdin, capture_output=True, text=True)
    if r.returncode != 0:
        raise SystemExit(f"{program} {' '.join(args)}: {r.stderr}")
    return r.stdout


def score(name="case"):
    """pivcompare's valid, RMS, bias and outliers of name.dpiv."""
    f = run("pivcompare", f"{name}.dpiv", f"{name}.b16.truth").replace("(", " ").replace(")", " ").replace(",", " ").split()
    return [f"{f[1]} of {f[3]}", f[5], f"{float(f[8]):+.4f}, {float(f[9]):+.4f}", f"{f[12]} %"]


def tarvex_cli(options, name="case", pair="1 2"):
    out = run("tarvex", "-dft", "32", "-gspac", "16", "16", *options.split(), f"{name}.b16", stdin=pair + "\n")
    return out


def records(name="case"):
    d = np.loadtxt(f"{name}.dpiv", comments="#")
    return d[:, 0] == 1, d[:, 1], d[:, 2], d[:, 3], d[:, 4]


def table(head, rows):
    print("| " + " | ".join(head) + " |")
    print("|" + "---|" * len(head))
    for row in rows:
        print("| " + " | ".join(row) + " |")
    print()


GLOW = ["--glow", "900", "--band", "240,269,1200"]

# 1. The glow-and-band pair.
run("pivsynth", "--size", "512x512", "--dx", "3.3", "--dy", "-1.6", *GLOW, "--seed", "11", "--out", "case.b16")
rows = []
for first, extras in [("-subpix gauss3 -meansub", ["", "-bg min", "-bg mean", "-highpass 15", "-cap"]),
                      ("-deform 3", ["", "-bg min", "-bg mean", "-highpass 7", "-highpass 15", "-highpass 31",
                                     "-bg min -highpass 15", "-bg min -cap", "-cap"])]:
    for extra in extras:
        tarvex_cli(f"{first} {extra}")
        rows.append([first, extra or "none", *score()])
a, b = tarvex.read_pair_file("case.b16").astype(float)


def gaussian_highpass(image, sigma):
    """The image less its Gaussian mean (normalised at the border), rounded half up, clamped at 0."""
    r = int(np.ceil(3 * sigma))
    g = np.exp(-np.arange(-r, r + 1) ** 2 / (2 * sigma * sigma))
    def blur(v):
        p = np.pad(v, ((0, 0), (r, r)))
        v = sum(g[i] * p[:, i:i + v.shape[1]] for i in range(2 * r + 1))
        p = np.pad(v, ((r, r), (0, 0)))
        return sum(g[i] * p[i:i + v.shape[0], :] for i in range(2 * r + 1))
    return np.clip(np.floor(image - blur(image) / blur(np.ones_like(image)) + 0.5), 0, 65535).astype(np.uint16)


truth = open("case.b16.truth").read()
for k in (7, 15, 31):
    tarvex.write_pair_file("gauss.b16", [gaussian_highpass(a, k / np.sqrt(12)), gaussian_highpass(b, k / np.sqrt(12))])
    open("gauss.b16.truth", "w").write(truth)
    tarvex_cli("-deform 3", name="gauss")
    rows.append(["-deform 3", f"Gaussian high-pass, sigma {k / np.sqrt(12):.2f} px (the variance of a {k} px box)",
                 *score("gauss")])
print("Table 1: the glow-and-band pair (512 x 512 px, seed 11)\n")
table(["analysis", "pre-processing", "valid", "RMS error (px)", "bias x, y (px)", "outliers > 0.5 px"], rows)

# 2. The minimum of N images.
print("Table 2: pair 1 of a glow-and-band series, -deform 3, the background the minimum of its"
      " first N images, plain or opened, or their mean: RMS error (px), outliers\n")
kinds = [("particles of 2.5 px", []), ("with 2000 hot pixels", []),
         ("particles of 4 px, 0.03 per pixel", ["--diameter", "4", "--density", "0.03"])]
rows = []
for kind, synth in kinds:
    run("pivsynth", "--size", "512x512", "--pairs", "32", "--dx", "3.3", "--dy", "-1.6", *GLOW, "--seed", "11",
        *synth, "--out", "series.b16")
    images = tarvex.read_pair_file("series.b16")
    if "hot" in kind:
        rng = np.random.default_rng(3)
        hot = np.zeros(images.shape[1:], np.int64)
        where = rng.integers(0, 512, (2000, 2))
        hot[where[:, 0], where[:, 1]] = 600
        images = np.minimum(images.astype(np.int64) + hot, 4095).astype(np.uint16)
    tarvex.write_pair_file("n.b16", images[:2])
    open("n.b16.truth", "w").write(open("series.b16.truth").read())
    for n in (2, 3, 4, 6, 8, 16, 64):
        plain = images[:n].min(axis=0)
        cells = [kind, str(n)]
        for bg in (plain, tarvex.background([plain, plain])):
            field = tarvex.analyse(images[0], images[1], window=32, spacing=16, deform=3, background=bg)
            field.write_dpiv("n.dpiv")
            s = score("n")
            cells.append(f"{s[1]}, {s[3]}")
        cells.append("opened" if n < 8 else "plain")
        field = tarvex.analyse(images[0], images[1], window=32, spacing=16, deform=3, background="mean",
                               background_images=images[:n])
        field.write_dpiv("n.dpiv")
        s = score("n")
        cells.append(f"{s[1]}, {s[3]}")
        rows.append(cells)
table(["images", "N", "plain minimum", "opened minimum", "-bg min takes", "mean (-bg mean)"], rows)

# 3. The dark corner with a row pattern.
run("pivsynth", "--size", "384x384", "--dx", "-7.4", "--dy", "0.8", "--dim", "224,224,383,383,0.05",
    "--row-pattern", "100,224,224,383,383", "--noise", "2", "--seed", "2", "--out", "case.b16")
rows = []
for extra in ("", "-bg min"):
    tarvex_cli(f"-deform 3 -dft0 64 {extra}")
    valid, x, y, u, v = records()
    beside = valid & (y >= 239) & (x >= 175) & (x <= 191)
    fu, fv = np.median(u[beside]), np.median(v[beside])
    corner = (x >= 239) & (y >= 239) & (x <= 351) & (y <= 351)
    off = np.hypot(u - fu, v - fv)[corner & valid]
    rows.append(["-deform 3 -dft0 64 " + extra, f"{fu:.3f}, {fv:.3f}", f"{(corner & valid).sum()} of {corner.sum()}",
                 f"{np.median(off):.3f}", f"{off.max():.3f}"])
print("Table 3: the dark corner with a row pattern (384 x 384 px, seed 2)\n")
table(["analysis", "flow beside the corner (px)", "corner windows valid", "median distance (px)",
       "largest distance (px)"], rows)

# 4. Windows without particle images.
run("pivsynth", "--size", "256x256", "--dx", "3.2", "--dy", "1.1", "--dim", "160,160,255,255,0", "--noise", "4",
    "--seed", "3", "--out", "case.b16")
images = tarvex.read_pair_file("case.b16")
rng = np.random.default_rng(1)
images[:, 16:112, 16:112] = np.round(rng.normal(3000, 4, (2, 96, 96))).astype(np.uint16)
tarvex.write_pair_file("case.b16", images)
rows = []
for mode in ("", "-subpix gauss3 -meansub", "-i", "-MVOcheck 1 -s", "-deform 2", "-deform 2 -dft0 64"):
    cells = [mode or "single pass (fit)"]
    for extra in ("", "-bg min"):
        tarvex_cli(f"{mode} {extra}")
        valid, x, y, u, v = records()
        def inside(x0, y0, x1, y1):
            return (x - 15 >= x0) & (x + 16 <= x1) & (y - 15 >= y0) & (y + 16 <= y1)
        body, dark = inside(16, 16, 111, 111), inside(160, 160, 255, 255)
        cells.append(f"{(valid & body).sum()} of {body.sum()}, {(valid & dark).sum()} of {dark.sum()}")
    rows.append(cells)
print("Table 4: valid vectors in windows without particle images (256 x 256 px): the bright static"
      " body, the dark corner\n")
table(["analysis", "without -bg", "-bg min"], rows)

# 5. Bright particles.
run("pivsynth", "--size", "512x512", "--dx", "3.3", "--dy", "-1.6", "--seed", "4", "--out", "case.b16")
run("pivsynth", "--size", "512x512", "--dx", "3.3", "--dy", "-1.6", "--density", "0.001", "--diameter", "3",
    "--seed", "9", "--out", "bright.b16")
plain = tarvex.read_pair_file("case.b16").astype(np.int64)
tarvex.write_pair_file("plain.b16", plain)
open("plain.b16.truth", "w").write(open("case.b16.truth").read())
bright = plain + 12 * tarvex.read_pair_file("bright.b16").astype(np.int64)
tarvex.write_pair_file("case.b16", np.minimum(bright, 65535))
rows = []
for mode in ("", "-subpix gauss3 -meansub", "-deform 3"):
    for extra in ("", "-cap"):
        tarvex_cli(f"{mode} {extra}")
        tarvex_cli(f"{mode} {extra}", name="plain")
        bright, ordinary = score(), score("plain")
        rows.append([mode or "single pass (fit)", extra or "none", bright[1], bright[3], ordinary[1], ordinary[3]])
print("Table 5: one particle in twenty twelve times as bright (512 x 512 px), and an ordinary pair\n")
table(["analysis", "pre-processing", "bright particles: RMS (px)", "outliers", "ordinary pair: RMS (px)",
       "outliers"], rows)

# 6. The real recordings.
rows = []
for name in ("wake", "jet"):
    run("pralen", "-fulldepth", f"{REAL}/{name}_a.png", f"{REAL}/{name}_b.png", f"{name}.b16")
    raw = tarvex.read_pair_file(f"{name}.b16")[0]
    fields = {}
    for extra in ("", "-bg min"):
        out = tarvex_cli(f"-deform 3 {extra}", name=name)
        fields[extra] = records(name)
        none = out.split("No particle images in ")[1].split(" of")[0] if extra else "-"
        valid, x, y, u, v = fields[extra]
        if name == "wake":
            # The wall: windows whose raw pixels all lie below 200 counts.
            region = np.array([raw[int(yy) - 15:int(yy) + 17, int(xx) - 15:int(xx) + 17].max() < 200
                               for xx, yy in zip(x, y)])
            what = "the wall"
        else:
            region = x + 16 <= 63
            what = "columns 0 to 63"
        speed = np.hypot(u, v)
        rows.append([f"{name} -deform 3 {extra}", f"{valid.sum()} of {len(valid)}", none,
                     f"{np.median(speed[valid]):.3f}",
                     f"{what}: {(valid & region).sum()} of {region.sum()} valid, largest "
                     f"{speed[valid & region].max() if (valid & region).any() else 0:.2f} px"])
    a_, b_ = fields[""], fields["-bg min"]
    both = a_[0] & b_[0]
    change = np.hypot(a_[3] - b_[3], a_[4] - b_[4])[both]
    rows.append([f"{name}: vectors valid in both", str(both.sum()), "", "",
                 f"changed by a median of {np.median(change):.3f} px, 90 % within {np.percentile(change, 90):.3f} px"])
print("Table 6: the real recordings, 32 x 32 windows every 16 px\n")
table(["run", "valid", "windows without particle images", "median displacement (px)", "region"], rows)
PY
