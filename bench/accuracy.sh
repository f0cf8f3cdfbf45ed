#!/bin/sh
# Accuracy of tarvex's sub-pixel modes on synthetic particle images with a known field.
# Each pivsynth case (256 x 256 px, particle diameter 2.5 px, 0.02 particles per pixel) is
# analysed with 32 x 32 windows at 16 px spacing in six modes, and pivcompare reports the
# RMS error, the bias and the outlier fraction (error above 0.5 px) over the valid vectors,
# against the displacement of the particle at the window centre in the first image.
# A second table: window deformation at 512 x 512 px on the twelve deformation cases, after
# the accurate single pass it starts from, with 3 refinement passes, against the
# displacement whose path has its midpoint at the window centre (what -deform writes).
#
# Usage: bench/accuracy.sh [BIN_DIR]     (default: build/bin, built beforehand)
set -eu
bin=$(cd "${1:-build/bin}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

modes="default|
default -i|-i
gauss3|-subpix gauss3
gauss3 -meansub|-subpix gauss3 -meansub
gauss3 -i|-subpix gauss3 -i
gauss3 -meansub -i|-subpix gauss3 -meansub -i"

. "$here/accuracy_cases.sh"

# One table row per mode for a case: the analysis of case.b16, scored by pivcompare.
# Arguments: case name, the modes (name|options lines), digits of the bias, the reference.
rows() {
  echo "$2" | while IFS='|' read -r mode options; do
    # shellcheck disable=SC2086
    echo "1 2" | "$bin/tarvex" -dft 32 -gspac 16 16 $options case.b16 >/dev/null
    "$bin/pivcompare" --reference "$4" case.dpiv case.b16.truth |
      awk -v name="$1" -v mode="$mode" -v digits="$3" '{
        if ($1 != "valid") exit 1
        if ($2 == 0) { printf "| %s | %s | 0 of %s | - | - | - |\n", name, mode, $4; next }
        gsub(/[(),]/, " ")
        printf "| %s | %s | %s of %s | %s | %+.*f, %+.*f | %s %% |\n", name, mode, $2, $4, $6, digits, $9, digits, $10, $13
      }'
  done
}

# One table: its first header cell, the image size, the cases, the modes, digits of the
# bias, the reference.
table() {
  printf '| %s | mode | valid | RMS error (px) | bias x, y (px) | outliers > 0.5 px |\n' "$1"
  printf '|---|---|---|---|---|---|\n'
  echo "$3" | while IFS='|' read -r name synth; do
    # shellcheck disable=SC2086
    "$bin/pivsynth" --size "$2" --seed 11 $synth --out case.b16 >/dev/null
    rows "$name" "$4" "$5" "$6"
  done
}

table case 256x256 "$cases" "$modes" 3 first

deform="gauss3 -meansub|-subpix gauss3 -meansub
-deform 3|-deform 3"

echo
table "case (512 x 512 px)" 512x512 "$deform_cases" "$deform" 4 midpoint
