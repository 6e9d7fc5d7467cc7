#!/bin/sh
# `cmake --install` of the launcher component lays out the program, the helper,
# the sample shortcut beside the program, the icon and both desktop entries;
# the installed pieces work together (the installed helper opens the installed
# sample's URL through a recording xdg-open).
# Usage: install_test.sh BUILD-FOLDER
set -u
build=$1
. "$(dirname "$0")/shell_test_lib.sh"

prefix="$scratch/prefix"
cmake --install "$build" --prefix "$prefix" --component Vanto > "$scratch/install.log" 2>&1 \
    || { cat "$scratch/install.log"; fail "cmake --install failed"; finish; }

for executable in bin/Vanto bin/open-internet-shortcut; do
    [ -f "$prefix/$executable" ] && [ -x "$prefix/$executable" ] \
        || fail "$executable missing or not executable"
done
for file in "bin/Topup & Shop @ Quenvaria.URL" \
            share/icons/hicolor/scalable/apps/quenvaria-vanto.svg \
            share/applications/quenvaria-vanto.desktop \
            share/applications/quenvaria-internet-shortcut.desktop; do
    [ -f "$prefix/$file" ] || fail "$file missing"
done
grep -qx 'MimeType=application/x-mswinurl;' "$prefix/share/applications/quenvaria-internet-shortcut.desktop" \
    || fail "the .url handler entry does not claim application/x-mswinurl"
grep -qx 'Icon=quenvaria-vanto' "$prefix/share/applications/quenvaria-vanto.desktop" \
    || fail "the launcher entry does not name the installed icon"

# The component holds nothing of the other deliverables.
unexpected=$(cd "$prefix" && find . -type f | grep -v -e '^\./bin/' -e '^\./share/icons/' -e '^\./share/applications/')
[ -z "$unexpected" ] || fail "unexpected files installed: $unexpected"

mkdir -p "$scratch/stand-in"
write_recorder "$scratch/stand-in/xdg-open" "$scratch/xdg-open-args"
PATH="$scratch/stand-in:/usr/bin:/bin" "$prefix/bin/open-internet-shortcut" \
    "$prefix/bin/Topup & Shop @ Quenvaria.URL" 2> "$scratch/stderr" \
    || fail "installed helper refused the installed sample: $(cat "$scratch/stderr")"
expect_recorded "installed helper on installed sample" "$scratch/xdg-open-args" \
    "https://shop.quenvaria.example/topup"

finish
