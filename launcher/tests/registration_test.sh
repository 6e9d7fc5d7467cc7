#!/bin/sh
# The .url handler as a desktop would use it: the desktop entry registered with
# `xdg-mime default`, then Debian's xdg-open on the shortcut must run the
# helper through that entry, and the helper's xdg-open must reach BROWSER with
# the shortcut's URL.
#
# Fenced in: scratch HOME and XDG folders (the system's mime database is the
# only thing borrowed; no system application is visible), BROWSER a recorder.
# xdg-open consults file associations only when it believes a display is
# there, so WAYLAND_DISPLAY names a socket path inside the scratch folder that
# does not exist, and the session bus address points nowhere: nothing can
# reach a real desktop.
# Usage: registration_test.sh LAUNCHER-SOURCE-FOLDER
set -u
source_folder=$(cd "$1" && pwd)
. "$(dirname "$0")/shell_test_lib.sh"

entry=quenvaria-internet-shortcut.desktop
mkdir -p "$scratch/bin" "$scratch/work" "$scratch/home/.config" \
         "$scratch/home/.local/share/applications" "$scratch/share" "$scratch/config-dirs"
ln -s /usr/share/mime "$scratch/share/mime"
cp "$source_folder/$entry" "$scratch/home/.local/share/applications/"
ln -s "$source_folder/open-internet-shortcut" "$scratch/bin/open-internet-shortcut"
cp "$source_folder/Topup & Shop @ Quenvaria.URL" "$scratch/work/"
shortcut="$scratch/work/Topup & Shop @ Quenvaria.URL"
: > "$scratch/mailcap"
write_recorder "$scratch/browser" "$scratch/browser-args"

fenced() {
    env -i PATH="$scratch/bin:/usr/bin:/bin" HOME="$scratch/home" \
        XDG_CONFIG_HOME="$scratch/home/.config" XDG_DATA_HOME="$scratch/home/.local/share" \
        XDG_DATA_DIRS="$scratch/share" XDG_CONFIG_DIRS="$scratch/config-dirs" \
        WAYLAND_DISPLAY="$scratch/no-display" DBUS_SESSION_BUS_ADDRESS="unix:path=$scratch/no-bus" \
        MAILCAPS="$scratch/mailcap" BROWSER="$scratch/browser" LANG=C \
        timeout 60 "$@"
}

filetype=$(fenced xdg-mime query filetype "$shortcut")
if [ "$filetype" != application/x-mswinurl ]; then
    echo "SKIP: this system types the shortcut as '$filetype', not application/x-mswinurl"
    exit 77
fi

fenced xdg-mime default "$entry" application/x-mswinurl || fail "xdg-mime default failed"
default=$(fenced xdg-mime query default application/x-mswinurl)
[ "$default" = "$entry" ] || fail "registered default is '$default', expected $entry"

(cd "$scratch/work" && fenced xdg-open "$shortcut") > "$scratch/stdout" 2> "$scratch/stderr"
status=$?
[ "$status" -eq 0 ] || fail "xdg-open on the shortcut: status $status ($(cat "$scratch/stderr"))"
# Had xdg-open not gone through the entry, BROWSER would have got the file name.
expect_recorded "xdg-open through the registered entry" "$scratch/browser-args" \
    "https://shop.quenvaria.example/topup"

finish
