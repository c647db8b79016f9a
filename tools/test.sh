#!/usr/bin/env bash
# Builds everything and runs every test.
set -eu
cd "$(dirname "$0")/.."
source tools/deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux
ctest --preset linux
# Again with address and undefined-behaviour checks, and the fuzz targets.
cmake --preset linux-asan >/dev/null
cmake --build --preset linux-asan
ctest --preset linux-asan
