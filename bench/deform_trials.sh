#!/bin/sh
# How the deformation passes' settings were chosen: the twelve cases of the deformation table
# (accuracy_cases.sh, 512 x 512 px), 32 px windows every 16 px, 3 passes, from the former
# settings (bilinear predictor, [1 2 1] filter, classic median test on the field) adding one
# piece a row, the last row being tarvex -deform's settings. Each cell is the RMS error of
# the valid vectors against the displacement whose path has its midpoint at the window
# centre, from deformtrial (which runs the passes as tarvex does, without the first pass's
# peak ratio and the displacement limit of tarvex -deform); the last column the geometric
# mean over the twelve.
#
# Usage: bench/deform_trials.sh [BIN_DIR [SEED]]
set -eu
bin=$(cd "${1:-build/bin}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
seed=${2:-11}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

. "$here/accuracy_cases.sh"

former="--predictor bilinear --filter binomial --weight 0 --judge-changes 0 --spread 3 --peak-ratio 0 --max-residual 0.5"
variants="former settings|$former
cubic predictor|--predictor bspline --filter binomial --weight 0 --judge-changes 0 --spread 3 --peak-ratio 0 --max-residual 0.5
five-tap filter|--filter fivetap --weight 0 --judge-changes 0 --spread 3 --peak-ratio 0 --max-residual 0.5
weighted passes before the last|--weight 0.2 --judge-changes 0 --spread 3 --peak-ratio 0 --max-residual 0.5
changes judged between passes|--judge-changes 1 --spread 3 --peak-ratio 0 --max-residual 0.5
5 x 5 spread, peak ratio, residual limit (tarvex -deform)|"

i=0
echo "$deform_cases" | while IFS='|' read -r name synth; do
  i=$((i + 1))
  # shellcheck disable=SC2086
  "$bin/pivsynth" --size 512x512 --seed "$seed" $synth --out "case$i.b16" >/dev/null
done

printf '| settings |'
echo "$deform_cases" | while IFS='|' read -r name synth; do printf ' %s |' "$name"; done
printf ' geometric mean |\n|---|'
echo "$deform_cases" | while IFS='|' read -r name synth; do printf -- '---|'; done
printf -- '---|\n'
echo "$variants" | while IFS='|' read -r variant options; do
  printf '| %s |' "$variant"
  for i in 1 2 3 4 5 6 7 8 9 10 11 12; do
    # shellcheck disable=SC2086
    "$bin/deformtrial" "case$i.b16" "case$i.b16.truth" --passes 3 $options 2>/dev/null | tail -1 |
      awk '{ for (k = 1; k < NF; k++) if ($k == "midpoint-rms") printf " %.4f |", $(k + 1) }'
  done | awk '{ n = 0; g = 0; for (k = 1; k <= NF; k++) if ($k != "|") { g += log($k); n++ }
                printf "%s %.4f |\n", $0, exp(g / n) }'
done
