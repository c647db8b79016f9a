#!/usr/bin/env bash
# Builds everything and runs every test.
set -eu
cd "$(dirname "$0")/.."
source tools/deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux
ctest --preset linux
