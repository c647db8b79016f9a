#!/usr/bin/env bash
# Installs, from Debian's packages, what building and testing need and this
# machine lacks. Sourced by the other scripts.
missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v ninja >/dev/null || missing+=(ninja-build)
command -v g++ >/dev/null || missing+=(g++)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
command -v gdb >/dev/null || missing+=(gdb)
# GTK's headers, for the dialog.
command -v pkg-config >/dev/null || missing+=(pkg-config)
[ -f /usr/include/gtk-3.0/gtk/gtk.h ] || missing+=(libgtk-3-dev)
# With all_tools=1 (the test command): what the tests need beyond the
# build: strace, clang with its sanitizer and libFuzzer runtimes for the
# linux-asan preset, the Windows builds with their tests under wine, and the
# virtual display with its tools that the dialog and wine tests run on.
if [ "${all_tools:-}" = 1 ]; then
    command -v Xvfb >/dev/null || missing+=(xvfb)
    command -v xauth >/dev/null || missing+=(xauth)
    command -v xdotool >/dev/null || missing+=(xdotool)
    command -v xprop >/dev/null || missing+=(x11-utils)
    command -v import >/dev/null || missing+=(imagemagick)
    command -v strace >/dev/null || missing+=(strace)
    command -v clang++ >/dev/null || missing+=(clang)
    dpkg -s libclang-rt-14-dev >/dev/null 2>&1 || missing+=(libclang-rt-14-dev)
    command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v i686-w64-mingw32-g++-posix >/dev/null ||
        missing+=(mingw-w64)
    [ -f /usr/src/googletest/googletest/CMakeLists.txt ] || missing+=(googletest)
    command -v wine >/dev/null && [ -x /usr/lib/wine/wine64 ] || missing+=(wine wine64)
    command -v unzip >/dev/null || missing+=(unzip)
fi
if [ ${#missing[@]} -ne 0 ]; then
    echo "installing: ${missing[*]}"
    sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -q && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}" ||
        { echo "could not install ${missing[*]}" >&2; exit 1; }
fi
