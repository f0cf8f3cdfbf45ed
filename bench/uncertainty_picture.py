#!/usr/bin/python3
"""Draws docs/uncertainty-sigma.png and docs/uncertainty-error.png: sigma_u of a -deform 3
analysis beside the actual error |u - u_true|, on one colour scale, for a Lamb-Oseen
vortex whose upper-right quarter is lit at 30 % (noise 40 counts, 512 x 512 px, 32 x 32
windows every 16 px). pivplot colours a DPIV file by speed; each quantity goes into the
u column of a copy of the analysis' DPIV file (v = 0), so that its speed is the quantity.

Usage: PYTHONPATH=build/python bench/uncertainty_picture.py [BIN_DIR [OUT_DIR]]
"""
import os
import pathlib
import subprocess
import sys
import tempfile

import numpy as np

import tarvex


def with_u(dpiv, values, path):
    """The DPIV file's text with column 4 set to values (row by row) and column 5 to 0."""
    lines = dpiv.read_text().splitlines(keepends=True)
    head, records = lines[:12], lines[12:]
    flat = values.ravel()
    out = []
    for k, line in enumerate(records):
        columns = line.rstrip("\n").split("\t")
        columns[3] = "%e" % (flat[k] if np.isfinite(flat[k]) else 0.0)
        columns[4] = "%e" % 0.0
        out.append("\t".join(columns) + "\n")
    path.write_text("".join(head + out))


def main():
    bin_dir = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "build/bin").resolve()
    out_dir = pathlib.Path(sys.argv[2] if len(sys.argv) > 2 else "docs").resolve()
    (a, b), truth = tarvex.synth(size=(512, 512), field="vortex", gamma=600, core=30, noise=40,
                                 dim=(256, 0, 511, 255, 0.3), scheme="symmetric", seed=5)
    field = tarvex.analyse(a, b, window=32, spacing=16, deform=3, uncertainty=True)
    du, _ = truth.displacement(field.xc, field.yc, reference="midpoint")
    error = np.where(field.flag, np.abs(field.u - du), np.nan)
    with tempfile.TemporaryDirectory() as work:
        work = pathlib.Path(work)
        field.write_dpiv(work / "field.dpiv")
        with_u(work / "field.dpiv", field.sigma_u, work / "sigma_u.dpiv")
        with_u(work / "field.dpiv", error, work / "error_u.dpiv")
        # One call, so that both share one colour range; each title names its file.
        subprocess.run([str(bin_dir / "pivplot"), "--color", "speed", "--cells", "--fixed-range", "--rejected",
                        "hide", "--scale", "200", "--every", "2", "sigma_u.dpiv", "error_u.dpiv"],
                       check=True, stdout=subprocess.DEVNULL, cwd=work)
        for name in ("sigma", "error"):
            os.replace(work / (name + "_u.png"), out_dir / ("uncertainty-" + name + ".png"))
    inside = field.flag
    print("coverage %.3f, RMS sigma_u %.4f px, RMS error u %.4f px" % (
        np.mean(error[inside] <= field.sigma_u[inside]), np.sqrt(np.mean(field.sigma_u[inside] ** 2)),
        np.sqrt(np.mean(error[inside] ** 2))))


if __name__ == "__main__":
    main()
