#!/bin/sh
# `cmake --install` of the launcher component on Windows lays out exactly the
# program and the shortcut beside it, in bin/; nothing of the Linux desktop
# integration (helper script, desktop entries, SVG icon) comes along.
# Usage: install_test.sh BUILD-FOLDER
set -u
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build" --prefix "$scratch/prefix" --component Vanto > "$scratch/install.log" 2>&1 \
    || { cat "$scratch/install.log"; echo "FAIL: cmake --install failed"; exit 1; }
installed=$(cd "$scratch/prefix" && find . -type f | LC_ALL=C sort)
expected=$(printf '%s\n' "./bin/Topup & Shop @ Quenvaria.URL" ./bin/Vanto.exe)
if [ "$installed" != "$expected" ]; then
    printf 'FAIL: installed files:\n%s\nexpected:\n%s\n' "$installed" "$expected"
    exit 1
fi
echo "install: bin/Vanto.exe and the shortcut, nothing else"
