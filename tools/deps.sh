#!/usr/bin/env bash
# Installs, from Debian's packages, what building and testing need and this
# machine lacks. Sourced by the other scripts.
missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v ninja >/dev/null || missing+=(ninja-build)
command -v g++ >/dev/null || missing+=(g++)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
command -v gdb >/dev/null || missing+=(gdb)
# The dialog: GTK's headers to build it, a display of its own to test it on.
command -v pkg-config >/dev/null || missing+=(pkg-config)
[ -f /usr/include/gtk-3.0/gtk/gtk.h ] || missing+=(libgtk-3-dev)
command -v Xvfb >/dev/null || missing+=(xvfb)
command -v xauth >/dev/null || missing+=(xauth)
command -v xdotool >/dev/null || missing+=(xdotool)
command -v xprop >/dev/null || missing+=(x11-utils)
command -v import >/dev/null || missing+=(imagemagick)
if [ ${#missing[@]} -ne 0 ]; then
    echo "installing: ${missing[*]}"
    sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -q && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}" ||
        { echo "could not install ${missing[*]}" >&2; exit 1; }
fi
