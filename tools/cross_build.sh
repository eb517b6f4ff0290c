#!/bin/sh
# Cross-builds primitives_demo.exe and cubes_demo.exe for 32-bit Windows in
# build-windows/ and inspects both: PE32 for i386, the GUI subsystem, WinMain
# as the program's entry, and imports from system DLLs only. Installs the
# mingw-w64 i686 compiler when it is missing and can be installed; when it
# cannot be had, says so and skips the step.
set -eu
cd "$(dirname "$0")/.."

triplet=i686-w64-mingw32
package=g++-mingw-w64-i686

install_cross_compiler() {
    command -v apt-get >/dev/null 2>&1 || return 1
    if [ "$(id -u)" -eq 0 ]; then
        sudo=""
    elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
        sudo="sudo -n"
    else
        return 1
    fi
    echo "Installing: $package"
    $sudo apt-get update -q || return 1
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "$package" || return 1
}

if ! command -v "$triplet-g++" >/dev/null 2>&1; then
    if ! install_cross_compiler || ! command -v "$triplet-g++" >/dev/null 2>&1; then
        echo "SKIPPED: Windows cross build: $triplet-g++ is missing and $package cannot be installed here"
        exit 0
    fi
fi

started=$(date +%s)
cmake --preset windows-i686 >/dev/null
cmake --build --preset windows-i686 -j "$(nproc)"
echo "Windows cross build: $(($(date +%s) - started)) s"

failures=0
fail() {
    echo "  FAIL: $1"
    failures=$((failures + 1))
}

# inspect NAME REQUIRED_DLLS: checks build-windows/NAME.exe.
inspect() {
    exe="build-windows/$1.exe"
    echo "$exe:"
    if [ ! -f "$exe" ]; then
        fail "not built"
        return
    fi
    headers=$("$triplet-objdump" -p "$exe")
    format=$(echo "$headers" | sed -n 's/.*file format //p')
    magic=$(echo "$headers" | sed -n 's/^Magic[[:space:]]*//p' | tr '\t' ' ')
    subsystem=$(echo "$headers" | sed -n 's/^Subsystem[[:space:]]*//p' | tr '\t' ' ')
    dlls=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p')

    [ "$format" = "pei-i386" ] || fail "file format is '$format', not pei-i386"
    [ "$magic" = "010b (PE32)" ] || fail "magic is '$magic', not 010b (PE32)"
    [ "$subsystem" = "00000002 (Windows GUI)" ] || fail "subsystem is '$subsystem', not 00000002 (Windows GUI)"
    "$triplet-nm" "$exe" | grep -q " T _WinMain@16$" || fail "no WinMain"
    for dll in $dlls; do
        case $(echo "$dll" | tr '[:upper:]' '[:lower:]') in
        kernel32.dll | user32.dll | gdi32.dll | opengl32.dll | glu32.dll | msvcrt.dll | api-ms-win-crt-*.dll) ;;
        *) fail "imports $dll, which is not a system DLL" ;;
        esac
    done
    for required in $2; do
        echo "$dlls" | grep -qix "$required" || fail "does not import $required"
    done
    echo "  $format, $magic, subsystem $subsystem, imports: $(echo "$dlls" | paste -sd ' ')"
}

inspect primitives_demo "USER32.dll GDI32.dll OPENGL32.dll"
inspect cubes_demo "USER32.dll GDI32.dll OPENGL32.dll GLU32.dll"

if [ "$failures" -ne 0 ]; then
    echo "Windows executables: $failures check(s) failed"
    exit 1
fi
echo "Windows executables: both pass the inspection"
