#!/bin/sh
# Installs what is missing, builds, and runs every test: the Windows cross
# build and its inspection first, then the whole ctest suite.
set -eu
cd "$(dirname "$0")/.."
tools/install_dependencies.sh
tools/build.sh
tools/cross_build.sh
cd build
ctest --output-on-failure --timeout 300 -j 2
