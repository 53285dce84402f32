#!/usr/bin/env bash
# Installs, builds and runs every test: a normal build, then the same tests under ASan and UBSan,
# then a bounded fuzzing run of the RTF reader.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLMEK_BUILD_TESTS=ON
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLMEK_SANITIZE=ON -DTOLMEK_BUILD_TESTS=ON
cmake --build build-asan -j "$jobs"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && TOLMEK_SANITIZED=1 ctest --output-on-failure -j "$jobs")

if [ -x fuzz/run.sh ]; then
  bash fuzz/run.sh
fi
