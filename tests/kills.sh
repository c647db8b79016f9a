#!/usr/bin/env bash
# The program killed with SIGKILL at random instants over a run of some
# hundreds of units: after every kill each unit is whole under its own name
# in the folder or in LIB (or both), no file under a unit's name holds
# anything else and nothing else is missing; a second run then finishes the
# job.  QUORLIN_KILL_SEED repeats a run's instants.
source "$(dirname "$0")/durable_common.sh"
units=300 kills=40 budget_seconds=60
seed=${QUORLIN_KILL_SEED:-$(date +%s)}
RANDOM=$seed

# Units of distinct contents and sizes up to some 12 KiB, and a file that
# is not a unit.
template=$work/template
mkdir "$template"
filler=$(head -c 9000 /dev/urandom | base64 -w 0)
for ((i = 0; i < units; i++)); do
    printf 'unit %d\n%s' "$i" "${filler:0:$((i * 7919 % 12000))}" >"$template/u$i.dcu"
done
printf 'not a unit' >"$template/notes.txt"
(cd "$template" && sha256sum -- *) >"$work/manifest"

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# check_state DIR WHEN: the invariant over DIR and DIR/LIB.
check_state() {
    local dir=$1 when=$2 bad
    (cd "$dir" && sha256sum -- *.dcu 2>/dev/null) >"$work/in_folder"
    [ -d "$dir/LIB" ] && (cd "$dir/LIB" && sha256sum -- *.dcu 2>/dev/null) >"$work/in_lib" || : >"$work/in_lib"
    bad=$(awk '
        FILENAME == ARGV[1] { want[$2] = $1; next }
        !($2 in want) || $1 != want[$2] { print "holds other bytes: " (FILENAME == ARGV[2] ? "" : "LIB/") $2; next }
        { found[$2] = 1 }
        END { for (name in want) if (name ~ /\.dcu$/ && !(name in found)) print "lost: " name }
    ' "$work/manifest" "$work/in_folder" "$work/in_lib")
    cmp -s "$dir/notes.txt" "$template/notes.txt" || bad+=" notes.txt changed"
    # Nothing but units and copies' temporary files comes into LIB.
    local stray
    stray=$(ls -A "$dir/LIB" 2>/dev/null | grep -v -e '\.dcu$' -e '^\.quorlin-' | head -n 3)
    [ -z "$stray" ] || bad+=" LIB holds: $stray"
    [ -z "$bad" ] || fail "$when: $bad"
}

# The run's real duration, measured as the kills will start it.
mkdir "$work/measure"
cp -a "$template/." "$work/measure"
start=$(now_ms)
(cd "$work/measure" && exec timeout -s KILL 60 "$program") 2>/dev/null
duration_ms=$(($(now_ms) - start))
[ "$duration_ms" -gt 0 ] || duration_ms=1
echo "one run over $units units: ${duration_ms} ms; seed $seed"

mid_run=0 temps_after_kill=0 temps_after_rerun=0 done_kills=0
began=$(now_ms)
for ((k = 0; k < kills; k++)); do
    # A bound on the whole, not a check: on a very slow machine fewer kills.
    [ $(($(now_ms) - began)) -lt $((budget_seconds * 1000)) ] || break
    dir=$work/kill-$k
    mkdir "$dir"
    cp -a "$template/." "$dir"
    # One instant in each k-th part of the run, so they cover all of it.
    at_us=$(((k * 1000 + RANDOM % 1000) * duration_ms / kills))
    [ "$at_us" -gt 0 ] || at_us=1  # timeout takes 0 as no limit at all
    at=$(printf '%d.%06d' $((at_us / 1000000)) $((at_us % 1000000)))
    # timeout kills its own process group too; the braces keep the shell's
    # notice of that off the output.
    { (cd "$dir" && exec timeout -s KILL "$at" "$program"); } 2>/dev/null
    killed=$?
    done_kills=$((done_kills + 1))
    case $killed in
    0 | 124 | 137) ;;
    *) fail "kill at ${at}s: exit status $killed" ;;
    esac
    check_state "$dir" "kill at ${at}s"
    [ -s "$work/in_folder" ] && [ -s "$work/in_lib" ] && mid_run=$((mid_run + 1))
    temps=$(temp_files "$dir" | wc -l)
    temps_after_kill=$((temps_after_kill + temps))

    run "$dir"
    [ "$status" = 0 ] && said "$ok_text" || fail "run after kill at ${at}s: status $status, said $(cat "$work/stderr")"
    check_state "$dir" "run after kill at ${at}s"
    ! ls "$dir"/*.dcu >/dev/null 2>&1 || fail "run after kill at ${at}s: units left in the folder"
    temps_after_rerun=$((temps_after_rerun + $(temp_files "$dir" | wc -l)))
    rm -rf "$dir"
done
echo "kills: $done_kills, landing mid-move: $mid_run; temporary files left by the kills: $temps_after_kill," \
    "still there after the second runs: $temps_after_rerun; $(($(now_ms) - began)) ms in all"
finish
