#!/usr/bin/env bash
# What GTK costs a run without a display: the program as built (GTK loaded
# only when a display is named) against the same code linked to GTK
# directly, started where there is nothing to move.  Prints the libraries
# each maps, its peak memory and hyperfine's times.
set -eu
cd "$(dirname "$0")/.."
repo=$PWD
bench=${BENCH_DIR:-/tmp/quorlin-bench}
source tools/deps.sh
command -v hyperfine >/dev/null && [ -x /usr/bin/time ] && command -v python3 >/dev/null || {
    sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -q && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q hyperfine time python3
}

mkdir -p "$bench/bin"
sources=("$repo"/install/install.cpp "$repo"/messages/messages.cpp "$repo"/platform/*.cpp)
flags=(-O2 -g -std=c++17 -I"$repo" -I"$repo/platform" -DQUORLIN_GTK)
read -ra gtk_cflags <<<"$(pkg-config --cflags gtk+-3.0)"
read -ra gtk_libs <<<"$(pkg-config --libs gtk+-3.0)"
g++ "${flags[@]}" "${gtk_cflags[@]}" "${sources[@]}" -o "$bench/bin/gtk-loaded" -ldl
# --no-as-needed: the loader maps GTK at start, as it would for a program
# that calls it directly.
g++ "${flags[@]}" "${gtk_cflags[@]}" "${sources[@]}" -o "$bench/bin/gtk-linked" \
    -Wl,--no-as-needed "${gtk_libs[@]}"

unset DISPLAY WAYLAND_DISPLAY
folder=$bench/startup
rm -rf "$folder" && mkdir -p "$folder/LIB" && cd "$folder"
for variant in gtk-loaded gtk-linked; do
    "$bench/bin/$variant" 2>/dev/null
    /usr/bin/time -f %M -o "$bench/$variant.rss" "$bench/bin/$variant" 2>/dev/null
    echo "$variant: maps $(ldd "$bench/bin/$variant" | grep -c "=>") shared libraries at start, peak RSS $(cat "$bench/$variant.rss") KiB"
done
hyperfine -N --warmup 20 --runs 300 --export-json "$bench/startup.json" \
    -n gtk-loaded "$bench/bin/gtk-loaded" -n gtk-linked "$bench/bin/gtk-linked"
python3 - "$bench/startup.json" <<'PY'
import json, sys
for r in json.load(open(sys.argv[1]))["results"]:
    print(f"{r['command']}: median {r['median'] * 1000:.1f} ms")
PY
