#!/usr/bin/env bash
# Runs the Windows test programs under wine, in a wine prefix of the build's
# own, on an Xvfb of the test run's own (wine without a display returns
# from a message box at once, unseen).
#   wine-run.sh STATE --start       set up the prefix once, start Xvfb and a wineserver
#   wine-run.sh STATE --stop        stop them
#   wine-run.sh STATE PROGRAM ARGS  run PROGRAM under wine
# STATE is a folder in the build tree: it holds the prefix, Xvfb's display
# number and process id.
set -u
state=$(realpath -m "$1")  # wine takes absolute prefixes only
shift
mkdir -p "$state"
export WINEPREFIX=$state/prefix WINEDEBUG=-all WINEARCH=win64
unset DISPLAY  # ours only, below: the tests show nothing on a real screen
# No Mono or Gecko: nothing here needs them, and fetching them is not allowed.
export WINEDLLOVERRIDES="mscoree,mshtml="

# The first use makes the prefix; runs side by side wait for it.
make_prefix() {
    exec 9>"$state/prefix.lock"
    flock 9
    if [ ! -f "$state/prefix.ready" ]; then
        # A desktop of wine's own: windows get wine's frames, captions
        # included, and no time is lost waiting for a window manager.
        { wineboot -i &&
            wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f &&
            wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 800x600 /f &&
            wineserver -w; } >"$state/wineboot.log" 2>&1 && touch "$state/prefix.ready" ||
            { echo "wine-run: the prefix could not be made, see $state/wineboot.log" >&2; exit 1; }
    fi
    exec 9>&-
}

xvfb_alive() { [ -f "$state/xvfb.pid" ] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; }

case "${1:-}" in
--start)
    make_prefix
    if ! xvfb_alive; then
        # -displayfd: Xvfb picks a free display and names it when it is ready.
        rm -f "$state/display"
        Xvfb -displayfd 3 -nolisten tcp -screen 0 800x600x24 3>"$state/display" \
            </dev/null >"$state/xvfb.log" 2>&1 &
        echo $! >"$state/xvfb.pid"
        for _ in $(seq 100); do
            [ -s "$state/display" ] && break
            sleep 0.1
        done
        [ -s "$state/display" ] || { echo "wine-run: Xvfb did not start, see $state/xvfb.log" >&2; exit 1; }
    fi
    # Kept up for the whole run (and 30 s past its last program, should
    # --stop never come), with wine's own services started, so each test
    # does not start its own; none of them holds on to our output.
    export DISPLAY=:$(cat "$state/display")
    wineserver -p30 </dev/null >/dev/null 2>&1
    wineboot </dev/null >/dev/null 2>&1
    echo "wine-run: prefix $WINEPREFIX, display :$(cat "$state/display")"
    ;;
--stop)
    wineserver -k 2>/dev/null
    if xvfb_alive; then
        kill "$(cat "$state/xvfb.pid")"
    fi
    rm -f "$state/xvfb.pid" "$state/display"
    ;;
*)
    make_prefix
    if xvfb_alive; then
        export DISPLAY=:$(cat "$state/display")
    fi
    exec wine "$@"
    ;;
esac
