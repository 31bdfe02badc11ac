#!/usr/bin/env bash
# Installs what building and running need (nothing of the tests), builds the demo, the capture
# renderer and the data set into build/, and plays the demo full screen. Escape ends it early.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --run
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTARVOLA_TESTS=OFF -DTARVOLA_BENCH=OFF
cmake --build build -j "$(nproc)" --target tarvola tarvola-capture data
exec build/tarvola
