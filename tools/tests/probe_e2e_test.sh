#!/usr/bin/env bash
# qvr-probe through a real pcscd and the virtual ACR122U whose card presence follows
# the field, as the CCID driver reports it: with a tag, a shared T=1 connection and
# the card decoded; with an empty field, a direct connection whose commands the
# reader answers; --wait says when the card arrived. Runs inside
# `scripts/virtual-reader run --scenario type-a.json --presence tag`.
# Usage: probe_e2e_test.sh QVR_PROBE VIRTUAL_READER_SCRIPT
set -euo pipefail
probe=$1 reader=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
control() { "$reader" control --dir "$VIRTUAL_READER_DIR" "$@" >/dev/null; }
expect() {  # output, text it must contain, what is being checked
  grep -qF -- "$2" <<<"$1" || fail "$3: no '$2' in:"$'\n'"$1"
}

out=$("$probe" --reader ACR122U) || fail "with a tag: exit status $?"
expect "$out" 'shared, T=1 (a card is present)' "with a tag"
expect "$out" 'UID                        08 12 34 56' "with a tag"
expect "$out" 'SAK                        20 (ISO/IEC 14443-4)' "with a tag"

control remove typea
# As a program would, wait until PC/SC shows the field empty: a connect made while pcscd
# has not yet seen the card go finds pcscd powering up a card that is no longer there.
"$VIRTUAL_READER_BIN/virtual-reader-wait" --card absent --timeout 5 >/dev/null || fail "the card did not leave"
out=$("$probe") || fail "empty field: exit status $?"
expect "$out" 'direct to the reader' "empty field"
expect "$out" 'Firmware version             status 0x9000' "empty field"
expect "$out" 'Tag type found               0x00' "empty field"

(sleep 1; control insert typea) &
out=$("$probe" --wait 20) || fail "--wait: exit status $?"
wait
expect "$out" 'Card arrived                 ATR 3B' "--wait"
expect "$out" 'shared, T=1' "--wait"

status=0
out=$("$probe" --reader 'no such reader' 2>&1) || status=$?
[ "$status" -eq 3 ] || fail "--reader matching nothing: exit status $status, expected 3"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "qvr-probe: shared connection with a tag, direct without, the card's arrival awaited"
