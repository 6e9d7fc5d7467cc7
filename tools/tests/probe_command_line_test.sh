#!/usr/bin/env bash
# qvr-probe as a person meets it without a running pcscd: the PC/SC reason in words
# and a hint on standard error, nothing but the probe's steps on standard output,
# and exit status 6; --version; the exit codes of --help are those of the manual.
# Usage: probe_command_line_test.sh QVR_PROBE MANUAL VERSION SCRATCH
set -euo pipefail
probe=$1 manual=$2 version=$3 scratch=$4
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
rm -rf "$scratch"
mkdir -p "$scratch"

[ "$("$probe" --version)" = "qvr-probe $version" ] || fail "--version: $("$probe" --version)"

status=0
PCSCLITE_CSOCK_NAME=$scratch/pcscd.comm "$probe" >"$scratch/out" 2>"$scratch/err" || status=$?
[ "$status" -eq 6 ] || fail "without pcscd: exit status $status, expected 6"
grep -q 'SCARD_E_NO_SERVICE' "$scratch/err" || fail "the reason is not named: $(cat "$scratch/err")"
grep -q 'systemctl start pcscd' "$scratch/err" || fail "no hint to start pcscd: $(cat "$scratch/err")"
grep -qF "$scratch/pcscd.comm" "$scratch/err" || fail "the socket asked for is not named: $(cat "$scratch/err")"
[ ! -s "$scratch/out" ] || fail "errors on standard output: $(cat "$scratch/out")"

status=0
"$probe" --wait 5s >/dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "a bad --wait value: exit status $status, expected 2"

# The exit codes: "  N  text" lines of --help against ".B N" items of the manual.
help_codes=$("$probe" --help | sed -n 's/^  \([0-9]\)  .*/\1/p' | sort | tr '\n' ' ')
manual_codes=$(sed -n '/^\.SH EXIT STATUS/,/^\.SH /s/^\.B \([0-9]\)$/\1/p' "$manual" | sort | tr '\n' ' ')
[ -n "$help_codes" ] && [ "$help_codes" = "$manual_codes" ] ||
  fail "exit codes in --help ($help_codes) and in the manual ($manual_codes) differ"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "qvr-probe: reason, hint and status without pcscd; version; exit codes documented alike"
