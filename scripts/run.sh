#!/usr/bin/env bash
# Installs, builds and starts the application.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-app -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLMEK_BUILD_TESTS=OFF
cmake --build build-app -j "$(nproc)" --target tolmek
exec ./build-app/src/tolmek "$@"
