#!/usr/bin/env bash
# Checks what the Windows exe is and carries: a GUI program that imports
# system DLLs only (it is linked statically, so no compiler runtime DLL must
# come with it), with our manifest as resource 1 of type 24 and our version
# information.
#   check_exe_windows.sh EXE OBJDUMP MANIFEST VERSION
set -u
exe=$1 objdump=$2 manifest=$3 version=$4
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

headers=$("$objdump" -p "$exe") || { echo "FAIL: $objdump cannot read $exe"; exit 1; }

grep -qE '^Subsystem\s+0+2\s+\(Windows GUI\)' <<<"$headers" || fail "not a Windows GUI program"

dlls=$(sed -n 's/^\tDLL Name: //p' <<<"$headers")
[ -n "$dlls" ] || fail "no imports found"
while read -r dll; do
    [ -z "$dll" ] && continue
    grep -qiE '^(kernel32|user32|msvcrt|api-ms-win-crt-[a-z0-9-]+)\.dll$' <<<"$dll" ||
        fail "imports $dll, not a system DLL"
done <<<"$dlls"
echo "imports: $(tr '\n' ' ' <<<"$dlls")"

# In the resource tree, type 24 (0x18) must hold name 1 (0x1), whose one
# leaf is the manifest, byte for byte as long as our file.
leaf=$(awk '
    /^[0-9a-f]+   Entry: ID: / { in_manifest = ($4 == "0x000018,") }
    in_manifest && /^[0-9a-f]+     Entry: ID: / { named_1 = ($4 == "0x000001,") }
    in_manifest && named_1 && /Leaf:/ { sub(/,$/, "", $6); print $6; exit }' <<<"$headers")
want=$(printf '0x%06x' "$(wc -c <"$manifest")")
[ "$leaf" = "$want" ] || fail "manifest resource (24, 1): leaf size '${leaf}', expected $want"
grep -qaF 'level="asInvoker"' "$exe" || fail "no asInvoker request in $exe"

# VERSIONINFO holds each name, then its value, in UTF-16, with NULs ending
# and padding them.
utf16() { printf '%s' "$1" | od -An -tx1 -v | tr -d '\n' | sed 's/ \([0-9a-f]*\)/\\x\1\\x00/g'; }
for entry in "FileDescription=Quorlin installer" "ProductName=Quorlin" "FileVersion=$version" \
    "ProductVersion=$version"; do
    LC_ALL=C grep -qaP "$(utf16 "${entry%%=*}")(\\x00\\x00)+$(utf16 "${entry#*=}")\\x00\\x00" "$exe" ||
        fail "no version entry $entry"
done

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) of $exe failed"
    exit 1
fi
echo "exe checks passed"
