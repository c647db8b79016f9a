#!/usr/bin/env bash
# Installs, from Debian's packages, what building and testing need and this
# machine lacks. Sourced by the other scripts.
missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v ninja >/dev/null || missing+=(ninja-build)
command -v g++ >/dev/null || missing+=(g++)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
command -v gdb >/dev/null || missing+=(gdb)
command -v strace >/dev/null || missing+=(strace)
# The linux-asan preset: clang with its sanitizer and libFuzzer runtimes.
command -v clang++ >/dev/null || missing+=(clang)
dpkg -s libclang-rt-14-dev >/dev/null 2>&1 || missing+=(libclang-rt-14-dev)
if [ ${#missing[@]} -ne 0 ]; then
    echo "installing: ${missing[*]}"
    sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -q && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}" ||
        { echo "could not install ${missing[*]}" >&2; exit 1; }
fi
