#!/bin/sh
# Coverage of the per-vector uncertainties of a -deform 3 analysis on pivsynth pairs that
# span the difficulties: for each case, uncertaintytrial runs the analysis with every
# uncertainty method and this prints a table row per case and method: the error
# components scored, the fraction within plus or minus sigma (68 % for a true standard
# uncertainty; the target is 58 to 78 %), RMS(sigma), RMS(error) and their ratio (target
# 0.7 to 1.4). With DUMP_DIR set, each case's vectors go to DUMP_DIR/N.txt (see
# uncertaintytrial --dump).
#
# Usage: bench/uncertainty_accuracy.sh [BIN_DIR [SEED]]
set -eu
bin=$(cd "${1:-build/bin}" && pwd)
seed=${2:-5}
dump=${DUMP_DIR:-}
[ -n "$dump" ] && dump=$(cd "$dump" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# name|window|pivsynth options (512 x 512 px, 2.5 px particles, 0.02 per pixel unless given)
cases="shift 0.3 px|32|--dx 0.3 --dy 0.15
shift 0.7 px|32|--dx 0.7 --dy 0.35
shift 7.3, -4.6 px|32|--dx 7.3 --dy -4.6
solid rotation 0.02 rad|32|--field rotation --omega 0.02
Lamb-Oseen vortex|32|--field vortex --gamma 600 --core 30
shear 0.02 px/px|32|--field shear --shear 0.02
sine wave 1 px, 128 px|32|--field sine --dx 1.2 --amplitude 1 --wavelength 128
noise 30 counts|32|--dx 2.4 --dy -1.3 --noise 30
noise 100 counts|32|--dx 2.4 --dy -1.3 --noise 100
out-of-plane loss 30 %|32|--dx 2.4 --dy -1.3 --loss 0.3
big dense particles|32|--dx 2.4 --dy -1.3 --diameter 5 --density 0.05
small particles 1.2 px|32|--dx 2.4 --dy -1.3 --diameter 1.2
shift 0.3 px|16|--dx 0.3 --dy 0.15
Lamb-Oseen vortex|16|--field vortex --gamma 600 --core 30
noise 30 counts|16|--dx 2.4 --dy -1.3 --noise 30
out-of-plane loss 30 %|16|--dx 2.4 --dy -1.3 --loss 0.3
sine wave 1 px, 64 px|16|--field sine --dx 1.2 --amplitude 1 --wavelength 64"

printf '| case | window | components | coverage | RMS sigma (px) | RMS error (px) | ratio | method |\n'
printf '|---|---|---|---|---|---|---|---|\n'
number=0
echo "$cases" | while IFS='|' read -r name window synth; do
  number=$((number + 1))
  # shellcheck disable=SC2086
  "$bin/pivsynth" --size 512x512 --seed "$seed" --scheme symmetric $synth --out case.b16 >/dev/null
  set -- --window "$window" --spacing $((window / 2))
  [ -n "$dump" ] && set -- "$@" --dump "$dump/$number.txt"
  "$bin/uncertaintytrial" case.b16 case.b16.truth "$@" |
    awk -v name="$name" -v window="$window" '{
      printf "| %s | %s | %s | %.1f %% | %s | %s | %s | %s |\n", name, window, $3, 100 * $5, $7, $9, $11, $1
    }'
done
