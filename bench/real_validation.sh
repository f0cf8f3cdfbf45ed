#!/bin/sh
# What the validation keeps of real flow: the two public recordings of ../shared/real-images
# (a wake beside a dark wall, 1600 x 1200 px, 8-bit; a jet, 512 x 512 px, 16-bit), converted
# with pralen -fulldepth and analysed with 32 px windows every 16 px, -deform 3; the wall of
# the wake is masked (x < 1510 - 60 y / 1200 is flow, drawn as an image-pair file). Per
# recording: the flow points (the windows that fit and are not masked: those the single pass
# measures), those the analysis keeps valid, the others (rejected, or without a peak of their
# own) and the median length of the valid displacements.
#
# Usage: bench/real_validation.sh [BIN_DIR [IMAGES_DIR]]
#        (defaults: build/bin and ../shared/real-images from the top of the repository)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$here/build/bin}" && pwd)
images=$(cd "${2:-$here/../shared/real-images}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$bin/pralen" -fulldepth "$images/wake_a.png" "$images/wake_b.png" wake.b16 >/dev/null
"$bin/pralen" -fulldepth "$images/jet_a.png" "$images/jet_b.png" jet.b16 >/dev/null
/usr/bin/python3 -c '
import struct, numpy as np
h, w = 1200, 1600
y, x = np.mgrid[0:h, 0:w]
flow = np.where(x < 1510 - 60 * y / h, 255, 0).astype("<u2")
open("wall.b16", "wb").write(struct.pack("<HH", w, h) + flow.tobytes())'

printf '| recording | options | flow points | valid | not valid | median length (px) |\n'
printf '|---|---|---|---|---|---|\n'
for run in "wake|-mask wall.b16" "jet|"; do
  name=${run%%|*}
  options=${run#*|}
  for mode in "-subpix gauss3 -meansub" "-deform 3"; do
    # shellcheck disable=SC2086
    echo "1 2" | "$bin/tarvex" -dft 32 -gspac 16 16 $mode $options "$name.b16" >/dev/null
    # The single pass (first) measures every flow point: valid, or holding a correlation peak
    # (the never-measured and the masked points carry flag 0 and peak 0).
    [ "$mode" = "-deform 3" ] || flow=$(awk '!/^#/ && ($1 == 1 || $6 != 0) { m++ } END { print m }' "$name.dpiv")
    counts=$(awk -v m="$flow" '!/^#/ && $1 == 1 { v++ } END { print m, v }' "$name.dpiv")
    median=$(awk '!/^#/ && $1 == 1 { print sqrt($4 * $4 + $5 * $5) }' "$name.dpiv" | sort -g |
      awk '{ l[NR] = $1 } END { printf "%.2f", NR % 2 ? l[(NR + 1) / 2] : (l[NR / 2] + l[NR / 2 + 1]) / 2 }')
    echo "$counts" | awk -v name="$name" -v options="$mode${options:+ $options}" -v median="$median" \
      '{ printf "| %s | %s | %d | %d (%.2f %%) | %d | %s |\n", name, options, $1, $2, 100 * $2 / $1, $1 - $2, median }'
  done
done
