#!/usr/bin/env bash
# Installs, builds and runs every test: a normal build, then the journey tests (the built application in
# a private X server, driven through its pointer, keys and accessibility tree), then the same unit tests
# under ASan and UBSan, then every benchmark once under them, then a bounded fuzzing run of the RTF reader.
# Every step runs even when one before it failed; the closing line counts them all and the script fails if
# any did.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

# The C++ sources keep the one layout of .clang-format: a file that it would change counts as a failure.
formatted=0
if git ls-files -z '*.cpp' '*.h' '*.c' | xargs -0 clang-format --dry-run --Werror; then formatted=1; fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLMEK_BUILD_TESTS=ON -DTOLMEK_WERROR=ON
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs" -LE journey) | tee build/ctest.log || true

# Two at a time: each has its own X server and buses, and they must not depend on an idle machine.
(cd build && ctest --output-on-failure -j 2 -L journey) | tee build/ctest-journey.log || true

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLMEK_SANITIZE=ON -DTOLMEK_BUILD_TESTS=ON \
  -DTOLMEK_BUILD_BENCH=ON
cmake --build build-asan -j "$jobs"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && TOLMEK_SANITIZED=1 ctest --output-on-failure -j "$jobs" -LE 'journey|bench-smoke') | tee build-asan/ctest.log || true

# Every benchmark once under the same sanitizers: a smoke pass (each case as briefly as it allows), not a
# timing; a benchmark that crashes or trips a sanitizer counts as a failed test.
# They are built with the unit tests above, in the same folder.
(cd build-asan/bench && ctest --output-on-failure -j 4 -L bench-smoke) | tee build-asan/ctest-bench.log || true

fuzzed=0
fuzz_failed=0
if [ -x fuzz/run.sh ]; then
  if bash fuzz/run.sh; then fuzzed=1; else fuzz_failed=1; fi
fi

# One closing line for the whole run: the layout check, every test of both builds, the journey tests, the
# benchmarks' smoke runs, and the fuzzing run.
# A log without ctest's summary (ctest itself failed) counts as one failure.
count() { sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\2 \1/p' "$1" | tail -n 1 | grep . || echo "1 1"; }
read -r total1 failed1 < <(count build/ctest.log)
read -r total2 failed2 < <(count build/ctest-journey.log)
read -r total3 failed3 < <(count build-asan/ctest.log)
read -r total4 failed4 < <(count build-asan/ctest-bench.log)
# The names of what failed, just above the closing line, where a short excerpt of the output still shows them.
for log in build/ctest.log build/ctest-journey.log build-asan/ctest.log build-asan/ctest-bench.log; do
  if [ -f "$log" ]; then
    sed -n '/The following tests FAILED/,$p' "$log" | sed -n "s|^[[:space:]]*[0-9]* - |failed in $log: |p"
  fi
done
[ "$formatted" -eq 1 ] || echo "failed: clang-format would change some files"
[ "$fuzz_failed" -eq 0 ] || echo "failed: the fuzzing run"
failed=$((failed1 + failed2 + failed3 + failed4 + fuzz_failed + 1 - formatted))
echo "ci: $((total1 + total2 + total3 + total4 - failed1 - failed2 - failed3 - failed4 + fuzzed + formatted)) passed, $failed failed"
[ "$failed" -eq 0 ]
