#!/usr/bin/env bash
# The order of the system calls behind each move, as strace sees them: a
# unit's source is unlinked only after its copy was flushed (and not
# written after), renamed into place, and LIB flushed after the rename; and
# LIB's own name is flushed into the folder before the first unlink, be LIB
# made by this run, there already or a link to a folder elsewhere.
source "$(dirname "$0")/durable_common.sh"

if ! command -v strace >/dev/null; then
    echo "SKIP: strace is missing (tools/deps.sh installs it)"
    exit 77
fi
if ! strace -qq -o /dev/null true 2>/dev/null; then
    echo "SKIP: strace cannot trace here (ptrace not allowed)"
    exit 77
fi
# The leak checker cannot run under a tracer.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0

traced=openat,mkdir,mkdirat,fsync,fdatasync,rename,renameat,renameat2,link,linkat,unlink,unlinkat
traced+=,write,pwrite64,copy_file_range,sendfile,splice,fchmod,utimensat,ftruncate

# check_order LOG DIST LIB UNITS...: what the trace in LOG must show.  DIST
# is the folder, LIB the folder the copies land in, both as the system
# names them; every unit must be moved.
check_order() {
    local log=$1 dist=$2 lib=$3
    shift 3
    awk -v dist="$dist" -v lib="$lib" -v units="$*" '
        function fail(why) { print why; failed = 1 }
        # The path strace -y shows for the fd argument at field n.
        function fd_path(n,   parts) {
            split($0, parts, /[(,] */)
            if (match(parts[n], /<[^>]*>/))
                return substr(parts[n], RSTART + 1, RLENGTH - 2)
            return ""
        }
        function quoted(n,   s) {
            s = $0
            for (; n > 1; n--)
                sub(/^[^"]*"[^"]*"/, "", s)
            match(s, /"[^"]*"/)
            return substr(s, RSTART + 1, RLENGTH - 2)
        }
        # Copies are named by the path the program gave; put them in the
        # real folder, as the fds show it.
        function real(path) {
            if (index(path, dist "/LIB/") == 1)
                return lib "/" substr(path, length(dist "/LIB/") + 1)
            return path
        }
        { sub(/^[0-9]+ +/, "") }
        / = -1 / { next }
        /^mkdir/ && quoted(1) == dist "/LIB" { made_at = NR }
        /^fsync|^fdatasync/ {
            p = fd_path(2)
            if (p ~ /\/\.quorlin-[^\/]*$/) flushed[p] = NR
            else if (p == lib) lib_flushed_at = NR
            else if (p == dist) dist_flushed_at = NR
        }
        /^(write|pwrite64|fchmod|utimensat|ftruncate)\(/ {
            p = fd_path(2)
            if (p in flushed) fail(p " written after its flush: " $0)
        }
        /^(copy_file_range|sendfile|splice)\(/ {
            p = fd_path($0 ~ /^sendfile/ ? 2 : 4)
            if (p in flushed) fail(p " written after its flush: " $0)
        }
        /^rename/ {
            from = real(quoted(1)); to = real(quoted(2))
            if (!(from in flushed)) fail(to " renamed into place before its bytes were flushed")
            renamed_at[to] = NR
        }
        /^link\(/ { fail("copy linked, not renamed: " $0) }
        /^unlink/ {
            name = quoted(1)
            if (name ~ /\//) next
            unlinked[name] = 1
            if (!(lib "/" name in renamed_at)) fail(name " unlinked before its copy was renamed into place")
            else if (lib_flushed_at < renamed_at[lib "/" name]) fail(name " unlinked before LIB was flushed after its rename")
            if (!dist_flushed_at || dist_flushed_at < made_at) fail(name " unlinked before LIB was flushed into the folder")
        }
        END {
            n = split(units, list, " ")
            for (i = 1; i <= n; i++)
                if (!(list[i] in unlinked)) fail(list[i] " never unlinked: the trace shows no move of it")
            exit failed
        }
    ' "$log"
}

units=(a.dcu B.DCU c.dcu)
layouts=("missing" "a folder" "a link to a folder elsewhere")
for layout in "${layouts[@]}"; do
    what="LIB $layout"
    dist=$work/${layout// /-}/dist
    mkdir -p "$dist"
    dist=$(realpath "$dist")
    lib=$dist/LIB
    case $layout in
    "a folder") mkdir "$lib" ;;
    "a link to a folder elsewhere") mkdir "$dist/../elsewhere" && ln -s ../elsewhere "$lib" && lib=$(realpath "$lib") ;;
    esac
    for u in "${units[@]}"; do printf 'unit %s' "$u" >"$dist/$u"; done
    run "$dist" strace -f -qq -y -o "$work/trace" -e trace="$traced"
    [ "$status" = 0 ] && said "$ok_text" || fail "$what: status $status, said $(cat "$work/stderr")"
    faults=$(check_order "$work/trace" "$dist" "$lib" "${units[@]}" 2>&1) || fail "$what: ${faults:-awk failed}"
done
finish
