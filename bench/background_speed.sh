#!/bin/sh
# How fast the background pass of tarvex -bg min / -bg mean reads a series, against the disk,
# and what tarvex-mpi's way of sharing it costs: a series of 1 GiB (256 pairs of 1024 x 1024
# px, PAIRS to change it) made with pivsynth in a scratch directory under /tmp, removed at the
# end.
#  1. bench_background on it: a plain sequential read of the file, the background pass
#     (minimum and mean) and two passes at once (what two ranks making the background each
#     would read), with the file's pages dropped from the page cache first (cold: the disk)
#     and in the cache (warm); the median of five.
#  2. Whole runs, the file cold, analysing one pair (1024 px windows), without a background
#     and with -bg min: tarvex, and tarvex-mpi on two ranks, where rank 0 makes the background
#     and sends it to rank 1; the median of five.
#
# Usage: bench/background_speed.sh [BIN_DIR] [PAIRS]     (default: build/bin, 256)
set -eu
bin=$(cd "${1:-build/bin}" && pwd)
pairs=${2:-256}
work=$(mktemp -d /tmp/tarvex-background-speed-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$bin/pivsynth" --size 1024x1024 --pairs "$pairs" --out s.b16 >/dev/null
echo "series: $(stat -c %s s.b16) bytes, $((2 * pairs)) images of 1024 x 1024 px"
echo

TARVEX_BG_SERIES="$work/s.b16" "$bin/bench_background" --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
  awk -F, '/^name,/ { for (i = 1; i <= NF; i++) if ($i == "bytes_per_second") rate = i }
    /_median"/ {
    name = $1; gsub(/"/, "", name); sub(/\/real_time_median/, "", name)
    printf "| %s | %.0f ms | %.2f GB/s |\n", name, $3, $rate / 1e9
  }' | { echo "| pass | wall time | rate |"; echo "|---|---|---|"; cat; }
echo

drop() { dd if=s.b16 iflag=nocache count=0 status=none; }
tarvex() { "$bin/tarvex" "$@" >/dev/null 2>&1; }
mpi() { mpirun --allow-run-as-root --oversubscribe -n 2 "$bin/tarvex-mpi" "$@" >/dev/null 2>&1; }
median5() { sort -n | sed -n 3p; }
# The median wall time of five cold runs of a program with the one-pair options and more.
run() {
  program=$1
  shift
  for k in 1 2 3 4 5; do
    drop
    start=$(date +%s.%N)
    "$program" -dft 1024 -gspac 1024 1024 -all 1 1 "$((2 * pairs))" "$@" s.b16
    end=$(date +%s.%N)
    echo "$end - $start" | bc
  done | median5
}
tarvex -dft 1024 s.b16 </dev/null || true  # the wisdom file, made once
echo "| one pair, cold file | without -bg | -bg min | the background's part |"
echo "|---|---|---|---|"
for program in tarvex mpi; do
  plain=$(run "$program")
  withbg=$(run "$program" -bg min)
  name=$([ "$program" = tarvex ] && echo "tarvex" || echo "tarvex-mpi -n 2 (rank 0 makes and sends it)")
  printf '| %s | %.2f s | %.2f s | %.2f s |\n' "$name" "$plain" "$withbg" "$(echo "$withbg - $plain" | bc)"
done
