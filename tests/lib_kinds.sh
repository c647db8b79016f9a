#!/usr/bin/env bash
# Whatever LIB turns out to be, no unit is lost and the message and exit
# status say what happened.  Each case starts from a fresh folder holding
# a.dcu, b.dcu and notes.txt, runs its setup there, runs the program and
# checks status, message and files.
source "$(dirname "$0")/durable_common.sh"

# Reference contents, named in the cases' file lists.
ref=$work/ref
mkdir "$ref"
printf 'unit a' >"$ref/a"
printf 'unit b' >"$ref/b"
printf 'not a unit' >"$ref/notes"
printf 'a file named LIB' >"$ref/lib"
head -c 300000 /dev/urandom >"$ref/big"

# The folder another filesystem gives us without mounting: /dev/shm.
shm=
if shm=$(mktemp -d /dev/shm/quorlin-lib-XXXXXX 2>/dev/null); then
    extra_dirs+=("$shm")
    [ "$(stat -c %d "$shm")" != "$(stat -c %d "$work")" ] || shm=
fi

nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
chmod 755 "$work"
can_be_nobody=
[ "$(id -u)" = 0 ] && command -v setpriv >/dev/null && "${nobody[@]}" test -x "$program" 2>/dev/null && can_be_nobody=yes

# Setup helpers: 77 when the case cannot be made on this machine.
on_tmpfs() { mount_tmpfs LIB "$1" || return 77; }
need_shm() { [ -n "$shm" ] || return 77; }
run_setup() { eval "$setup"; }

moved="LIB/a.dcu=a LIB/b.dcu=b a.dcu=- b.dcu=- notes.txt=notes LIB/notes.txt=-"
stayed="a.dcu=a b.dcu=b notes.txt=notes"

# who | what LIB is | setup, run in the folder (status 77: cannot be made here)
#     | exit status | message: ok, no-lib or left:NAME,... | files: PATH=REF, or PATH=- for none
cases=(
"self|missing|:|0|ok|$moved"
"self|a folder|mkdir LIB|0|ok|$moved"
"self|a folder holding a folder named like a unit|mkdir -p LIB/a.dcu|1|left:a.dcu|a.dcu=a notes.txt=notes LIB/b.dcu=b b.dcu=-"
"self|a file|cp \$ref/lib LIB|1|no-lib|$stayed LIB=lib"
"self|a link to a folder elsewhere|mkdir ../elsewhere && ln -s ../elsewhere LIB|0|ok|../elsewhere/a.dcu=a ../elsewhere/b.dcu=b a.dcu=- b.dcu=-"
"self|a dangling link|ln -s ../nowhere LIB|1|no-lib|$stayed ../nowhere=-"
"self|a link to a file|cp \$ref/lib ../file && ln -s ../file LIB|1|no-lib|$stayed ../file=lib"
"self|a link to itself|ln -s LIB LIB|1|no-lib|$stayed"
"self|a link back to the folder itself|ln -s . LIB|1|left:a.dcu,b.dcu|$stayed"
"self|a link to the folder by its full path|ln -s \"\$PWD\" LIB|1|left:a.dcu,b.dcu|$stayed"
"root|a folder without write permission, for root|mkdir LIB && chmod 555 LIB|0|ok|$moved"
"nobody|a folder without write permission|mkdir LIB && chmod 555 LIB|1|left:a.dcu,b.dcu|$stayed LIB/a.dcu=- LIB/b.dcu=-"
"nobody|a folder that cannot be entered|mkdir LIB && chmod 666 LIB|1|no-lib|$stayed"
"nobody|a folder, in a folder whose units cannot be deleted|mkdir LIB && chmod 555 .|1|left:a.dcu,b.dcu|$stayed LIB/a.dcu=a LIB/b.dcu=b"
"self|a link to a folder on another filesystem (/dev/shm)|need_shm && ln -s \"\$shm\" LIB && ln -s \"\$shm\" ../shm|0|ok|../shm/a.dcu=a ../shm/b.dcu=b a.dcu=- b.dcu=-"
"self|a tmpfs of its own|on_tmpfs size=1m|0|ok|$moved"
"self|a tmpfs that fills up part-way|cp \$ref/big big.dcu && on_tmpfs size=64k|1|left:big.dcu|$moved big.dcu=big LIB/big.dcu=-"
)

