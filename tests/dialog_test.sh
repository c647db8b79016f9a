#!/usr/bin/env bash
# Runs the built program on a display of its own (Xvfb) and answers its
# dialog as a user would: checks the window, saves a screenshot of it,
# presses a key and checks the files and the exit status.
# Usage: dialog_test.sh PROGRAM ARTIFACT_DIR (the screenshots go there).
set -u
program=$(realpath "$1")
artifacts=$(realpath "$2")
for tool in Xvfb xauth xdotool xprop import; do
    command -v "$tool" >/dev/null || { echo "SKIP: no $tool"; exit 77; }
done
work=$(mktemp -d)
xvfb=
trap '[ -n "$xvfb" ] && kill "$xvfb"; chmod -R u+w "$work"; rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A display of our own, open only to holders of its cookie: Xvfb picks a
# free number and writes it to us.
cookie=$(head -c 16 /dev/urandom | od -An -tx1 | tr -d ' \n')
: >"$work/server.auth" && : >"$work/client.auth"
xauth -q -f "$work/server.auth" add :0 . "$cookie"
exec {display_fd}< <(exec Xvfb -displayfd 1 -auth "$work/server.auth" -noreset -nolisten tcp \
    -screen 0 800x600x24 2>"$work/xvfb.log")
xvfb=$!
read -r -t 30 -u "$display_fd" number || { echo "FAIL: Xvfb did not start: $(cat "$work/xvfb.log")"; exit 1; }
xauth -q -f "$work/client.auth" add ":$number" . "$cookie"
export DISPLAY=:$number XAUTHORITY=$work/client.auth
unset WAYLAND_DISPLAY
# GTK's own allocations live until exit; a sanitized build must not call them leaks.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
# No accessibility bus here: keep GTK from looking for one.
export NO_AT_BRIDGE=1

# finish PID: waits for the program to end (at most 20 s) and sets got to
# its exit status, or to "hung" after killing it.  (Not in a subshell: only
# this shell can wait for its child.)
finish() {
    local i
    for ((i = 0; i < 200; i++)); do
        if ! kill -0 "$1" 2>/dev/null; then
            wait "$1"
            got=$?
            return
        fi
        sleep 0.1
    done
    kill "$1"
    wait "$1"
    got=hung
}

# answer NAME KEY STATUS: runs the program in the current folder, waits for
# its dialog, checks it, saves NAME.png, presses KEY and checks that the
# program then ends with STATUS, having written nothing to standard error
# (the message is in the dialog, not there).
answer() {
    local name=$1 key=$2 status=$3 pid window
    "$program" 2>"$work/stderr" &
    pid=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --name '^quorlin-install$' | head -n 1)
    if [ -z "$window" ]; then
        fail "$name: no dialog appeared; standard error: $(cat "$work/stderr")"
        kill "$pid" 2>/dev/null
        wait "$pid"
        return
    fi
    [ "$(xdotool getwindowname "$window")" = quorlin-install ] || fail "$name: title $(xdotool getwindowname "$window")"
    xprop -id "$window" _NET_WM_STATE | grep -q _NET_WM_STATE_MODAL || fail "$name: dialog not modal"
    height=$(xwininfo -id "$window" | sed -n 's/^ *Height: //p')
    import -window root "$artifacts/$name.png" || fail "$name: no screenshot"
    # Without a window manager, keys sent to a window are ignored: give it
    # the focus and type as the user would.
    timeout 10 xdotool windowfocus --sync "$window" || fail "$name: could not focus the dialog"
    xdotool key "$key"
    finish "$pid"
    [ "$got" = "$status" ] || fail "$name: exit status $got after $key, expected $status"
    [ ! -s "$work/stderr" ] || fail "$name: standard error was: $(cat "$work/stderr")"
}

mkdir "$work/dist" && cd "$work/dist" || exit 1
printf 'unit one' >One.dcu
printf 'source' >one.pas
answer dialog-success Return 0
success_height=${height:-0}
[ "$(cat LIB/One.dcu 2>/dev/null)" = "unit one" ] && [ ! -e One.dcu ] || fail "success: unit not moved"
[ "$(cat one.pas)" = source ] || fail "success: one.pas touched"

# Two units stay, one with a name that is not UTF-8: the dialog shows the
# longer message, closed with Escape.
mkdir "$work/locked" && cd "$work/locked" || exit 1
mkdir LIB
printf 'old' >LIB/a.dcu && chmod a-w LIB/a.dcu
printf 'new' >a.dcu
mkdir $'caf\xe9.dcu'
answer dialog-incomplete Escape 1
[ "${height:-0}" -gt "$success_height" ] ||
    fail "incomplete: dialog ${height:-?} pixels high, no taller than the one-line message's $success_height"
[ "$(cat a.dcu)" = new ] && [ "$(cat LIB/a.dcu)" = old ] || fail "incomplete: wrong files"

# A display named that cannot be opened, because it is not there or it
# refuses us: GTK does not start, and the message is the usual line on
# standard error, alone (the X library's own complaint must not show).
absent=$((number + 1))
while [ -e "/tmp/.X11-unix/X$absent" ]; do absent=$((absent + 1)); done
while read -r case display authority; do
    mkdir "$work/$case" && cd "$work/$case" || exit 1
    printf 'a' >a.dcu
    DISPLAY=$display XAUTHORITY=$authority "$program" 2>"$work/stderr"
    got=$?
    [ "$got" = 0 ] || fail "$case: exit status $got"
    printf 'quorlin-install: Quorlin successfully installed!\n' | cmp -s - "$work/stderr" ||
        fail "$case: standard error was: $(cat "$work/stderr")"
    [ -e LIB/a.dcu ] || fail "$case: unit not moved"
done <<EOF
display-absent :$absent $work/client.auth
display-refused :$number $work/no-such.auth
EOF

if [ "$failures" -ne 0 ]; then
    echo "$failures dialog check(s) failed"
    exit 1
fi
echo "dialog: all checks passed; screenshots in $artifacts"
