# What the durability checks share, sourced with the program's path as $1:
# a fresh work folder, removed on exit with every tmpfs a check mounted
# unmounted first; failures counted; the program run and its message read.
set -u
# Each message must come as a line on standard error, not as a dialog.
unset DISPLAY WAYLAND_DISPLAY
program=$(realpath "$1")
work=$(mktemp -d)
mounts=()
extra_dirs=()
cleanup() {
    cd /
    local i
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}"
    done
    chmod -R u+w "$work" "${extra_dirs[@]}" 2>/dev/null
    rm -rf "$work" "${extra_dirs[@]}"
}
trap cleanup EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Ends the check: 0 when nothing failed.
finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "$(basename "$0" .sh): all checks passed"
    exit 0
}

ok_text="Quorlin successfully installed!"
left_text="Quorlin was not installed completely. These unit files could not be moved into LIB:"
no_lib_text="Quorlin could not be installed: the folder LIB could not be created."

# mount_tmpfs DIR OPTIONS: makes the fresh folder DIR and mounts a tmpfs on
# it, unmounted on exit; false where this machine does not let us mount.
mount_tmpfs() {
    mkdir "$1" || return 1
    mount -t tmpfs -o "$2" quorlin-test "$1" 2>/dev/null || return 1
    mounts+=("$(realpath "$1")")
}

# run DIR [PREFIX...]: runs the program in DIR, under PREFIX when given
# (setpriv, strace), leaving its exit status in $status and what it wrote
# to standard error in $work/stderr.
run() {
    local dir=$1
    shift
    (cd "$dir" && exec "$@" "$program") 2>"$work/stderr"
    status=$?
}

# said TEXT: whether the program's one line of standard error is TEXT.
said() {
    printf 'quorlin-install: %s\n' "$1" | cmp -s - "$work/stderr"
}

# The names the last message lists as not moved, one a line, sorted; its
# "(and N more)" line, if any, is left out (see more_count).
listed_units() {
    sed -n '2,$p' "$work/stderr" | grep -v '^(and [0-9]* more)$' | LC_ALL=C sort
}

# The N of the last message's "(and N more)", or 0.
more_count() {
    sed -n 's/^(and \([0-9]*\) more)$/\1/p' "$work/stderr" | grep . || echo 0
}

# said_left NAME...: whether the last message is the list of units not
# moved and names exactly NAME... (in any order: it follows the search).
said_left() {
    [ "$(head -n 1 "$work/stderr")" = "quorlin-install: $left_text" ] &&
        [ "$(listed_units)" = "$(printf '%s\n' "$@" | LC_ALL=C sort)" ] &&
        [ "$(more_count)" = 0 ]
}

# The copies' temporary files left below the given folders, one a line.
temp_files() {
    find "$@" -name '.quorlin-*' 2>/dev/null
}
