#!/usr/bin/env bash
# The virtual reader started by a plain user: pcscd and the reader run in a user
# namespace of the user's own, pcscd serves the reader with the system's CCID driver
# and a client connects with T=1. Run as root, the test first hides the machine's
# /run behind a tmpfs of its own mount namespace, so that /run/pcscd is missing as on
# a machine where no pcscd ever ran, and then becomes the user nobody; the script
# must then give pcscd its folder without touching that /run, and keep what else is
# in it for the programs inside. Run as a plain user, it runs as that user.
# Usage: plain_user_test.sh VIRTUAL_READER_SCRIPT BIN_DIR LIB_DIR SCENARIO
set -euo pipefail
readonly SYSTEM_DRIVER=/usr/lib/pcsc/drivers/ifd-ccid.bundle/Contents/Linux/libccid.so
readonly NOBODY=65534

if [[ ${1:-} == --as-user ]]; then
  # The part run as the plain user, with its copies of the programs in $2.
  copy=$2
  failures=0
  fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
  out=$("$copy/virtual-reader" run --scenario "$copy/scenario.json" --presence tag --bin "$copy/bin" -- sh -c '
    dir=$VIRTUAL_READER_DIR
    pcscd=$(cat "$dir/pcscd-process.pid")
    echo "user $(id -u) pcscd $(awk "/^Uid:/ {print \$2}" "/proc/$pcscd/status")"
    grep -F " '"$SYSTEM_DRIVER"'" "/proc/$pcscd/maps" | head -n 1 | sed "s/.* \//driver \//"
    nsenter -t "$(cat "$dir/namespace.pid")" -U -m --preserve-credentials cat /run/virtual-reader-test/kept |
      sed "s/^/inside /"
    "$VIRTUAL_READER_BIN/qvr-probe" --reader ACR122U
    echo "pcscd process $pcscd"') || fail "virtual-reader run: exit status $?"
  printf '%s\n' "$out"
  grep -qx "user $(id -u) pcscd $(id -u)" <<<"$out" || fail "pcscd does not run as the user"
  grep -qx "driver $SYSTEM_DRIVER" <<<"$out" || fail "pcscd has not loaded $SYSTEM_DRIVER"
  if [[ -e /run/virtual-reader-test/kept ]]; then
    grep -qx "inside kept" <<<"$out" || fail "an entry of the machine's /run is gone inside the namespace"
  fi
  grep -qF 'shared, T=1 (a card is present)' <<<"$out" || fail "no shared T=1 connection"
  pcscd=$(sed -n 's/^pcscd process //p' <<<"$out")
  [[ -n $pcscd && ! -d /proc/$pcscd ]] || fail "pcscd $pcscd still runs after the run"
  exit $((failures > 0))
fi

script=$1 bin=$2 lib=$3 scenario=$4
work=$(mktemp -d /tmp/plain-user-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
# Copies the plain user can read wherever the build lies.
mkdir "$work/bin" "$work/lib"
cp "$script" "$work/virtual-reader"
cp "$scenario" "$work/scenario.json"
cp "$bin"/{virtual-acr122u,virtual-reader-ctl,virtual-reader-wait,qvr-probe} "$work/bin"
cp -P "$lib"/*.so* "$work/lib"
cp "$0" "$work/test.sh"
chmod -R a+rX "$work"
export LD_LIBRARY_PATH=$work/lib

if [[ $(id -u) != 0 ]]; then
  unshare -Urm true 2>/dev/null || { echo "SKIP: user namespaces are refused here"; exit 77; }
  exec "$work/test.sh" --as-user "$work"
fi

setpriv --reuid $NOBODY --regid $NOBODY --clear-groups unshare -Urm true 2>/dev/null ||
  { echo "SKIP: user namespaces are refused to a plain user here"; exit 77; }
status=0
unshare -m sh -c '
  mount -t tmpfs -o mode=0755 virtual-reader-test-run /run
  mkdir /run/virtual-reader-test && echo kept > /run/virtual-reader-test/kept
  HOME=$1 setpriv --reuid '$NOBODY' --regid '$NOBODY' --clear-groups "$1/test.sh" --as-user "$1" || exit
  # Nothing of the run is left in this /run, and no /run/pcscd was made in it.
  left=$(ls -A /run | grep -vx -e virtual-reader-test -e mount) || true
  [ -z "$left" ] || { echo "FAIL: left in /run: $left"; exit 1; }' plain-user-test "$work" || status=$?
exit "$status"
