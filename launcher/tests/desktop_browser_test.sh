#!/bin/sh
# The shop shortcut as a desktop opens it, end to end with a real browser:
#
#   Vanto (started through the link bin/Vanto)
#     -> xdg-open on the shortcut beside the program
#     -> open-internet-shortcut, registered with xdg-mime for application/x-mswinurl
#     -> xdg-open on the shortcut's URL
#     -> the desktop's browser for http: Debian's chromium, headless
#     -> GET of the page from a small HTTP server on 127.0.0.1
#
# The launcher component is installed into a scratch prefix, and its shortcut
# pointed at the server. Nothing is installed or registered outside the scratch
# folder: HOME, the XDG folders and the browser's profile lie in it, the system's
# MIME database is the only thing borrowed, and no system application is visible.
# xdg-open consults file associations only when it believes a display is there,
# so WAYLAND_DISPLAY names a socket path that does not exist, and the session bus
# address points nowhere. BROWSER is `false`: only the registered browser can
# fetch the page. The browser resolves no name but the loopback address.
#
# Every process of the chain up to the browser carries a marker variable in its
# environment; the browser's own processes drop the environment but stay in the
# session the launcher starts the chain in, which the browser's wrapper notes. On
# every way out the test ends what is still running of both, and the server, by
# their process ids.
# Skipped (77) only where the browser cannot run at all: not installed, or unable
# to fetch a loopback page when started directly.
# Usage: desktop_browser_test.sh BUILD-FOLDER
set -u
build=$1
here=$(cd "$(dirname "$0")" && pwd)
browser=/usr/bin/chromium
chain_limit=60

if [ ! -x "$browser" ]; then
    echo "SKIP: $browser (package chromium) is not installed"
    exit 77
fi

# The scratch folder, fail and finish; the browser's cleanup below replaces its trap.
. "$(dirname "$0")/shell_test_lib.sh"
marker="QVR_DESKTOP_TEST_RUN=$scratch"
server_pid=

own_session=$(ps -o sid= -p $$ | tr -d ' ')

