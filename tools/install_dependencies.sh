#!/bin/sh
# Installs what a fresh Debian 12 machine lacks to build, run and test the
# demos. Packages already present are left alone; nothing runs when none is
# missing.
set -eu

packages="cmake make g++ pkg-config clang-format
libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri mesa-utils
libx11-dev libxrandr-dev libxtst-dev libxdamage-dev
googletest libgtest-dev libgmock-dev libbenchmark-dev
xvfb xauth x11-apps x11-utils xdotool imagemagick openbox
xserver-xorg-core xserver-xorg-video-dummy valgrind"

missing=""
for package in $packages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done

if [ -n "$missing" ]; then
    echo "Installing:$missing"
    if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
    $sudo apt-get update -q
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
fi
