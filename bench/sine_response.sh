#!/bin/sh
# Resolution of the analysis: a transverse sine wave v = 2 sin(2 pi x / L) px (pivsynth,
# 512 x 512 px, seed 11) analysed with 32 px windows every 16 px (-deform 3) and with 16 px
# windows every 8 px (-deform 4), next to the accurate single pass. Per wavelength L: the
# amplitude response (the measured wave over the true one, a least-squares gain over the
# valid vectors), the RMS error, the outliers (error above 0.5 px) and the valid vectors.
#
# Usage: bench/sine_response.sh [BIN_DIR]     (default: build/bin, built beforehand)
set -eu
bin=$(cd "${1:-build/bin}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# gain, RMS, outliers and valid count of sine.dpiv against the wave of length $1.
score() {
  awk -v L="$1" 'BEGIN { pi = atan2(0, -1) }
    !/^#/ { n++; if ($1 != 1) next
      t = 2 * sin(2 * pi * ($2 + 0.5) / L); e2 = $4 * $4 + ($5 - t) * ($5 - t)
      st += $5 * t; tt += t * t; se += e2; v++; if (e2 > 0.25) o++ }
    END { printf "%.3f | %.4f | %.1f %% | %d of %d", st / tt, sqrt(se / v), 100 * o / v, v, n }' sine.dpiv
}

printf '| window, spacing | wavelength (px) | windows a wave | single pass: gain, RMS (px) | -deform: gain | RMS (px) | outliers | valid |\n'
printf '|---|---|---|---|---|---|---|---|\n'
for setting in "32 16 3" "16 8 4"; do
  set -- $setting
  window=$1 spacing=$2 passes=$3
  for wavelength in 32 48 64 96 128 192 256; do
    "$bin/pivsynth" --size 512x512 --seed 11 --field sine --amplitude 2 --wavelength "$wavelength" \
      --direction x --out sine.b16 >/dev/null
    echo "1 2" | "$bin/tarvex" -dft "$window" -gspac "$spacing" "$spacing" -subpix gauss3 -meansub sine.b16 >/dev/null
    single=$(score "$wavelength" | awk -F' [|] ' '{ print $1 ", " $2 }')
    echo "1 2" | "$bin/tarvex" -dft "$window" -gspac "$spacing" "$spacing" -deform "$passes" sine.b16 >/dev/null
    printf '| %s px, %s px | %s | %s | %s | %s |\n' "$window" "$spacing" "$wavelength" \
      "$(awk -v l="$wavelength" -v w="$window" 'BEGIN { printf "%.1f", l / w }')" "$single" "$(score "$wavelength")"
  done
done
