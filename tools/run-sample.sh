#!/usr/bin/env bash
# Builds the program and runs it on a fresh copy of the sample distribution
# folder, showing the folder before and after.
set -eu
cd "$(dirname "$0")/.."
source tools/deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux >/dev/null
program=$PWD/build/linux/quorlin-install

folder=$(mktemp -d /tmp/quorlin-sample-XXXXXX)
cp -R sample/. "$folder"
cd "$folder"
echo "== $folder before"
ls -lR
echo "== running quorlin-install"
status=0
"$program" || status=$?
echo "== exit status $status; $folder after"
ls -lR
