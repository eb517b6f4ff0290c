#!/bin/sh
# Installs what is missing, builds, and runs one demo:
#   tools/run_demo.sh [primitives_demo|cubes_demo]
# With a display, the demo opens its window there. Without one, it runs on a
# private virtual display: a PNG screenshot of its window is saved, Escape
# ends it, and the screenshot's path and the exit code are printed.
set -eu
cd "$(dirname "$0")/.."
demo="${1:-primitives_demo}"
case "$demo" in
primitives_demo | cubes_demo) ;;
*) echo "usage: $0 [primitives_demo|cubes_demo]" >&2; exit 2 ;;
esac

tools/install_dependencies.sh
tools/build.sh >/dev/null
program="$PWD/build/$demo"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec "$program"
fi

displayfd=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfd" 2>/dev/null &
server=$!
trap 'kill "$server" 2>/dev/null; rm -f "$displayfd"' EXIT
for _ in $(seq 100); do [ -s "$displayfd" ] && break; sleep 0.1; done
DISPLAY=":$(head -n1 "$displayfd")"
export DISPLAY

"$program" &
demo_pid=$!
window=""
for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^Quorlane$' 2>/dev/null | head -n1) && [ -n "$window" ] && break
    sleep 0.1
done
sleep 1
mkdir -p build/screenshots
screenshot="$PWD/build/screenshots/$demo.png"
xwd -silent -id "$window" | convert xwd:- "$screenshot"
xdotool windowfocus "$window" 2>/dev/null || true
xdotool key Escape 2>/dev/null || true
status=0
wait "$demo_pid" || status=$?
echo "screenshot: $screenshot"
echo "exit code: $status"
