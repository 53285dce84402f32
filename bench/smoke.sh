#!/usr/bin/env bash
# Runs one benchmark program as a smoke test, not a timing: the first case of each of its benchmarks (the
# smallest arguments come first), each as briefly as it allows. Fails when the program fails.
set -euo pipefail
bin=$1
# "Name/arg/…" (one word a line): the first listed of each name.
names=$("$bin" --benchmark_list_tests=true 2>/dev/null | grep -E '^[A-Za-z_][^ ]*$' | awk -F/ '!seen[$1]++')
if [ -z "$names" ]; then
  echo "no benchmarks listed by $bin" >&2
  exit 1
fi
escaped=$(printf '%s\n' "$names" | sed 's/[][\.*^$+?(){}|]/\\&/g' | paste -sd'|')
exec "$bin" --benchmark_min_time=0.001 "--benchmark_filter=^(${escaped})\$"
