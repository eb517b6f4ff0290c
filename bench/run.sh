#!/bin/sh
# Builds the project in Release (in build-bench/) and runs the whole benchmark
# on a private 800x600 Xvfb: both demos against their bare Xlib + GLX
# references, and the layer's message calls. Prints the table of figures and
# goals and writes it to build-bench/bench-results.md. About 20 minutes.
#   bench/run.sh [--rounds N] [--startup-rounds N] [--only picture,startup,fps,allocations,instructions,layer]
set -eu
cd "$(dirname "$0")/.."

tools/install_dependencies.sh
if ! command -v valgrind >/dev/null 2>&1; then
    if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends valgrind
fi

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQUORLANE_BUILD_TESTS=OFF -DQUORLANE_BUILD_BENCH=ON >/dev/null
cmake --build build-bench -j "$(nproc)" --target bench_harness >/dev/null

work="$PWD/build-bench/bench-work"
mkdir -p "$work"
displayfd="$work/displayfd"
: >"$displayfd"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>"$displayfd" 2>"$work/xvfb.log" &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT INT TERM
for _ in $(seq 100); do [ -s "$displayfd" ] && break; sleep 0.1; done
if ! [ -s "$displayfd" ]; then
    echo "Xvfb did not start (see $work/xvfb.log)" >&2
    exit 1
fi
DISPLAY=":$(head -n1 "$displayfd")"
export DISPLAY
# Mesa keeps its compiled shaders here rather than in the user's cache: every
# run of the bench starts from an empty cache, which its first runs (the
# picture checks) fill before anything is measured.
MESA_SHADER_CACHE_DIR="$work/mesa-shader-cache"
rm -rf "$MESA_SHADER_CACHE_DIR"
export MESA_SHADER_CACHE_DIR

# What renders, and the state of the sources measured, for the table's heading.
BENCH_RENDERER=$(glxinfo -B 2>/dev/null | sed -n 's/^OpenGL renderer string: //p; s/^OpenGL version string: .*\(Mesa [0-9.]*\).*/\1/p' | tr '\n' ' ' | sed 's/ $//')
export BENCH_RENDERER
if commit=$(git rev-parse --short HEAD 2>/dev/null); then
    if [ -n "$(git status --porcelain -- win32 glwindow primitives cubes bench 2>/dev/null)" ]; then
        commit="$commit with uncommitted changes"
    fi
    BENCH_SOURCES="commit $commit"
    export BENCH_SOURCES
fi

build-bench/bench_harness --work-dir "$work" --output build-bench/bench-results.md "$@"
