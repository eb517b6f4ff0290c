#!/bin/sh
# Configures and builds the project in build/ (Release unless BUILD_TYPE says otherwise).
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build build -j "$(nproc)"
