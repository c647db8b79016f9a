#!/usr/bin/env bash
# Builds everything and runs every test.
set -eu
cd "$(dirname "$0")/.."
all_tools=1
source tools/deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux
ctest --preset linux
# Again with address and undefined-behaviour checks, and the fuzz targets.
cmake --preset linux-asan >/dev/null
cmake --build --preset linux-asan
ctest --preset linux-asan

# The Windows program: both builds; the x64 tests under wine (this kernel
# runs no 32-bit programs, so the x86 build is not run).
for preset in windows-x64 windows-x86; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
ctest --preset windows-x64
