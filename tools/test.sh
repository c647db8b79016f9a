#!/usr/bin/env bash
# Builds everything and runs every test.
set -eu
cd "$(dirname "$0")/.."
windows_too=1
source tools/deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux
ctest --preset linux

# The Windows program: both builds; the x64 tests under wine (this kernel
# runs no 32-bit programs, so the x86 build is not run).
for preset in windows-x64 windows-x86; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
ctest --preset windows-x64
