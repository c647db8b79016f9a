#!/usr/bin/env bash
# LIB on a small tmpfs that fills up: the units that fit move, the rest stay
# whole and are named in the message, and no temporary file is left in LIB.
# Needs to mount a tmpfs (root); skips where it cannot.
source "$(dirname "$0")/durable_common.sh"

if ! mount_tmpfs "$work/probe" size=64k; then
    echo "SKIP: cannot mount a tmpfs here (needs root and mount rights)"
    exit 77
fi

# make_units DIR COUNT KIB: COUNT units of KIB KiB each, distinct bytes;
# their sums go to $work/sums.
make_units() {
    local i
    for ((i = 0; i < $2; i++)); do
        { printf 'unit %d\n' "$i"; head -c $(($3 * 1024 - 16)) /dev/urandom; } >"$1/u$i.dcu"
    done
}

# check_moved_or_listed DIR WHAT: every unit in $work/sums is either in
# DIR/LIB alone or in DIR alone, whole; the message lists the first ten
# left, distinct, and counts the rest; LIB holds nothing else.  Leaves the
# numbers moved and left in $moved and $left.
check_moved_or_listed() {
    local dir=$1 what=$2 name sum listed
    moved=0 left=0
    : >"$work/left"
    while read -r sum name; do
        if [ -e "$dir/LIB/$name" ] && [ ! -e "$dir/$name" ]; then
            [ "$(sha256sum <"$dir/LIB/$name" | cut -d' ' -f1)" = "$sum" ] || fail "$what: LIB/$name is not whole"
            moved=$((moved + 1))
        elif [ -e "$dir/$name" ] && [ ! -e "$dir/LIB/$name" ]; then
            [ "$(sha256sum <"$dir/$name" | cut -d' ' -f1)" = "$sum" ] || fail "$what: $name is not whole"
            echo "$name" >>"$work/left"
            left=$((left + 1))
        else
            fail "$what: $name is in both places or in neither"
        fi
    done <"$work/sums"
    if [ "$left" = 0 ]; then
        said "$ok_text" || fail "$what: said $(cat "$work/stderr")"
        [ "$status" = 0 ] || fail "$what: exit status $status, expected 0"
    else
        [ "$status" = 1 ] || fail "$what: exit status $status, expected 1"
        [ "$(head -n 1 "$work/stderr")" = "quorlin-install: $left_text" ] || fail "$what: said $(cat "$work/stderr")"
        listed=$(listed_units)
        local shown=$((left < 10 ? left : 10))
        [ "$(printf '%s\n' "$listed" | grep -c .)" = "$shown" ] || fail "$what: lists $listed"
        [ -z "$(printf '%s\n' "$listed" | uniq -d)" ] || fail "$what: lists a unit twice"
        [ -z "$(printf '%s\n' "$listed" | grep -v -x -F -f "$work/left")" ] || fail "$what: lists a unit that moved"
        [ "$(more_count)" = $((left - shown)) ] || fail "$what: says (and $(more_count) more) of $left left"
    fi
    local stray
    stray=$(ls -A "$dir/LIB" | grep -v -x -F -f <(cut -d' ' -f3 "$work/sums"))
    [ -z "$stray" ] || fail "$what: LIB holds $stray"
}

# The folder on the disk, LIB a tmpfs of 64 pages: copies go through the
# read/write loop (another filesystem) and 16 units of 4 pages at most fit,
# so more than ten are left.
mkdir -p "$work/apart/dist"
mount_tmpfs "$work/apart/dist/LIB" size=256k || exit 1
make_units "$work/apart/dist" 30 16
(cd "$work/apart/dist" && sha256sum -- *.dcu) >"$work/sums"
run "$work/apart/dist"
check_moved_or_listed "$work/apart/dist" "LIB a tmpfs apart"
[ "$moved" -gt 0 ] && [ "$left" -gt 10 ] || fail "LIB a tmpfs apart: $moved moved, $left left: it did not fill part-way"
echo "LIB a tmpfs apart: $moved moved, $left left"

# Folder and LIB on one tmpfs of 256 pages, 210 of them held by the units:
# the kernel copies in place; each small unit needs one free page for the
# moment between its copy and its deletion, no big one finds 50 free.
mount_tmpfs "$work/one" size=1m || exit 1
mkdir "$work/one/dist"
make_units "$work/one/dist" 10 4
for i in 0 1 2 3; do
    { printf 'big unit %d\n' "$i"; head -c $((200 * 1024 - 16)) /dev/urandom; } >"$work/one/dist/big$i.dcu"
done
(cd "$work/one/dist" && sha256sum -- *.dcu) >"$work/sums"
run "$work/one/dist"
check_moved_or_listed "$work/one/dist" "LIB on the folder's own tmpfs"
said_left big0.dcu big1.dcu big2.dcu big3.dcu || fail "LIB on the folder's own tmpfs: said $(cat "$work/stderr")"

# Out of inodes: LIB cannot be made and nothing is touched; or, with LIB
# there already, no copy can begin and every unit is listed.
for lib in missing present; do
    what="tmpfs out of inodes, LIB $lib"
    dir=$work/inodes-$lib
    mount_tmpfs "$dir" size=1m,nr_inodes=16 || exit 1
    [ "$lib" = missing ] || mkdir "$dir/LIB"
    for ((i = 0;; i++)); do { printf 'unit %d' "$i" >"$dir/u$i.dcu"; } 2>/dev/null || break; done
    rm -f "$dir/u$i.dcu"
    (cd "$dir" && sha256sum -- *.dcu) >"$work/sums"
    run "$dir"
    if [ "$lib" = missing ]; then
        [ "$status" = 1 ] && said "$no_lib_text" || fail "$what: status $status, said $(cat "$work/stderr")"
        [ ! -e "$dir/LIB" ] || fail "$what: LIB made"
        (cd "$dir" && sha256sum --quiet -c "$work/sums") || fail "$what: units changed"
    else
        check_moved_or_listed "$dir" "$what"
        [ "$moved" = 0 ] || fail "$what: $moved moved"
    fi
done

left_temps=$(temp_files "$work")
[ -z "$left_temps" ] || fail "temporary files left: $left_temps"
finish
