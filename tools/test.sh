#!/bin/sh
# Installs what is missing, builds, and runs every test.
set -eu
cd "$(dirname "$0")/.."
tools/install_dependencies.sh
tools/build.sh
cd build
ctest --output-on-failure --timeout 300 -j 2
