#!/bin/sh
# Configures and builds into build/ (Release unless BUILD_TYPE says otherwise).
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" >/dev/null
cmake --build build --parallel "$(nproc)"
