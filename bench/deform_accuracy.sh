#!/bin/sh
# Accuracy of the deformation passes on the cases of accuracy.sh at 512 x 512 px (plus a
# shear): for each pivsynth case, deformtrial runs the accurate single pass and then 1..N
# refinement passes, and this prints one table row per pass count: valid vectors, RMS
# error over the valid vectors and over the inliers (error up to 0.5 px), bias, outliers,
# and the RMS error against the displacement of the particle whose path has its midpoint
# at the window centre.
#
# Usage: bench/deform_accuracy.sh [BIN_DIR [SEED [deformtrial options...]]]
#        e.g. bench/deform_accuracy.sh build/bin 11 --passes 4 --degree 5
set -eu
bin=$(cd "${1:-build/bin}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
seed=${2:-11}
[ $# -ge 2 ] && shift 2 || shift $#
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

. "$here/accuracy_cases.sh"

printf '| case | passes | valid | RMS (px) | inlier RMS (px) | bias x, y (px) | outliers | midpoint RMS (px) |\n'
printf '|---|---|---|---|---|---|---|---|\n'
echo "$deform_cases" | while IFS='|' read -r name synth; do
  # shellcheck disable=SC2086
  "$bin/pivsynth" --size 512x512 --seed "$seed" $synth --out case.b16 >/dev/null
  "$bin/deformtrial" case.b16 case.b16.truth "$@" |
    awk -v name="$name" '{
      gsub(/[(),]/, " ")
      printf "| %s | %s | %s of %s | %s | %s | %+.4f, %+.4f | %s | %s |\n", name, $2, $4, $6, $8, $10, $12, $13, $15, $17
    }'
done
