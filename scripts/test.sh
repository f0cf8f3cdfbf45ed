#!/bin/sh
# Builds the toolset and runs the whole test suite twice: an optimised build in build/
# and an AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/; then the
# threading tests under ThreadSanitizer in build-tsan/, and a smoke run of the fuzz targets
# in build-fuzz/.
set -eu
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON -DTARVEX_BENCHMARKS=OFF >/dev/null
cmake --build build-asan -j "$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j "$jobs")

# ThreadSanitizer over the tests of the multi-threaded pass, of the deformation passes (also
# through tarvex -deform -j 2 and -j 0), of series runs (reading ahead and writing behind on
# threads of their own), of masked analyses on two threads, of the pre-processed analysis
# (the windows judged for particle images on two threads) and of analyses from several
# Python threads (a few minutes; a race in a tarvex the tests start ends it with an error
# status, which fails the test). FFTW and the interpreter are not instrumented; each worker
# executes the shared plans with scratch of its own.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTSAN=ON -DTARVEX_BENCHMARKS=OFF >/dev/null
cmake --build build-tsan -j "$jobs" --target test_parallel_pass test_deformation_passes test_deform_cli \
  test_series_e2e test_mask_e2e test_worker_threads test_camera_e2e nothreads tarvex pivsynth pivcompare tarvexpy
for t in test_parallel_pass test_deformation_passes test_deform_cli test_series_e2e test_mask_e2e test_worker_threads; do
  (cd build-tsan && TSAN_OPTIONS=halt_on_error=1 "./bin/$t")
done
(cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ./bin/test_camera_e2e --gtest_filter='*Threads*')
(cd build-tsan && ctest -R python_test_threads --output-on-failure)

# Every fuzz target for a few thousand executions over its seeds and the inputs that once
# broke a reader (a minute or two with the clang build); scripts/fuzz.sh long runs them longer.
./scripts/fuzz.sh smoke
