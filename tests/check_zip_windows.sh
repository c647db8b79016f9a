#!/usr/bin/env bash
# Builds the zip for Windows users with cpack and checks what it holds: the
# exe as built, and the README with Windows' line ends.
#   check_zip_windows.sh BUILD_DIR EXE
set -u
build=$1 exe=$2
out=$build/package
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$out"
(cd "$build" && cpack -B "$out" >"$build/cpack.log" 2>&1) || { echo "FAIL: cpack, see $build/cpack.log"; exit 1; }
zips=("$out"/*.zip)
[ ${#zips[@]} -eq 1 ] && [ -f "${zips[0]}" ] || { echo "FAIL: cpack made no single zip: ${zips[*]}"; exit 1; }
zip=${zips[0]}
unzip -l "$zip"

names=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
[ "$names" = "README.txt quorlin-install.exe " ] || fail "the zip holds: $names"
unzip -p "$zip" quorlin-install.exe | cmp -s - "$exe" || fail "the zipped exe is not the one built"
readme=$(unzip -p "$zip" README.txt | tr -d '\0')
grep -q $'^Quorlin installer [0-9.]* for Windows\r$' <<<"$readme" || fail "README.txt: no versioned title in CRLF lines"
grep -q 'Quorlin successfully installed!' <<<"$readme" || fail "README.txt does not give the messages"
grep -q '@' <<<"$readme" && fail "README.txt has an unreplaced @ variable"

if [ "$failures" -ne 0 ]; then
    echo "$failures zip check(s) failed"
    exit 1
fi
echo "zip checks passed: $(basename "$zip")"
