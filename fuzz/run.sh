#!/usr/bin/env bash
# Builds the RTF reader's fuzzer with clang and runs it for a bounded time from the seed corpus.
# Exits non-zero when the fuzzer finds a crash, a hang or a round-trip fault.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build-fuzz
mkdir -p "$out/corpus" "$out/artifacts"

qt_flags=$(pkg-config --cflags --libs Qt6Gui Qt6Core)
# shellcheck disable=SC2086
clang++ -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -Isrc fuzz/rtf_fuzzer.cpp src/rtf/*.cpp $qt_flags -o "$out/rtf_fuzzer"

cp -f fuzz/seeds/*.rtf "$out/corpus/"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
"$out/rtf_fuzzer" "$out/corpus" -dict=fuzz/rtf.dict -max_total_time="${FUZZ_SECONDS:-60}" -rss_limit_mb=2048 \
  -timeout=10 -max_len=8192 -artifact_prefix="$out/artifacts/" -print_final_stats=1
