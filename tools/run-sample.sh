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
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "== running quorlin-install: its message opens as a dialog; close it to go on"
else
    echo "== running quorlin-install: no display, so its message is a line on standard error"
fi
status=0
"$program" || status=$?
echo "== exit status $status; $folder after"
ls -lR