# The ids of the processes that carry this run's marker or lie in a session the
# browser ran in (never the test's own).
chain_processes() {
    sessions=$(grep -vx "$own_session" "$scratch/browser-sessions" 2> /dev/null | tr '\n' ' ')
    for process in /proc/[0-9]*; do
        pid=${process#/proc/}
        [ "$pid" = $$ ] && continue
        read -r stat 2> /dev/null < "$process/stat" || continue
        # pid (name) state ppid pgrp session ...: the name may hold blanks.
        # shellcheck disable=SC2086 # one field a word
        set -- ${stat##*) }
        case " $sessions " in
            *" $4 "*) echo "$pid"; continue ;;
        esac
        grep -qzxF "$marker" "$process/environ" 2> /dev/null && echo "$pid"
    done
}

cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2> /dev/null
    signal=TERM
    for round in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25; do
        pids=$(chain_processes)
        [ -z "$pids" ] && break
        # After 4 s, what has not ended is killed.
        [ "$round" -gt 20 ] && signal=KILL
        # shellcheck disable=SC2086 # one id a word
        kill -s "$signal" $pids 2> /dev/null
        sleep 0.2
    done
    [ -n "$server_pid" ] && wait "$server_pid" 2> /dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM


# wait_for FILE SECONDS: until FILE exists and is not empty.
wait_for() {
    tries=0
    while [ ! -s "$1" ] && [ "$tries" -lt $(($2 * 10)) ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    [ -s "$1" ]
}

# --- the launcher, installed -------------------------------------------------------
prefix=$scratch/prefix
if ! cmake --install "$build" --prefix "$prefix" --component Vanto > "$scratch/install.log" 2>&1; then
    cat "$scratch/install.log"
    fail "cmake --install --component Vanto failed"
    finish
fi

# --- the server ------------------------------------------------------------------
python3 "$here/loopback_page_server.py" "$scratch/port" "$scratch/requests" $((chain_limit * 3)) &
server_pid=$!
if ! wait_for "$scratch/port" 20; then
    fail "the HTTP server did not start"
    finish
fi
port=$(cat "$scratch/port")
token=$(od -An -N6 -tx1 /dev/urandom | tr -d ' \n')
page="/topup?run=$token"
tab=$(printf "\t")
printf '[InternetShortcut]\r\nURL=http://127.0.0.1:%s%s\r\n' "$port" "$page" \
    > "$prefix/lib/vanto/Topup & Shop @ Quenvaria.URL"

# --- the desktop -----------------------------------------------------------------
home=$scratch/home
mkdir -p "$home/.config" "$home/.local/share/applications" "$home/.cache" \
         "$scratch/share" "$scratch/config-dirs" "$scratch/tmp" "$scratch/elsewhere"
ln -s /usr/share/mime "$scratch/share/mime"
: > "$scratch/mailcap"

# The desktop's browser: chromium without a display. Its sandbox needs rights a
# test cannot count on (and refuses root), and the page is the test's own.
cat > "$scratch/headless-browser" <<BROWSER
#!/bin/sh
ps -o sid= -p \$\$ | tr -d ' ' >> '$scratch/browser-sessions'
printf '%s\n' "\$*" > '$scratch/browser-args'
exec timeout -k 5 $chain_limit $browser --headless --no-sandbox --disable-gpu --disable-dev-shm-usage \\
    --no-first-run --no-default-browser-check --disable-background-networking \\
    --disable-component-update --disable-sync --disable-extensions \\
    --user-data-dir='$scratch/browser-profile' \\
    --host-resolver-rules='MAP * ~NOTFOUND, EXCLUDE 127.0.0.1' \\
    --dump-dom "\$1" > '$scratch/browser.out' 2> '$scratch/browser.log'
BROWSER
chmod +x "$scratch/headless-browser"
cat > "$home/.local/share/applications/headless-browser.desktop" <<ENTRY
[Desktop Entry]
Type=Application
Name=Headless browser
Exec=$scratch/headless-browser %u
MimeType=x-scheme-handler/http;x-scheme-handler/https;text/html;
NoDisplay=true
ENTRY

fenced() {
    env -i PATH="$prefix/bin:/usr/bin:/bin" HOME="$home" TMPDIR="$scratch/tmp" \
        XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache" \
        XDG_DATA_DIRS="$prefix/share:$scratch/share" XDG_CONFIG_DIRS="$scratch/config-dirs" \
        WAYLAND_DISPLAY="$scratch/no-display" DBUS_SESSION_BUS_ADDRESS="unix:path=$scratch/no-bus" \
        MAILCAPS="$scratch/mailcap" BROWSER=false LANG=C "$marker" \
        "$@"
}

fenced xdg-mime default quenvaria-internet-shortcut.desktop application/x-mswinurl \
    || fail "xdg-mime default for application/x-mswinurl failed"
fenced xdg-mime default headless-browser.desktop x-scheme-handler/http \
    || fail "xdg-mime default for x-scheme-handler/http failed"
handler=$(fenced xdg-mime query default application/x-mswinurl)
[ "$handler" = quenvaria-internet-shortcut.desktop ] || fail "the .url handler is '$handler'"
filetype=$(fenced xdg-mime query filetype "$prefix/lib/vanto/Topup & Shop @ Quenvaria.URL")
[ "$filetype" = application/x-mswinurl ] || fail "the shortcut is typed '$filetype', not application/x-mswinurl"
[ "$failures" -eq 0 ] || finish

# --- the chain -------------------------------------------------------------------
started=$(date +%s.%N)
(cd "$scratch/elsewhere" && fenced "$prefix/bin/Vanto") || fail "Vanto did not exit 0"

tries=0
while ! grep -qF "${tab}$page${tab}" "$scratch/requests" 2> /dev/null && [ "$tries" -lt $((chain_limit * 10)) ]; do
    sleep 0.1
    tries=$((tries + 1))
done
request=$(grep -F "${tab}$page${tab}" "$scratch/requests" 2> /dev/null | head -n 1)

if [ -z "$request" ]; then
    if [ -f "$scratch/browser-args" ]; then
        reached="the browser, which was given: $(cat "$scratch/browser-args")"
    else
        reached="not the browser"
    fi
    # Chain or browser? The browser, started directly on a page of the same server.
    # In a session of its own, as the chain runs it, so that cleanup can find it.
    fenced setsid -w "$scratch/headless-browser" "http://127.0.0.1:$port/probe"
    if ! grep -qF "${tab}/probe${tab}" "$scratch/requests" 2> /dev/null; then
        echo "SKIP: $browser cannot fetch a loopback page here:"
        tail -n 5 "$scratch/browser.log" 2> /dev/null
        exit 77
    fi
    fail "no GET of $page within $chain_limit s; the chain reached $reached"
    finish
fi

arrived=$(printf '%s\n' "$request" | cut -f 1)
agent=$(printf '%s\n' "$request" | cut -f 3)
case $agent in
    *HeadlessChrome/*) ;;
    *) fail "the page was fetched by '$agent', not by headless chromium" ;;
esac
# The browser ends once it has the whole page (--dump-dom prints it).
wait_for "$scratch/browser.out" "$chain_limit"
grep -qF 'Top-up and shop' "$scratch/browser.out" 2> /dev/null \
    || fail "the browser did not get the page: $(head -c 200 "$scratch/browser.out" 2> /dev/null)"
elapsed_ms=$(awk -v from="$started" -v to="$arrived" 'BEGIN { printf "%d", (to - from) * 1000 }')
echo "Vanto -> xdg-open -> open-internet-shortcut -> xdg-open -> chromium (headless) -> GET $page: ${elapsed_ms} ms"

finish
