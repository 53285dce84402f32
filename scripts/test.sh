#!/usr/bin/env bash
# Installs, builds and runs every test: a normal build, then the same tests under ASan and UBSan,
# then a bounded fuzzing run of the RTF reader.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLMEK_BUILD_TESTS=ON -DTOLMEK_WERROR=ON
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs") | tee build/ctest.log

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLMEK_SANITIZE=ON -DTOLMEK_BUILD_TESTS=ON
cmake --build build-asan -j "$jobs"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && TOLMEK_SANITIZED=1 ctest --output-on-failure -j "$jobs") | tee build-asan/ctest.log

fuzzed=0
if [ -x fuzz/run.sh ]; then
  bash fuzz/run.sh
  fuzzed=1
fi

# One closing line for the whole run: every test program of both builds, and the fuzzing run.
count() { sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\2 \1/p' "$1" | tail -n 1; }
read -r total1 failed1 < <(count build/ctest.log)
read -r total2 failed2 < <(count build-asan/ctest.log)
failed=$((failed1 + failed2))
echo "ci: $((total1 + total2 + fuzzed - failed)) passed, $failed failed"