# Unit names that play with patterns, formats and lengths all move; a name
# holding a "\" cannot be named in Win32 form and is passed over, as the
# README says, so the run reports success with it still there.
long_name=$(printf '%0247d.dcu' 0)
cases+=(
"self|a folder, for units with odd names|for n in '*.dcu' '?.dcu' '[ab].dcu' '%s%n%x.dcu' -n.dcu LIB.dcu $long_name; do cp -- \$ref/notes \"\$n\"; done|0|ok|$moved *.dcu=- LIB/*.dcu=notes LIB/?.dcu=notes LIB/[ab].dcu=notes LIB/%s%n%x.dcu=notes LIB/-n.dcu=notes LIB/LIB.dcu=notes LIB/$long_name=notes"
"self|a folder, for a unit whose name holds a backslash|cp \$ref/a 'x\\y.dcu'|0|ok|$moved x\\y.dcu=a LIB/x\\y.dcu=-"
)

# check_files FILES: each PATH=REF of FILES holds REF's bytes, or is absent
# for PATH=-; paths are the folder's.
check_files() {
    local - entry path want
    set -f
    for entry in $1; do
        path=${entry%=*} want=${entry##*=}
        if [ "$want" = - ]; then
            [ ! -e "$path" ] && [ ! -L "$path" ] || fail "$what: $path should not be there"
        elif [ -d "$path" ] || ! cmp -s "$path" "$ref/$want"; then
            fail "$what: $path should hold $want's bytes"
        fi
    done
}

tried=0 skipped=0
for i in "${!cases[@]}"; do
    IFS='|' read -r who kind setup want_status want_message files <<<"${cases[i]}"
    what="LIB $kind"
    prefix=()
    case $who in
    root) [ "$(id -u)" = 0 ] || { echo "SKIP: $what: not root"; skipped=$((skipped + 1)); continue; } ;;
    nobody)
        # Not root: we are the unprivileged user already.
        if [ "$(id -u)" = 0 ]; then
            [ -n "$can_be_nobody" ] || {
                echo "SKIP: $what: cannot run as user 65534 here (setpriv missing or the program out of its reach)"
                skipped=$((skipped + 1))
                continue
            }
            prefix=("${nobody[@]}")
        fi
        ;;
    esac

    case_dir=$work/case-$i
    mkdir -p "$case_dir/dist" && cd "$case_dir/dist" || exit 1
    cp "$ref/a" a.dcu && cp "$ref/b" b.dcu && cp "$ref/notes" notes.txt || exit 1
    # The setup runs in this shell, so the mounts it makes are undone.
    run_setup >/dev/null 2>&1
    setup_status=$?
    if [ "$setup_status" = 77 ]; then
        echo "SKIP: $what: cannot be made here (no tmpfs mount or no other filesystem)"
        skipped=$((skipped + 1))
        cd "$work" && continue
    fi
    [ "$setup_status" = 0 ] || { fail "$what: setup failed"; cd "$work" && continue; }
    [ ${#prefix[@]} = 0 ] || chown -R -h 65534:65534 "$case_dir"

    tried=$((tried + 1))
    run . "${prefix[@]}"
    [ "$status" = "$want_status" ] || fail "$what: exit status $status, expected $want_status"
    case $want_message in
    ok) said "$ok_text" || fail "$what: said: $(cat "$work/stderr")" ;;
    no-lib) said "$no_lib_text" || fail "$what: said: $(cat "$work/stderr")" ;;
    left:*)
        IFS=, read -r -a names <<<"${want_message#left:}"
        said_left "${names[@]}" || fail "$what: said: $(cat "$work/stderr")"
        ;;
    esac
    check_files "$files"
    left=$(temp_files "$case_dir" ${shm:+"$shm"})
    [ -z "$left" ] || fail "$what: temporary files left: $left"
    [ -z "$shm" ] || rm -rf "${shm:?}"/* "$shm"/.quorlin-* 2>/dev/null
    cd "$work" || exit 1
done
echo "cases tried: $tried, skipped: $skipped"
finish
