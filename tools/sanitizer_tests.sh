#!/bin/sh
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/ (the "asan" CMake preset, a Debug build) and runs the ctest suite
# there. A sanitizer finding ends the program that has it and fails its test;
# LeakSanitizer checks every test program, and the demos the tests start, at
# their exit. The valgrind tests are left out: valgrind cannot run programs
# built with AddressSanitizer.
set -eu
cd "$(dirname "$0")/.."

cmake --preset asan >/dev/null
cmake --build --preset asan -j "$(nproc)"

suppressions="$(pwd)/tools/lsan_suppressions.txt"
export ASAN_OPTIONS="detect_leaks=1"
export LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

echo "Sanitizer run: the ctest suite of build-asan/"
cd build-asan
ctest --output-on-failure --timeout 300 -j 2 -LE valgrind
