#!/bin/sh
# `cmake --install` of the launcher component lays out the program and the sample
# shortcut beside it in lib/vanto/, the link bin/Vanto, the helper, the manual
# pages, the icon and both desktop entries; the installed pieces work together
# (started through the link, the program hands over the shortcut lying beside its
# real file; the installed helper opens the installed sample's URL), both through
# a recording xdg-open.
# Usage: install_test.sh BUILD-FOLDER
set -u
build=$1
. "$(dirname "$0")/shell_test_lib.sh"

prefix="$scratch/prefix"
cmake --install "$build" --prefix "$prefix" --component Vanto > "$scratch/install.log" 2>&1 \
    || { cat "$scratch/install.log"; fail "cmake --install failed"; finish; }

for executable in lib/vanto/Vanto bin/open-internet-shortcut; do
    [ -f "$prefix/$executable" ] && [ -x "$prefix/$executable" ] \
        || fail "$executable missing or not executable"
done
[ "$(readlink "$prefix/bin/Vanto")" = ../lib/vanto/Vanto ] || fail "bin/Vanto is not the link ../lib/vanto/Vanto"
[ ! -e "$prefix/bin/Topup & Shop @ Quenvaria.URL" ] || fail "the shortcut, data, lies in bin/"
for file in "lib/vanto/Topup & Shop @ Quenvaria.URL" \
            share/man/man1/Vanto.1.gz share/man/man1/open-internet-shortcut.1.gz \
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
unexpected=$(cd "$prefix" && find . -type f | grep -v -e '^\./bin/' -e '^\./lib/vanto/' -e '^\./share/icons/' \
    -e '^\./share/applications/' -e '^\./share/man/man1/')
[ -z "$unexpected" ] || fail "unexpected files installed: $unexpected"

mkdir -p "$scratch/launch-stand-in" "$scratch/stand-in" "$scratch/elsewhere"
# Notes its working directory, then its arguments (written last: the sign it ran).
cat > "$scratch/launch-stand-in/xdg-open" <<RECORDER
#!/bin/sh
pwd -P > '$scratch/launch-cwd'
printf '%s\0' "\$@" > '$scratch/launch-args.tmp' && mv '$scratch/launch-args.tmp' '$scratch/launch-args'
RECORDER
chmod +x "$scratch/launch-stand-in/xdg-open"
(cd "$scratch/elsewhere" && PATH="$scratch/launch-stand-in:/usr/bin:/bin" "$prefix/bin/Vanto") \
    || fail "the launcher through bin/Vanto did not exit 0"
# The launcher does not wait for the handler: give it up to 10 s.
tries=0
while [ ! -f "$scratch/launch-args" ] && [ "$tries" -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
expect_recorded "the launcher through bin/Vanto" "$scratch/launch-args" "Topup & Shop @ Quenvaria.URL"
[ "$(cat "$scratch/launch-cwd" 2>/dev/null)" = "$(cd "$prefix/lib/vanto" && pwd -P)" ] ||
    fail "the launcher through bin/Vanto handed over in '$(cat "$scratch/launch-cwd" 2>/dev/null)', not beside its file"

write_recorder "$scratch/stand-in/xdg-open" "$scratch/xdg-open-args"
PATH="$scratch/stand-in:/usr/bin:/bin" "$prefix/bin/open-internet-shortcut" \
    "$prefix/lib/vanto/Topup & Shop @ Quenvaria.URL" 2> "$scratch/stderr" \
    || fail "installed helper refused the installed sample: $(cat "$scratch/stderr")"
expect_recorded "installed helper on installed sample" "$scratch/xdg-open-args" \
    "https://shop.quenvaria.example/topup"

finish
