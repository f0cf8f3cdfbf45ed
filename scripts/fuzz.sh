#!/bin/sh
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer) in
# build-fuzz/ and runs them.
#
#   scripts/fuzz.sh smoke [RUNS]        every target for RUNS executions (default 4000) over
#                                       its seeds and fuzz/regressions/NAME/ only: what CI runs
#   scripts/fuzz.sh long [RUNS] [NAME]  every target, or target NAME, for RUNS executions
#                                       (default 1000000), one at a time, keeping what it
#                                       finds in build-fuzz/fuzz-corpus/NAME/ for the next run
#
# A run fails on a crash, a leak, a sanitizer report, a broken check of a target, an input
# that takes more than 1 s (10 s in the smoke run, which shares the machine with CI's other
# work), or one that asks for more than 2 GiB. The input that did it is
# saved as build-fuzz/fuzz-artifacts/NAME-crash-..., -leak-..., -timeout-... or -oom-...;
# replay it with build-fuzz/bin/fuzz_NAME FILE. Each run prints a line of executions,
# coverage (cov: edges, ft: features, as libFuzzer counts them) and seconds; the full log
# is build-fuzz/fuzz-logs/MODE-NAME.log.
set -eu
cd "$(dirname "$0")/.."

mode=${1:-smoke}
case "$mode" in
  smoke) runs=${2:-4000}; only=""; timeout=10 ;;
  long) runs=${2:-1000000}; only=${3:-}; timeout=1 ;;
  *) echo "usage: scripts/fuzz.sh smoke [RUNS] | long [RUNS] [NAME]" >&2; exit 2 ;;
esac

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEX_FUZZ=ON \
  -DTARVEX_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j2 --target fuzz

mkdir -p "$build/fuzz-logs" "$build/fuzz-artifacts" "$build/fuzz-corpus"
# The smoke run starts from the seeds alone, in a corpus of its own that goes afterwards,
# so that it neither depends on nor disturbs a long run's corpus.
scratch=""
if [ "$mode" = smoke ]; then
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
fi
# The readers print their refusals on standard error millions of times over: closed for
# the run (-close_fd_mask=2); libFuzzer and the sanitizers keep a channel of their own.
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

passed=0
failed=0
for seeds in "$build"/fuzz-seeds/*/; do
  name=$(basename "$seeds")
  [ -n "$only" ] && [ "$name" != "$only" ] && continue
  corpus=${scratch:-$build/fuzz-corpus}/$name
  mkdir -p "$corpus"
  # Inputs that once broke a reader, replayed first on every run.
  regressions=""
  [ -d "fuzz/regressions/$name" ] && regressions="fuzz/regressions/$name"
  log="$build/fuzz-logs/$mode-$name.log"
  start=$(date +%s)
  status=0
  # The first directory receives the inputs found; the seeds and the regressions are read.
  # shellcheck disable=SC2086
  "$build/bin/fuzz_$name" -runs="$runs" -timeout="$timeout" -rss_limit_mb=2048 -malloc_limit_mb=2048 \
    -close_fd_mask=2 -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$name-" \
    "$corpus" "$seeds" $regressions >"$log" 2>&1 || status=$?
  seconds=$(($(date +%s) - start))
  done_line=$(grep -a -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 || true)
  if [ "$status" -ne 0 ] || [ -z "$done_line" ]; then
    echo "fuzz_$name: FAILED (status $status, ${seconds} s); the end of $log:" >&2
    tail -n 40 "$log" >&2
    failed=$((failed + 1))
    continue
  fi
  execs=$(echo "$done_line" | sed -E 's/^#([0-9]+).*/\1/')
  cov=$(echo "$done_line" | sed -E 's/.*cov: ([0-9]+).*/\1/')
  ft=$(echo "$done_line" | sed -E 's/.*ft: ([0-9]+).*/\1/')
  printf 'fuzz_%-26s %9s executions  cov %5s  ft %6s  %5s s\n' "$name" "$execs" "$cov" "$ft" "$seconds"
  passed=$((passed + 1))
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
