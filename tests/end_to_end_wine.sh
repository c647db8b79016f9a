#!/usr/bin/env bash
# Runs the Windows exe under wine in fresh folders and checks the box it
# shows (read, then closed with OK, by box_reader.exe), the files it leaves
# and its exit status.  Keeps a screenshot of the success box.
#   end_to_end_wine.sh WINE_RUN STATE EXE BOX_READER SCREENSHOT
set -u
wine_run=$1 state=$2 exe=$3 box_reader=$4 screenshot=$5
work=$(mktemp -d /tmp/quorlin-wine-XXXXXX)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
run_box_reader() { (cd "$work" && "$wine_run" "$state" "$box_reader" "$@"); }

# expect NAME STATUS MESSAGE [shoot]: runs the exe in the current folder;
# its box must be captioned with the exe's file name and say MESSAGE.
expect() {
    local name=$1 status=$2 message=$3 shoot=${4:-} got box pid
    "$wine_run" "$state" "$exe" </dev/null >/dev/null 2>&1 &
    pid=$!
    if [ -n "$shoot" ]; then
        # Drawn by now, or the picture tells.
        run_box_reader --leave 20 >/dev/null && sleep 1 &&
            import -window root -display ":$(cat "$state/display")" "$screenshot" ||
            fail "$name: no screenshot"
    fi
    if ! box=$(run_box_reader 20); then
        fail "$name: no message box"
        kill "$pid" 2>/dev/null
    fi
    wait "$pid"
    got=$?
    [ "$got" = "$status" ] || fail "$name: exit status $got, expected $status"
    [ "$box" = "quorlin-install.exe: $message" ] || fail "$name: the box said: $box"
}

not_complete="Quorlin was not installed completely. These unit files could not be moved into LIB:"

# cd_new_folder NAME [LENGTH]: makes and enters a fresh folder, LENGTH
# characters long as wine shows it ("Z:" and the Linux path).
cd_new_folder() {
    local path=$work/$1
    if [ -n "${2:-}" ]; then
        path+=/
        while [ $((${#path} + 2)) -lt "$2" ]; do path+=d; done
    fi
    mkdir -p "$path" && cd "$path" || exit 1
}

cd_new_folder dist
printf 'unit one' >One.dcu
printf 'unit two' >two.DCU
printf 'source' >one.pas
expect "first run" 0 "Quorlin successfully installed!" shoot
[ "$(cat LIB/One.dcu)" = "unit one" ] && [ "$(cat LIB/two.DCU)" = "unit two" ] || fail "units not in LIB"
[ ! -e One.dcu ] && [ ! -e two.DCU ] || fail "units left behind"
[ "$(cat one.pas)" = "source" ] && [ ! -e LIB/one.pas ] || fail "one.pas was touched"
expect "second run" 0 "Quorlin successfully installed!"

# Wine run as root writes over read-only files, which Windows refuses.
if [ "$(id -u)" -ne 0 ]; then
    cd_new_folder locked
    mkdir LIB
    printf 'old' >LIB/a.dcu && chmod a-w LIB/a.dcu
    printf 'new' >a.dcu
    printf 'b' >b.dcu
    expect "read-only namesake" 1 "$not_complete
a.dcu"
    [ "$(cat a.dcu)" = "new" ] && [ "$(cat LIB/a.dcu)" = "old" ] && [ "$(cat LIB/b.dcu)" = "b" ] ||
        fail "read-only namesake: wrong files"
else
    echo "SKIP: read-only namesake (wine as root writes over read-only files)"
fi

cd_new_folder folder-namesake
mkdir -p LIB/a.dcu
printf 'a' >a.dcu
printf 'b' >b.dcu
expect "namesake a folder" 1 "$not_complete
a.dcu"
[ "$(cat a.dcu)" = "a" ] && [ -d LIB/a.dcu ] && [ "$(cat LIB/b.dcu)" = "b" ] && [ ! -e b.dcu ] ||
    fail "namesake a folder: wrong files"

cd_new_folder read-only-unit
printf 'a' >a.dcu && chmod a-w a.dcu
printf 'b' >b.dcu
expect "read-only unit" 1 "$not_complete
a.dcu"
[ "$(cat a.dcu)" = "a" ] && [ "$(cat LIB/a.dcu)" = "a" ] && [ "$(cat LIB/b.dcu)" = "b" ] && [ ! -e b.dcu ] ||
    fail "read-only unit: wrong files"

cd_new_folder libfile
printf 'a file' >LIB
printf 'a' >a.dcu
expect "LIB a file" 1 "Quorlin could not be installed: the folder LIB could not be created."
[ "$(cat a.dcu)" = "a" ] && [ "$(cat LIB)" = "a file" ] || fail "LIB a file: wrong files"

# From a folder of 252 characters the longest names (255) take a unit's
# path in LIB to 512; one shorter fits in 511.
cd_new_folder long 252
fits=$(printf 'f%.0s' $(seq 250)).dcu
too_long=$(printf 'g%.0s' $(seq 251)).dcu
printf 'fits' >"$fits"
printf 'too long' >"$too_long"
expect "LIB path past 511" 1 "$not_complete
$too_long"
[ "$(cat "LIB/$fits")" = fits ] && [ ! -e "$fits" ] && [ "$(cat "$too_long")" = "too long" ] &&
    [ ! -e "LIB/$too_long" ] || fail "LIB path past 511: wrong files"

# Not run: a folder of 499 characters.  Windows keeps the current folder
# under MAX_PATH; wine, asked to start a program in a longer one, starts
# it in C:\windows instead.

if [ "$failures" -ne 0 ]; then
    echo "$failures end-to-end check(s) under wine failed"
    exit 1
fi
echo "end-to-end under wine: all checks passed; success box in $screenshot"
