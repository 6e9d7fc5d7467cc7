#!/usr/bin/env bash
# The Java demo end to end: JMain -> libFerrow.so -> libQVR-ACR122.so -> pcsc-lite ->
# the private pcscd -> the virtual reader's pcscd driver -> the virtual reader, with the
# demo scenario's Type B card (empty-field: with no card at all).
# Run under scripts/virtual-reader run, which exports PCSCLITE_CSOCK_NAME.
#   e2e_reader_demo.sh JAVA LIBRARY_DIR JAR select|card-error|default|empty-field
set -euo pipefail
java=$1
library_dir=$2
jar=$3
case_name=$4

# JAVA_DEMO_ENVIRONMENT: NAME=VALUE words for the JVM alone (a sanitizer build
# preloads its runtime this way).
java_environment=()
read -r -a java_environment <<<"${JAVA_DEMO_ENVIRONMENT:-}"
# The library's wire trace, from which the transcript names the connection.
trace=$(mktemp)
trap 'rm -f "$trace"' EXIT
run_demo() {
  env "${java_environment[@]}" QVR_ACR122_TRACE="$trace" "$java" -Djava.library.path="$library_dir" -jar "$jar" "$@"
}
expect() {
  grep -qF -- "$1" <<<"$transcript" || { echo "missing from the transcript: $1"; exit 1; }
}

case $case_name in
  select)
    # SELECT of the application the Type B card carries.
    status=0
    transcript=$(run_demo 11 00A4040006F05156520001) || status=$?
    echo "$transcript"
    [ "$status" -eq 0 ] || { echo "the demo exited with $status"; exit 1; }
    expect "NativeInitializeACR122       -> true"
    # The virtual reader's driver offers T=1 only, as the CCID driver does.
    expect "connection: shared, T=1"
    expect "tag type 0x23 (ISO/IEC 14443-4 Type B)"
    # Type 11 delivers the card's data without its status word 90 00.
    expect "11 bytes: C2 6F 08 84 06 F0 51 56 52 00 01"
    expect "NativeCloseReaderWriter      -> true"
    expect "done: every step as expected"
    ;;
  card-error)
    # READ BINARY with no file selected: the card's 6A 82 comes back as two bytes.
    status=0
    transcript=$(run_demo 11 00B0000000) || status=$?
    echo "$transcript"
    [ "$status" -eq 1 ] || { echo "the demo should exit with 1 on a card error, not $status"; exit 1; }
    expect "tag type 0x23 (ISO/IEC 14443-4 Type B)"
    expect "failed, status 6A82"
    expect "done: some steps failed"
    ;;
  default)
    # No arguments: the Type B card gets a type 12 SELECT of the NDEF application, which
    # it does not have; the chip's whole answer (D5 41 00, then the card's 6D 00) comes
    # back, and that is a success.
    status=0
    transcript=$(run_demo 2>&1) || status=$?
    echo "$transcript"
    [ "$status" -eq 0 ] || { echo "the demo exited with $status"; exit 1; }
    expect "tag type 0x23 (ISO/IEC 14443-4 Type B)"
    expect "exchange, type 12"
    expect "6 bytes: C2 D5 41 00 6D 00"
    expect "done: every step as expected"
    ;;
  empty-field)
    # No card: the connection is made all the same (directly to the reader), the reader
    # takes commands, and the demo says that no card came.
    status=0
    transcript=$(run_demo --wait 0.5 2>&1) || status=$?
    echo "$transcript"
    [ "$status" -eq 1 ] || { echo "the demo should exit with 1 without a card, not $status"; exit 1; }
    expect "NativeInitializeACR122       -> true"
    expect "connection: direct to the reader"
    expect "NativeSetRetryTimeToOne      -> true"
    expect "no card in the field: put one on the reader"
    expect "tag type 0x00 (no card)"
    ;;
  *)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
