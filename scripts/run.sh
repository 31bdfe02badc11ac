#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo full screen from the build directory,
# where the build writes the data set (data/). Escape ends it early.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)"
cd build
exec ./tarvola
