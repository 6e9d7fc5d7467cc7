#!/bin/sh
# open-internet-shortcut against a recording stand-in xdg-open: which shortcut
# files it opens (and with exactly which argument), which it refuses without
# running anything; then once through Debian's own xdg-open, headless, with
# BROWSER pointing at a recorder.
# Usage: internet_shortcut_test.sh PATH/TO/open-internet-shortcut SAMPLE.URL
set -u
helper=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
sample=$2
. "$(dirname "$0")/shell_test_lib.sh"

mkdir -p "$scratch/bin" "$scratch/work"
write_recorder "$scratch/bin/xdg-open" "$scratch/xdg-open-args"
shortcut="$scratch/work/Some Shortcut.url"

run_helper() {  # FILE...; status in $status, standard error in $scratch/stderr
    rm -f "$scratch/xdg-open-args"
    (cd "$scratch/work" && PATH="$scratch/bin:/usr/bin:/bin" "$helper" "$@") \
        > "$scratch/stdout" 2> "$scratch/stderr"
    status=$?
}

# opens NAME CONTENT URL: a shortcut with CONTENT (printf format) opens URL.
opens() {
    printf "$2" > "$shortcut"
    run_helper "$shortcut"
    [ "$status" -eq 0 ] || fail "$1: status $status ($(cat "$scratch/stderr"))"
    expect_recorded "$1" "$scratch/xdg-open-args" "$3"
}

# refuses NAME CONTENT: a shortcut with CONTENT is refused, nothing is run.
refuses() {
    printf "$2" > "$shortcut"
    run_helper "$shortcut"
    [ "$status" -eq 1 ] || fail "$1: status $status, expected 1"
    [ -s "$scratch/stderr" ] || fail "$1: refused without saying why"
    [ ! -e "$scratch/xdg-open-args" ] || fail "$1: xdg-open was run anyway"
}

cp "$sample" "$shortcut"
run_helper "$shortcut"
[ "$status" -eq 0 ] || fail "sample shortcut: status $status"
expect_recorded "sample shortcut" "$scratch/xdg-open-args" "https://shop.quenvaria.example/topup"

opens "LF line ends" '[InternetShortcut]\nURL=https://a.example/x\n' 'https://a.example/x'
opens "CRLF, other keys first" '[InternetShortcut]\r\nIDList=\r\nHotKey=0\r\nURL=https://a.example/y\r\nIconIndex=0\r\n' 'https://a.example/y'
opens "no final line end" '[InternetShortcut]\nURL=https://a.example/z' 'https://a.example/z'
opens "byte order mark" '\357\273\277[InternetShortcut]\r\nURL=https://a.example/bom\r\n' 'https://a.example/bom'
opens "names in other case, blanks around" ' [internetshortcut] \n  url = https://a.example/c  \n' 'https://a.example/c'
opens "URL= of another section is ignored" '[DEFAULT]\nBASEURL=https://wrong.example/\nURL=https://wrong.example/\n[InternetShortcut]\nURL=https://a.example/right\n' 'https://a.example/right'
opens "first URL= wins" '[InternetShortcut]\nURL=https://a.example/1\nURL=https://a.example/2\n' 'https://a.example/1'
opens "value keeps its '='" '[InternetShortcut]\nURL=https://a.example/?a=b=c\n' 'https://a.example/?a=b=c'
opens "upper-case scheme" '[InternetShortcut]\nURL=HTTPS://A.example/\n' 'HTTPS://A.example/'
opens "mailto" '[InternetShortcut]\nURL=mailto:shop@quenvaria.example\n' 'mailto:shop@quenvaria.example'
# Shell metacharacters travel as plain text: nothing in the URL is executed.
opens "shell metacharacters" '[InternetShortcut]\nURL=https://a.example/p?x=1&y=$(touch pwned);z=`touch pwned` "q"|*\n' 'https://a.example/p?x=1&y=$(touch pwned);z=`touch pwned` "q"|*'
[ ! -e "$scratch/work/pwned" ] || fail "shell metacharacters: a command in the URL was run"

refuses "no URL= line" '[InternetShortcut]\nIconIndex=0\n'
refuses "URL= only in another section" '[Other]\nURL=https://a.example/\n[InternetShortcut]\nIconIndex=0\n'
refuses "URL= before any section" 'URL=https://a.example/\n'
refuses "empty file" ''
refuses "empty URL" '[InternetShortcut]\nURL=   \n'
refuses "URL that is an option" '[InternetShortcut]\nURL=--help\n'
refuses "URL starting with '-'" '[InternetShortcut]\nURL=-https://a.example/\n'
refuses "file target" '[InternetShortcut]\nURL=file:///etc/passwd\n'
refuses "script target" '[InternetShortcut]\nURL=javascript:alert(1)\n'
refuses "bare path" '[InternetShortcut]\nURL=/usr/bin/env\n'
refuses "control character" '[InternetShortcut]\nURL=https://a.example/\033[2J\n'

run_helper "$scratch/work/missing.url"
[ "$status" -eq 1 ] && [ ! -e "$scratch/xdg-open-args" ] || fail "missing file: status $status or xdg-open run"
run_helper
[ "$status" -eq 2 ] && [ ! -e "$scratch/xdg-open-args" ] || fail "no argument: status $status or xdg-open run"
run_helper "$shortcut" "$shortcut"
[ "$status" -eq 2 ] && [ ! -e "$scratch/xdg-open-args" ] || fail "two arguments: status $status or xdg-open run"

# Debian's xdg-open, headless and fenced in: scratch HOME and XDG folders, no
# display or session, BROWSER a recorder. Generic mode hands a web address to
# BROWSER, which must receive it unchanged.
mkdir -p "$scratch/home" "$scratch/xdg-data" "$scratch/xdg-config"
: > "$scratch/mailcap"
write_recorder "$scratch/browser" "$scratch/browser-args"
cp "$sample" "$shortcut"
env -i PATH=/usr/bin:/bin HOME="$scratch/home" \
    XDG_CONFIG_HOME="$scratch/home/.config" XDG_DATA_HOME="$scratch/home/.local/share" \
    XDG_DATA_DIRS="$scratch/xdg-data" XDG_CONFIG_DIRS="$scratch/xdg-config" \
    MAILCAPS="$scratch/mailcap" BROWSER="$scratch/browser" LANG=C \
    timeout 60 "$helper" "$shortcut" > "$scratch/stdout" 2> "$scratch/stderr"
status=$?
[ "$status" -eq 0 ] || fail "real xdg-open: status $status ($(cat "$scratch/stderr"))"
expect_recorded "real xdg-open to BROWSER" "$scratch/browser-args" "https://shop.quenvaria.example/topup"

finish
