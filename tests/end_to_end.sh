#!/usr/bin/env bash
# Runs the built program in fresh folders and checks the files it leaves,
# what it writes to standard error and its exit status.
set -u
# The message must come as a line on standard error, not as a dialog
# waiting on the developer's desktop.
unset DISPLAY WAYLAND_DISPLAY
program=$(realpath "$1")
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect NAME STATUS MESSAGE: runs the program in the current folder, under
# the file-size limit $file_limit when set.
expect() {
    local name=$1 status=$2 message=$3 got
    (ulimit -f "${file_limit:-unlimited}" && exec "$program") 2>"$work/stderr"
    got=$?
    [ "$got" = "$status" ] || fail "$name: exit status $got, expected $status"
    printf 'quorlin-install: %s\n' "$message" | cmp -s - "$work/stderr" ||
        fail "$name: standard error was: $(cat "$work/stderr")"
}

mkdir "$work/dist" && cd "$work/dist" || exit 1
printf 'unit one' >One.dcu
printf 'unit two' >two.DCU
printf 'source' >one.pas
expect "first run" 0 "Quorlin successfully installed!"
[ "$(cat LIB/One.dcu)" = "unit one" ] && [ "$(cat LIB/two.DCU)" = "unit two" ] || fail "units not in LIB"
[ ! -e One.dcu ] && [ ! -e two.DCU ] || fail "units left behind"
[ "$(cat one.pas)" = "source" ] && [ ! -e LIB/one.pas ] || fail "one.pas was touched"
expect "second run" 0 "Quorlin successfully installed!"

mkdir "$work/locked" && cd "$work/locked" || exit 1
mkdir LIB
printf 'old' >LIB/a.dcu && chmod a-w LIB/a.dcu
printf 'new' >a.dcu
printf 'b' >b.dcu
expect "read-only namesake" 1 "Quorlin was not installed completely. These unit files could not be moved into LIB:
a.dcu"
[ "$(cat a.dcu)" = "new" ] && [ "$(cat LIB/a.dcu)" = "old" ] && [ "$(cat LIB/b.dcu)" = "b" ] ||
    fail "read-only namesake: wrong files"

mkdir "$work/libfile" && cd "$work/libfile" || exit 1
printf 'a file' >LIB
printf 'a' >a.dcu
expect "LIB a file" 1 "Quorlin could not be installed: the folder LIB could not be created."
[ "$(cat a.dcu)" = "a" ] && [ "$(cat LIB)" = "a file" ] || fail "LIB a file: wrong files"

# Past a file-size limit the copy fails cleanly: the unit stays, no
# temporary file is left in LIB, and the message says so.
mkdir "$work/limit" && cd "$work/limit" || exit 1
head -c 100000 /dev/zero >big.dcu
printf 'small' >small.dcu
file_limit=64 expect "file-size limit" 1 "Quorlin was not installed completely. These unit files could not be moved into LIB:
big.dcu"
[ "$(wc -c <big.dcu)" = 100000 ] && [ "$(cat LIB/small.dcu)" = small ] || fail "file-size limit: wrong files"
[ -z "$(ls -A LIB | grep -v '^small.dcu$')" ] || fail "file-size limit: left in LIB: $(ls -A LIB)"

# The start-up hands WinMain an x87 unit with control word 0x1332 (bit 6
# reads back as 1 on many processors, so only the defined bits count).
if command -v gdb >/dev/null; then
    mkdir "$work/fpu" && cd "$work/fpu" || exit 1
    control=$(gdb -batch -nx -ex 'break WinMain' -ex run -ex 'printf "control %#x\n", $fctrl' \
        --args "$program" 2>/dev/null | sed -n 's/^control //p')
    [ -n "$control" ] && [ $((control & 0x1F3F)) = $((0x1332)) ] ||
        fail "control word at WinMain: '${control}', expected 0x1332"
else
    echo "SKIP: no gdb, start-up control word not checked"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures end-to-end check(s) failed"
    exit 1
fi
echo "end-to-end: all checks passed"
