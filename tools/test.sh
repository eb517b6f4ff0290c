#!/bin/sh
# Installs what is missing, builds, and runs every test: the Windows cross
# build and its inspection, the whole suite under AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/), then the whole suite of the
# normal build, whose summary comes last. Any failure fails the run.
set -eu
cd "$(dirname "$0")/.."
tools/install_dependencies.sh
tools/build.sh
status=0
tools/cross_build.sh || status=1
tools/sanitizer_tests.sh || status=1
cd build
ctest --output-on-failure --timeout 300 -j 2 || status=1
exit $status
