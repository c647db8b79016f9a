#!/usr/bin/env bash
# Times the program against the usual ways to move the units, and against
# the floor of a durable move (flush_floor.cpp), on three sets of units;
# then the program's peak memory on each.  Prints a table of medians and
# writes it, with hyperfine's JSON, to $BENCH_DIR (default /tmp/quorlin-bench).
# Runs per command: RUNS_SMALL, RUNS_LARGE, RUNS_MANY.  Not a test: its
# figures depend on the machine and on what else it is doing.
set -eu
cd "$(dirname "$0")/.."
repo=$PWD
bench=${BENCH_DIR:-/tmp/quorlin-bench}
runs_small=${RUNS_SMALL:-15}
runs_large=${RUNS_LARGE:-6}
runs_many=${RUNS_MANY:-5}

source tools/deps.sh
missing=()
command -v hyperfine >/dev/null || missing+=(hyperfine)
[ -x /usr/bin/time ] || missing+=(time)
command -v python3 >/dev/null || missing+=(python3)
if [ ${#missing[@]} -ne 0 ]; then
    sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -q && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
fi

cmake --preset linux >/dev/null
cmake --build --preset linux --target quorlin-install >/dev/null
program=$repo/build/linux/quorlin-install
mkdir -p "$bench/bin"
floor=$bench/bin/flush_floor
g++ -O2 -std=c++17 -Wall -Wextra -Werror -o "$floor" bench/flush_floor.cpp
# The program must not wait on a dialog.
unset DISPLAY WAYLAND_DISPLAY

# make_set NAME COUNT SIZE: COUNT units of SIZE bytes (random, so nothing
# can shortcut the copy) and an empty LIB, in $bench/NAME/master.
make_set() {
    local master=$bench/$1/master
    [ -f "$master/.complete-$2-$3" ] && return
    rm -rf "$master" && mkdir -p "$master/LIB"
    head -c $(($2 * $3)) /dev/urandom |
        (cd "$master" && split -b "$3" -a 5 -d --additional-suffix=.dcu - unit)
    touch "$master/.complete-$2-$3"
}

# measure NAME RUNS: every command on a fresh copy of the set before each
# run, with the disk flushed so no run pays for the copy's writeback.
measure() {
    local work=$bench/$1/work master=$bench/$1/master
    hyperfine --shell=bash --runs "$2" --warmup 1 \
        --prepare "rm -rf '$work' && cp -a '$master' '$work' && rm '$work'/.complete-* && sync" \
        --export-json "$bench/$1.json" \
        -n program "cd '$work' && '$program'" \
        -n floor "cd '$work' && '$floor'" \
        -n mv "cd '$work' && mv -f *.dcu LIB/" \
        -n cp "cd '$work' && cp -f *.dcu LIB/ && rm -f *.dcu" \
        -n "cp+sync" "cd '$work' && cp -f *.dcu LIB/ && sync && rm -f *.dcu"
    # Peak memory of the program, and a check that it moved every unit.
    rm -rf "$work" && cp -a "$master" "$work" && rm "$work"/.complete-* && sync
    (cd "$work" && /usr/bin/time -f %M -o "$bench/$1.rss" "$program" 2>/dev/null)
    local left moved
    left=$(find "$work" -maxdepth 1 -name '*.dcu' | wc -l)
    moved=$(find "$work/LIB" -name '*.dcu' | wc -l)
    [ "$left" = 0 ] && [ "$moved" = "$(find "$master" -maxdepth 1 -name '*.dcu' | wc -l)" ] ||
        { echo "$1: the program left $left units and moved $moved" >&2; exit 1; }
}

make_set small 1000 51200
make_set large 20 20971520
make_set many 10000 5120
measure small "$runs_small"
measure large "$runs_large"
measure many "$runs_many"

python3 - "$bench" <<'EOF' | tee "$bench/results.md"
import json, sys
bench = sys.argv[1]
sets = [("small", "1,000 × 50 KB"), ("large", "20 × 20 MB"), ("many", "10,000 × 5 KB")]
commands = ["program", "floor", "mv", "cp", "cp+sync"]
print("| units | " + " | ".join(commands) + " | program / floor | program / cp+sync | program peak RSS |")
print("|---" * (len(commands) + 4) + "|")
for name, label in sets:
    results = {r["command"]: r for r in json.load(open(f"{bench}/{name}.json"))["results"]}
    median = {c: results[c]["median"] for c in commands}
    cells = [f"{median[c] * 1000:.{0 if median[c] >= 0.01 else 1}f} ms" for c in commands]
    rss = int(open(f"{bench}/{name}.rss").read().split()[-1])
    print(f"| {label} | " + " | ".join(cells) +
          f" | {median['program'] / median['floor']:.2f} | {median['program'] / median['cp+sync']:.2f}"
          f" | {rss / 1024:.2f} MiB |")
print()
print("Medians; spread (min–max) of program and floor:")
for name, label in sets:
    results = {r["command"]: r for r in json.load(open(f"{bench}/{name}.json"))["results"]}
    spread = ", ".join(f"{c} {results[c]['min'] * 1000:.0f}–{results[c]['max'] * 1000:.0f} ms"
                       for c in ("program", "floor"))
    print(f"- {label}: {spread} ({len(results['program']['times'])} runs each)")
EOF
